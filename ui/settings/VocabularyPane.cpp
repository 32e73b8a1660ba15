#include "ui/settings/VocabularyPane.h"

#include "base/scheduling/MainQueue.h"
#include "ui/logic/VocabularyEditor.h"
#include "ui/settings/SettingsLook.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <functional>
#include <set>
#include <utility>

namespace korvane {

namespace {

constexpr int kPaneWidth = 560;
constexpr int kPaneHeight = 368;
constexpr int kRowHeight = 24;
constexpr int kAliasesColumnWidth = 300;

VocabularyColumn columnAt(int section)
{
    return section == 0 ? VocabularyColumn::aliases : VocabularyColumn::replacement;
}

// Orange that stays readable as small type on light and dark backgrounds alike.
QColor warningOrange()
{
    return QColor(0xd3, 0x5f, 0x00);
}

}  // namespace

// The editor's rows as a table model: what a cell shows is the row's text as typed, and a finished
// cell edit goes to the editor, which saves it when it changes the vocabulary.
class VocabularyPane::RowsModel final : public QAbstractTableModel {
public:
    RowsModel(VocabularyEditor& editor, QObject* parent) : QAbstractTableModel(parent), editor_(editor) {}

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(editor_.rows().size());
    }

    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!contains(index) || (role != Qt::DisplayRole && role != Qt::EditRole)) {
            return {};
        }
        return QString::fromStdString(
            editor_.rows()[static_cast<std::size_t>(index.row())].field(columnAt(index.column())));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        return columnAt(section) == VocabularyColumn::aliases ? QStringLiteral("Recognized as")
                                                              : QStringLiteral("Replace with");
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!contains(index)) {
            return Qt::NoItemFlags;
        }
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || !contains(index)) {
            return false;
        }
        if (!editor_.editField(static_cast<std::size_t>(index.row()), columnAt(index.column()),
                               value.toString().toStdString())) {
            return false;
        }
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        return true;
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

private:
    bool contains(const QModelIndex& index) const
    {
        return index.isValid() && index.row() < rowCount({}) && index.column() < 2;
    }

    VocabularyEditor& editor_;
};

// A table view that can finish the edit in progress on request. The user ends an edit by pressing
// Return or clicking elsewhere; the buttons and hiding the pane must end it the same way, or the
// text typed last would be lost or applied to a row that has since moved. Delete and BackSpace,
// outside an edit (inside one they belong to the text), remove the selected rows as "−" does.
class VocabularyPane::Table final : public QTableView {
public:
    Table(std::function<void()> removeSelected, QWidget* parent)
        : QTableView(parent), removeSelected_(std::move(removeSelected))
    {
    }

