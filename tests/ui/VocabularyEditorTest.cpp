// SPDX-License-Identifier: MIT
// The vocabulary table's decisions without a widget: rows to vocabulary and back, the save rule
// behind every action, the summary line, and the retries that fill in the token count.
#include "ui/logic/VocabularyEditor.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/ui/VocabularyPrinting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {

namespace {

using ::testing::ElementsAre;

// Storage in memory that records every write; `failWrites` makes saving fail like a full disk.
struct MemoryStorage {
    Vocabulary stored;
    std::vector<Vocabulary> writes;
    bool failWrites = false;

    VocabularyEditor::Storage storage()
    {
        return VocabularyEditor::Storage{[this] { return stored; },
                                         [this](const Vocabulary& vocabulary) {
                                             if (failWrites) {
                                                 return false;
                                             }
                                             writes.push_back(vocabulary);
                                             stored = vocabulary;
                                             return true;
                                         }};
    }
};

// A counter whose answer the test sets: a token per character, or nothing while "busy".
struct ScriptedCounter {
    bool available = true;
    std::vector<std::string> asked;

    VocabularySummary::TokenCounter counter()
    {
        return [this](const std::string& text) -> std::optional<int> {
            asked.push_back(text);
            if (!available) {
                return std::nullopt;
            }
            return static_cast<int>(text.size());
        };
    }
};

struct RowCase {
    const char* name;
    VocabularyRow row;
    std::vector<VocabularyEntry> expected;
};

TEST(VocabularyRowTest, RowsBecomeNormalisedEntries)
{
    const RowCase cases[] = {
        {"padded and repeated forms", {" Foo , ,foo, bar ", "Baz"}, {{"Baz", {"Foo", "bar"}}}},
        {"forms without a replacement", {"kay eight s", ""}, {}},
        {"replacement of spaces only", {"kay eight s", " \t "}, {}},
        {"a replacement without forms", {"", "K8s"}, {}},
        {"commas only", {",, ,", "K8s"}, {}},
        {"blank row", {"", ""}, {}},
        {"replacement trimmed, own case kept", {"kay eight s,cates", "  K8s "}, {{"K8s", {"kay eight s", "cates"}}}},
        {"a form equal to the replacement stays", {"Grafana", "Grafana"}, {{"Grafana", {"Grafana"}}}},
    };
    for (const RowCase& test : cases) {
        EXPECT_EQ(VocabularyRow::vocabulary({test.row}).entries(), test.expected) << test.name;
    }
}

TEST(VocabularyRowTest, RowsFromAVocabularyJoinFormsAndReadBackTheSame)
{
    const Vocabulary vocabulary{{"K8s", {"kay eight s", "cates"}}, {"/", {"forward slash"}}};
    const std::vector<VocabularyRow> rows = VocabularyRow::rows(vocabulary);
    EXPECT_THAT(rows, ElementsAre(VocabularyRow{"kay eight s, cates", "K8s"}, VocabularyRow{"forward slash", "/"}));
    EXPECT_EQ(VocabularyRow::vocabulary(rows), vocabulary);
    // Forms repeated across rows are not merged here: the first row claims the heard form when
    // rules are made.
    EXPECT_EQ(VocabularyRow::vocabulary({{"x", "A"}, {"X", "B"}}).entries().size(), 2u);
}

struct SummaryCase {
    const char* name;
    Vocabulary vocabulary;
    bool counterAvailable;
    std::string text;
    VocabularySummary::Tone tone;
};

TEST(VocabularySummaryTest, LineForEachSituation)
{
    std::vector<VocabularyEntry> ten;
    for (int index = 0; index < 10; ++index) {
        ten.push_back({"Term" + std::to_string(index) + std::string(40, 'x'), {"term " + std::to_string(index)}});
    }
    const SummaryCase cases[] = {
        {"nothing", Vocabulary(), true, "No user spellings yet.", VocabularySummary::Tone::plain},
        {"symbols only", Vocabulary::starter(), true, "No user spellings yet.", VocabularySummary::Tone::plain},
        {"no model", Vocabulary{{"Alpha", {"a"}}, {"Beta", {"b"}}, {"Gamma", {"c"}}}, false,
         "3 user spellings provided. Token use shows once a model loads.", VocabularySummary::Tone::plain},
        // "Kubectl." is 8 characters, so 8 tokens with a token per character.
        {"one term", Vocabulary{{"Kubectl", {"cube control"}}}, true,
         "1 user spelling provided, using 8 of 224 tokens.", VocabularySummary::Tone::plain},
        {"one term, no model", Vocabulary{{"Kubectl", {"cube control"}}}, false,
         "1 user spelling provided. Token use shows once a model loads.", VocabularySummary::Tone::plain},
        // Each term is 45 characters; with ", " between them and the full stop four take 187 tokens,
        // five would take 234.
        {"not all fit", Vocabulary(ten), true, "Only 4 of 10 user spellings fit in 224 tokens.",
         VocabularySummary::Tone::warning},
        // 223 characters and a full stop: exactly the limit still fits.
        {"exactly the limit", Vocabulary{{std::string(223, 'k'), {"long"}}}, true,
         "1 user spelling provided, using 224 of 224 tokens.", VocabularySummary::Tone::plain},
        {"one over the limit", Vocabulary{{std::string(224, 'k'), {"long"}}}, true,
         "Only 0 of 1 user spellings fit in 224 tokens.", VocabularySummary::Tone::warning},
    };
    for (const SummaryCase& test : cases) {
        ScriptedCounter counter;
        counter.available = test.counterAvailable;
        const VocabularySummary summary = VocabularySummary::of(test.vocabulary, counter.counter());
        EXPECT_EQ(summary.text, test.text) << test.name;
        EXPECT_EQ(summary.tone, test.tone) << test.name;
        EXPECT_EQ(summary.countUnavailable, !test.counterAvailable && !test.vocabulary.promptTerms().empty())
            << test.name;
    }
}

TEST(VocabularySummaryTest, StopsAskingOnceACountFails)
{
    ScriptedCounter counter;
    counter.available = false;
    VocabularySummary::of(Vocabulary{{"Alpha", {"a"}}, {"Beta", {"b"}}, {"Gamma", {"c"}}}, counter.counter());
    EXPECT_THAT(counter.asked, ElementsAre("Alpha."));

    const VocabularySummary withoutCounter = VocabularySummary::of(Vocabulary{{"Alpha", {"a"}}}, {});
    EXPECT_TRUE(withoutCounter.countUnavailable);
}

class VocabularyEditorTest : public ::testing::Test {
protected:
    std::shared_ptr<VocabularyEditor> makeEditor()
    {
        auto editor = VocabularyEditor::create(storage.storage(), counter.counter(), queue);
        editor->setOnSummaryChanged([this] { ++summaryUpdates; });
        return editor;
    }

