#include "ui/logic/VocabularyEditor.h"

#include "base/scheduling/WeakTask.h"
#include "core/settings/AppSettings.h"

#include <utility>

namespace korvane {

VocabularyEditor::Storage VocabularyEditor::storageOf(AppSettings& settings)
{
    return Storage{[&settings] { return settings.vocabulary(); },
                   [&settings](const Vocabulary& vocabulary) { return settings.setVocabulary(vocabulary); }};
}

std::shared_ptr<VocabularyEditor> VocabularyEditor::create(Storage storage,
                                                           VocabularySummary::TokenCounter tokenCounter,
                                                           std::shared_ptr<MainQueue> mainQueue)
{
    return std::shared_ptr<VocabularyEditor>(
        new VocabularyEditor(std::move(storage), std::move(tokenCounter), std::move(mainQueue)));
}

VocabularyEditor::VocabularyEditor(Storage storage, VocabularySummary::TokenCounter tokenCounter,
                                   std::shared_ptr<MainQueue> mainQueue)
    : storage_(std::move(storage)), tokenCounter_(std::move(tokenCounter)), mainQueue_(std::move(mainQueue))
{
}

void VocabularyEditor::setOnSummaryChanged(std::function<void()> onSummaryChanged)
{
    onSummaryChanged_ = std::move(onSummaryChanged);
}

bool VocabularyEditor::appear()
{
    requireMainThread(*mainQueue_, "VocabularyEditor::appear");
    shown_ = true;
    if (unsaved_) {
        // Rebuilding from storage now would throw away what the user typed; try the save again.
        save();
        return false;
    }
    const Vocabulary stored = storage_.read();
    if (!rows_.empty() && VocabularyRow::vocabulary(rows_) == stored) {
        refreshSummary();
        return false;
    }
    rows_ = VocabularyRow::rows(stored);
    if (rows_.empty()) {
        rows_.push_back(VocabularyRow{});
    }
    refreshSummary();
    return true;
}

void VocabularyEditor::disappear()
{
    shown_ = false;
}

bool VocabularyEditor::editField(std::size_t row, VocabularyColumn column, std::string text)
{
    requireMainThread(*mainQueue_, "VocabularyEditor::editField");
    if (row >= rows_.size()) {
        return false;
    }
    rows_[row].field(column) = std::move(text);
    save();
    return true;
}

std::size_t VocabularyEditor::add()
{
    requireMainThread(*mainQueue_, "VocabularyEditor::add");
    rows_.push_back(VocabularyRow{});
    refreshSummary();
    return rows_.size() - 1;
}

bool VocabularyEditor::remove(const std::set<std::size_t>& selected)
{
    requireMainThread(*mainQueue_, "VocabularyEditor::remove");
    if (selected.empty() || *selected.begin() >= rows_.size()) {
        return false;
    }
    std::vector<VocabularyRow> kept;
    kept.reserve(rows_.size());
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        if (!selected.contains(index)) {
            kept.push_back(std::move(rows_[index]));
        }
    }
    rows_ = std::move(kept);
    if (rows_.empty()) {
        rows_.push_back(VocabularyRow{});
    }
    save();
    return true;
}

void VocabularyEditor::addCommonTerms()
{
    requireMainThread(*mainQueue_, "VocabularyEditor::addCommonTerms");
    // The built-in list is never empty, so neither is the result: no blank row is needed.
    rows_ = VocabularyRow::rows(VocabularyRow::vocabulary(rows_).adding(Vocabulary::starter()));
    save();
}

void VocabularyEditor::save()
{
    const Vocabulary edited = VocabularyRow::vocabulary(rows_);
    if (edited == storage_.read()) {
        unsaved_ = false;
    } else {
        unsaved_ = !storage_.write(edited);
    }
    refreshSummary();
}

void VocabularyEditor::refreshSummary()
{
    requireMainThread(*mainQueue_, "VocabularyEditor::refreshSummary");
    summary_ = unsaved_ ? VocabularySummary::unsaved()
                        : VocabularySummary::of(VocabularyRow::vocabulary(rows_), tokenCounter_);
    if (summary_.countUnavailable) {
        scheduleCountRetry();
    }
    if (onSummaryChanged_) {
        onSummaryChanged_();
    }
}

void VocabularyEditor::scheduleCountRetry()
{
    if (!shown_ || retryPending_) {
        return;
    }
    retryPending_ = true;
    mainQueue_->postAfter(kCountRetrySeconds, weakTask(weak_from_this(), [](VocabularyEditor& editor) {
                              editor.retryPending_ = false;
                              if (editor.shown_ && editor.summary_.countUnavailable) {
                                  editor.refreshSummary();
                              }
                          }));
}

}  // namespace korvane