    void commitOpenEditor()
    {
        if (state() != QAbstractItemView::EditingState) {
            return;
        }
        if (QWidget* open = indexWidget(currentIndex())) {
            commitData(open);
            closeEditor(open, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool removeKey = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
        if (removeKey && event->modifiers() == Qt::NoModifier && state() != QAbstractItemView::EditingState) {
            removeSelected_();
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    std::function<void()> removeSelected_;
};

VocabularyPane::VocabularyPane(AppSettings& settings, VocabularySummary::TokenCounter tokenCounter,
                               std::shared_ptr<MainQueue> mainQueue, QWidget* parent)
    : QWidget(parent), editor_(VocabularyEditor::create(VocabularyEditor::storageOf(settings), std::move(tokenCounter),
                                                        std::move(mainQueue))),
      model_(new RowsModel(*editor_, this)), table_(new Table([this] { onRemove(); }, this)), summary_(new QLabel(this))
{
    setObjectName("vocabularyPane");
    setWindowTitle("Vocabulary");

    auto* introduction = new QLabel(
        "Words Whisper gets wrong, and what to write instead. Separate several recognised forms with commas. "
        "Changes save as you make them and apply to future dictation.",
        this);
    introduction->setWordWrap(true);
    introduction->setFont(settingslook::scaledFont(font(), 11));
    settingslook::setTextColour(*introduction, settingslook::secondaryText(palette()));

    table_->setObjectName("vocabularyTable");
    table_->setModel(model_);
    table_->setAlternatingRowColors(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(0, kAliasesColumnWidth);
    table_->setWordWrap(false);
    // Tab leaves the table for the buttons below it; the arrow keys move between cells.
    table_->setTabKeyNavigation(false);

    summary_->setObjectName("vocabularySummary");
    summary_->setWordWrap(true);
    summary_->setFont(settingslook::scaledFont(font(), 11));
    summary_->setMinimumHeight(30);
    summary_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* add = new QPushButton("+", this);
    add->setObjectName("addRowButton");
    add->setFixedWidth(32);
    // Screen readers would otherwise read the bare symbols.
    add->setAccessibleName("Add a row");
    auto* remove = new QPushButton(QString::fromUtf8("\u2212"), this);
    remove->setObjectName("removeRowsButton");
    remove->setFixedWidth(32);
    remove->setAccessibleName("Remove the selected rows");
    auto* common = new QPushButton("Add Common Terms", this);
    common->setObjectName("addCommonTermsButton");
    common->setToolTip("Spoken names for symbols, such as \"forward slash\" and \"open paren\". Your own entries "
                       "are kept.");
    connect(add, &QPushButton::clicked, this, &VocabularyPane::onAdd);
    connect(remove, &QPushButton::clicked, this, &VocabularyPane::onRemove);
    connect(common, &QPushButton::clicked, this, &VocabularyPane::onAddCommonTerms);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addSpacing(4);
    buttons->addWidget(common);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 4, 20, 14);
    layout->setSpacing(8);
    layout->addWidget(introduction);
    layout->addWidget(table_, 1);
    layout->addWidget(summary_);
    layout->addLayout(buttons);

    editor_->setOnSummaryChanged([this] { showSummary(); });
}

VocabularyPane::~VocabularyPane()
{
    // Text still being typed is kept when the pane goes without being hidden first (the
    // application quitting with the window open).
    endEditing();
    // The table and its model reach the editor, so they go first, while the editor is alive;
    // nothing calls back into this widget afterwards.
    editor_->setOnSummaryChanged({});
    delete table_;
    delete model_;
}

QSize VocabularyPane::sizeHint() const
{
    return QSize(kPaneWidth, kPaneHeight);
}

QTableView* VocabularyPane::tableView() const
{
    return table_;
}

void VocabularyPane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window coming back from being minimised shows its widgets again spontaneously; only a real
    // appearance (the tab selected, the window opened) reloads from storage.
    if (event->spontaneous()) {
        return;
    }
    if (editor_->appear()) {
        reloadTable();
    }
}

void VocabularyPane::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        endEditing();
        editor_->disappear();
    }
    QWidget::hideEvent(event);
}

void VocabularyPane::endEditing()
{
    table_->commitOpenEditor();
}

void VocabularyPane::refreshSummary()
{
    editor_->refreshSummary();
}

void VocabularyPane::onAdd()
{
    endEditing();
    const int row = static_cast<int>(editor_->add());
    reloadTable();
    const QModelIndex first = model_->index(row, 0);
    table_->scrollTo(first);
    table_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The new row is there to be typed into: its first cell opens for editing at once.
    table_->setFocus(Qt::OtherFocusReason);
    table_->edit(first);
}

void VocabularyPane::onRemove()
{
    endEditing();
    std::set<std::size_t> selected;
    for (const QModelIndex& index : table_->selectionModel()->selectedIndexes()) {
        selected.insert(static_cast<std::size_t>(index.row()));
    }
    if (selected.empty()) {
        return;
    }
    editor_->remove(selected);
    reloadTable();
}

void VocabularyPane::onAddCommonTerms()
{
    endEditing();
    editor_->addCommonTerms();
    reloadTable();
}

void VocabularyPane::reloadTable()
{
    model_->reload();
}

void VocabularyPane::showSummary()
{
    const VocabularySummary& summary = editor_->summary();
    summary_->setText(QString::fromStdString(summary.text));
    settingslook::setTextColour(*summary_, summary.tone == VocabularySummary::Tone::warning
                                               ? warningOrange()
                                               : settingslook::secondaryText(palette()));
}

}  // namespace korvane