    MemoryStorage storage;
    ScriptedCounter counter;
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    int summaryUpdates = 0;
};

TEST_F(VocabularyEditorTest, AppearingFillsRowsFromStorageAndKeepsRowsThatStillMatch)
{
    auto editor = makeEditor();
    EXPECT_TRUE(editor->appear());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{}));
    EXPECT_EQ(editor->summary().text, "No user spellings yet.");

    storage.stored = Vocabulary{{"K8s", {"kay eight s"}}};
    EXPECT_TRUE(editor->appear());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{"kay eight s", "K8s"}));

    // A blank row the user added is no entry, so the rows still match and survive the next show.
    editor->add();
    editor->disappear();
    EXPECT_FALSE(editor->appear());
    EXPECT_EQ(editor->rows().size(), 2u);

    // Storage changed behind the table's back (a hand edit): the rows follow it.
    storage.stored = Vocabulary{{"Grafana", {"graph ana"}}};
    EXPECT_TRUE(editor->appear());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{"graph ana", "Grafana"}));
    EXPECT_TRUE(storage.writes.empty());
}

TEST_F(VocabularyEditorTest, EditsSaveOnlyWhenTheVocabularyChanges)
{
    auto editor = makeEditor();
    editor->appear();

    // Forms without a replacement: shown, not saved.
    EXPECT_TRUE(editor->editField(0, VocabularyColumn::aliases, " Foo , ,foo, bar "));
    EXPECT_TRUE(storage.writes.empty());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{" Foo , ,foo, bar ", ""}));

    EXPECT_TRUE(editor->editField(0, VocabularyColumn::replacement, "Baz"));
    ASSERT_EQ(storage.writes.size(), 1u);
    EXPECT_EQ(storage.writes.back(), (Vocabulary{{"Baz", {"Foo", "bar"}}}));
    EXPECT_EQ(editor->summary().text, "1 user spelling provided, using 4 of 224 tokens.");

    // Only white space and a repeated form added: the stored vocabulary stays as it is.
    EXPECT_TRUE(editor->editField(0, VocabularyColumn::aliases, "Foo,bar, foo "));
    EXPECT_EQ(storage.writes.size(), 1u);

    // An edit for a row that is gone (removed while its cell was open) changes nothing.
    EXPECT_FALSE(editor->editField(5, VocabularyColumn::replacement, "Lost"));
    EXPECT_EQ(editor->rows().size(), 1u);
    EXPECT_EQ(storage.writes.size(), 1u);
}

