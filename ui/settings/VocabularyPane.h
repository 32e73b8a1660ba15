#pragma once

#include "ui/logic/VocabularySummary.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace korvane {

class AppSettings;
class MainQueue;
class VocabularyEditor;

// The Vocabulary tab of the settings window: the user's spellings as an editable two-column table
// (recognised forms, text to write), saved through the settings store as each edit ends, the "+",
// "−" and "Add Common Terms" buttons, and the summary line telling how many of the user's spellings
// fit into the model's prompt. From the keyboard: Tab leaves the table for the buttons, Delete or
// BackSpace removes the selected rows, and "+" opens the new row for typing. The decisions live in
// VocabularyEditor; this widget draws its rows and summary and forwards the user's actions. Main
// thread only.
class VocabularyPane final : public QWidget {
    Q_OBJECT

public:
    // `tokenCounter` must answer at once (never wait for the transcriber); `mainQueue` runs the
    // retries that fill in the token count once one can be made. The settings store must outlive
    // the pane.
    VocabularyPane(AppSettings& settings, VocabularySummary::TokenCounter tokenCounter,
                   std::shared_ptr<MainQueue> mainQueue, QWidget* parent = nullptr);
    ~VocabularyPane() override;

    // 560 x 368, the pane's designed size; the settings window fits itself to it.
    QSize sizeHint() const override;

    // The buttons' actions.
    void onAdd();
    void onRemove();
    void onAddCommonTerms();

    // Commits the cell being edited, if any, as if the user had pressed Return. The pane does this
    // itself when it is hidden (another tab, or the window closing).
    void endEditing();

    // Recomputes the summary line, for instance once a model has loaded.
    void refreshSummary();

    QTableView* tableView() const;
    QLabel* summaryLabel() const { return summary_; }
    const VocabularyEditor& editor() const { return *editor_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class RowsModel;
    class Table;

    void showSummary();
    // The model's contents changed wholesale: the table drops its selection and redraws.
    void reloadTable();

    std::shared_ptr<VocabularyEditor> editor_;
    RowsModel* model_;
    Table* table_;
    QLabel* summary_;
};

}  // namespace korvane
