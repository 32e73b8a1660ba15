#pragma once

#include "base/scheduling/MainQueue.h"
#include "text/Vocabulary.h"
#include "ui/logic/VocabularyRow.h"
#include "ui/logic/VocabularySummary.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace korvane {

class AppSettings;

// The vocabulary table's state and decisions, free of any toolkit: the rows on screen (blank and
// incomplete ones included), saving every edit that changes the stored vocabulary, and the summary
// line. The table widget forwards the user's actions here and redraws from rows() and summary().
//
// Main thread only. While the summary lacks a token count (no model loaded, or the transcriber
// busy) and the table is shown, a new count is tried every kCountRetrySeconds on the main queue, so
// the line fills in once the model is there without ever waiting for the transcriber.
class VocabularyEditor : public std::enable_shared_from_this<VocabularyEditor> {
public:
    // Where the vocabulary is kept. `write` answers false when nothing could be saved.
    struct Storage {
        std::function<Vocabulary()> read;
        std::function<bool(const Vocabulary&)> write;
    };

    static constexpr double kCountRetrySeconds = 1.0;

    // The settings store as the storage; the store must outlive the editor.
    static Storage storageOf(AppSettings& settings);

    static std::shared_ptr<VocabularyEditor> create(Storage storage, VocabularySummary::TokenCounter tokenCounter,
                                                    std::shared_ptr<MainQueue> mainQueue);

    const std::vector<VocabularyRow>& rows() const { return rows_; }
    const VocabularySummary& summary() const { return summary_; }

    // Called after every refresh of the summary, including the retries that fill in a count.
    void setOnSummaryChanged(std::function<void()> onSummaryChanged);

    // The table is about to be shown. Rows that still stand for the stored vocabulary stay as they
    // are (blank rows the user added too); otherwise they are rebuilt from storage, with one blank
    // row for an empty vocabulary. Rows whose save failed are kept and saved again. Returns true
    // when the rows were rebuilt.
    bool appear();
    // The table is hidden: count retries stop until it shows again.
    void disappear();

    // The user finished editing one field. Returns false (changing nothing) for a row that no longer
    // exists.
    bool editField(std::size_t row, VocabularyColumn column, std::string text);
    // Appends a blank row and returns its index. Nothing is saved: a blank row is no entry.
    std::size_t add();
    // Drops the selected rows (indexes outside the rows are ignored), keeping one blank row when
    // none is left, and saves. False when no existing row was selected.
    bool remove(const std::set<std::size_t>& selected);
    // Merges the built-in spoken symbol names into the vocabulary, the user's own mappings winning,
    // and rebuilds the rows from the result (blank and incomplete rows go), then saves.
    void addCommonTerms();

    // Recomputes the summary line from the rows.
    void refreshSummary();

private:
    VocabularyEditor(Storage storage, VocabularySummary::TokenCounter tokenCounter,
                     std::shared_ptr<MainQueue> mainQueue);

    // Writes the rows' vocabulary when it differs from the stored one, then refreshes the summary.
    void save();
    void scheduleCountRetry();

    Storage storage_;
    VocabularySummary::TokenCounter tokenCounter_;
    std::shared_ptr<MainQueue> mainQueue_;
    std::function<void()> onSummaryChanged_;
    std::vector<VocabularyRow> rows_;
    VocabularySummary summary_;
    bool shown_ = false;
    bool retryPending_ = false;
    // The last save failed: the rows hold changes the storage does not have.
    bool unsaved_ = false;
};

}  // namespace korvane