TEST_F(VocabularyEditorTest, AddingAndRemovingRows)
{
    storage.stored = Vocabulary{{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}};
    auto editor = makeEditor();
    editor->appear();

    EXPECT_EQ(editor->add(), 3u);
    EXPECT_EQ(editor->rows().back(), VocabularyRow{});
    EXPECT_TRUE(storage.writes.empty());

    EXPECT_FALSE(editor->remove({}));
    EXPECT_FALSE(editor->remove({7}));
    EXPECT_TRUE(storage.writes.empty());

    EXPECT_TRUE(editor->remove({1, 3}));
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{"a", "A"}, VocabularyRow{"c", "C"}));
    EXPECT_EQ(storage.writes.back(), (Vocabulary{{"A", {"a"}}, {"C", {"c"}}}));

    // Removing every row leaves one blank row and stores an empty vocabulary, which stays empty.
    EXPECT_TRUE(editor->remove({0, 1}));
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{}));
    EXPECT_EQ(storage.writes.back(), Vocabulary());
    EXPECT_FALSE(editor->appear());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{}));
}

TEST_F(VocabularyEditorTest, AFailedSaveIsShownAndItsRowsSurviveTheNextShow)
{
    storage.stored = Vocabulary{{"A", {"a"}}};
    auto editor = makeEditor();
    editor->appear();
    storage.failWrites = true;

    editor->editField(0, VocabularyColumn::replacement, "B");
    EXPECT_EQ(editor->summary(), VocabularySummary::unsaved());

    editor->disappear();
    EXPECT_FALSE(editor->appear());
    EXPECT_THAT(editor->rows(), ElementsAre(VocabularyRow{"a", "B"}));
    EXPECT_EQ(editor->summary(), VocabularySummary::unsaved());

    storage.failWrites = false;
    editor->disappear();
    editor->appear();
    EXPECT_EQ(storage.stored, (Vocabulary{{"B", {"a"}}}));
    EXPECT_EQ(editor->summary().text, "1 user spelling provided, using 2 of 224 tokens.");
}

TEST_F(VocabularyEditorTest, TheCountFillsInOnceItCanBeMadeWhileShown)
{
    storage.stored = Vocabulary{{"Alpha", {"a"}}, {"Beta", {"b"}}};
    counter.available = false;
    auto editor = makeEditor();
    editor->appear();
    EXPECT_EQ(editor->summary().text, "2 user spellings provided. Token use shows once a model loads.");

    // Still busy: one retry a second, never more than one waiting.
    editor->refreshSummary();
    EXPECT_EQ(queue->pendingCount(), 1u);
    queue->advance(VocabularyEditor::kCountRetrySeconds);
    EXPECT_EQ(editor->summary().text, "2 user spellings provided. Token use shows once a model loads.");

    counter.available = true;
    const int updatesBefore = summaryUpdates;
    queue->advance(VocabularyEditor::kCountRetrySeconds);
    EXPECT_EQ(editor->summary().text, "2 user spellings provided, using 12 of 224 tokens.");
    EXPECT_EQ(summaryUpdates, updatesBefore + 1);
    EXPECT_EQ(queue->pendingCount(), 0u);

    // Hidden, the table asks nobody: the pending retry does nothing.
    counter.available = false;
    editor->refreshSummary();
    editor->disappear();
    counter.asked.clear();
    queue->advance(10 * VocabularyEditor::kCountRetrySeconds);
    EXPECT_TRUE(counter.asked.empty());
    EXPECT_EQ(queue->pendingCount(), 0u);
}

TEST_F(VocabularyEditorTest, ARetryAfterTheEditorIsGoneDoesNothing)
{
    counter.available = false;
    storage.stored = Vocabulary{{"Alpha", {"a"}}};
    auto editor = makeEditor();
    editor->appear();
    editor.reset();
    counter.asked.clear();
    EXPECT_EQ(queue->advance(VocabularyEditor::kCountRetrySeconds), 1u);
    EXPECT_TRUE(counter.asked.empty());
}

}  // namespace
}  // namespace korvane
