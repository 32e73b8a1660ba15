#include "text/Vocabulary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> aliasesOf(const std::vector<ReplacementRule>& rules)
{
    std::vector<std::string> aliases;
    for (const ReplacementRule& rule : rules) {
        aliases.push_back(rule.alias);
    }
    return aliases;
}

const VocabularyEntry* entryFor(const Vocabulary& vocabulary, const std::string& replacement)
{
    for (const VocabularyEntry& entry : vocabulary.entries()) {
        if (entry.replacement == replacement) {
            return &entry;
        }
    }
    return nullptr;
}

TEST(VocabularyNormalizeTest, TrimsAndDropsEmptyAndCaseDuplicateAliases)
{
    const VocabularyEntry padded{"  Foo  ", {" foo ", "FOO", "", "bar"}};
    EXPECT_EQ(padded.normalized(), (VocabularyEntry{"Foo", {"foo", "bar"}}));

    // Unicode white space of every kind is trimmed, not only ASCII spaces.
    const VocabularyEntry unicodeSpaces{"\u00A0K\u00F6ln\u3000", {"\tk\u00F6ln\n", "\u2003"}};
    EXPECT_EQ(unicodeSpaces.normalized(), (VocabularyEntry{"K\u00F6ln", {"k\u00F6ln"}}));

    // Duplicates up to letter case beyond ASCII, and precomposed against decomposed accents.
    const VocabularyEntry accented{"\u00C9clair",
                                   {"\u00C9CLAIR", "\u00E9clair", "e\u0301clair", "\u0391\u03B8\u03AE\u03BD\u03B1",
                                    "\u03B1\u03B8\u03AE\u03BD\u03B1"}};
    EXPECT_EQ(accented.normalized(),
              (VocabularyEntry{"\u00C9clair", {"\u00C9CLAIR", "\u0391\u03B8\u03AE\u03BD\u03B1"}}));

    // An alias equal to the replacement stays.
    EXPECT_EQ((VocabularyEntry{"Rust", {"Rust"}}.normalized()), (VocabularyEntry{"Rust", {"Rust"}}));
}

TEST(VocabularyNormalizeTest, EntriesWithoutReplacementOrAliasDisappear)
{
    const Vocabulary vocabulary({
        {"   ", {"spaces only"}},
        {"kept", {"keep"}},
        {"no aliases", {}},
        {"blank aliases", {"", "  ", "\n"}},
    });
    EXPECT_EQ(vocabulary.entries(), (std::vector<VocabularyEntry>{{"kept", {"keep"}}}));
    EXPECT_EQ(Vocabulary::normalize({{"", {"x"}}}), std::vector<VocabularyEntry>{});
}

TEST(VocabularyEntryTest, EqualityIsCanonicalEquivalence)
{
    EXPECT_EQ((VocabularyEntry{"caf\u00E9", {"x"}}), (VocabularyEntry{"cafe\u0301", {"x"}}));
    EXPECT_NE((VocabularyEntry{"Caf\u00E9", {"x"}}), (VocabularyEntry{"caf\u00E9", {"x"}}));
    EXPECT_NE((VocabularyEntry{"a", {"x", "y"}}), (VocabularyEntry{"a", {"y", "x"}}));
}

TEST(VocabularyRulesTest, FirstEntryClaimingAHeardFormWins)
{
    const Vocabulary vocabulary({{"(", {"open paren"}}, {"[", {"Open Paren", "open bracket"}}});
    EXPECT_EQ(vocabulary.replacementRules(),
              (std::vector<ReplacementRule>{{"open bracket", "["}, {"open paren", "("}}));
}

TEST(VocabularyRulesTest, LongerAliasesFirstThenCodePointOrder)
{
    EXPECT_THAT(aliasesOf(Vocabulary(std::vector<VocabularyEntry>{{"x", {"ab", "b", "aa"}}}).replacementRules()),
                ElementsAre("aa", "ab", "b"));

    // Upper-case ASCII sorts before lower case; length counts user-perceived characters, so the
    // decomposed "é" (two code points) is one character and "ée" is shorter than "abc".
    EXPECT_THAT(aliasesOf(Vocabulary(std::vector<VocabularyEntry>{
                                         {"x", {"ba", "Bb", "e\u0301e", "abc", "\U0001F44D\U0001F3FD"}}})
                              .replacementRules()),
                ElementsAre("abc", "Bb", "ba", "e\u0301e", "\U0001F44D\U0001F3FD"));

    EXPECT_THAT(aliasesOf(Vocabulary::starter().replacementRules()),
                ::testing::IsSupersetOf({"open square bracket", "open bracket"}));
    const std::vector<std::string> starterAliases = aliasesOf(Vocabulary::starter().replacementRules());
    EXPECT_LT(std::find(starterAliases.begin(), starterAliases.end(), "open square bracket"),
              std::find(starterAliases.begin(), starterAliases.end(), "open bracket"));
}

TEST(VocabularyPromptTermsTest, KeepsWrittenFormsWithLettersOrDigitsOncePerCase)
{
    const Vocabulary vocabulary({{"Kubernetes", {"cooper netties"}},
                                 {"/", {"slash"}},
                                 {"kubernetes", {"kube"}},
                                 {"C3PO", {"see three"}},
                                 {"\u2014", {"dash"}},
                                 {"\u6771\u4EAC", {"tokyo"}},
                                 {"\u0661\u0662", {"arabic twelve"}},
                                 {"\u03A9mega", {"omega"}},
                                 {"\u03C9MEGA", {"small omega"}}});
    EXPECT_THAT(vocabulary.promptTerms(),
                ElementsAre("Kubernetes", "C3PO", "\u6771\u4EAC", "\u0661\u0662", "\u03A9mega"));
    EXPECT_THAT(Vocabulary::starter().promptTerms(), IsEmpty());
}

TEST(VocabularyStarterTest, HoldsTheSpokenSymbolNamesInOrder)
{
    const std::vector<VocabularyEntry>& entries = Vocabulary::starter().entries();
    ASSERT_EQ(entries.size(), 24u);
    EXPECT_EQ(entries.front(), (VocabularyEntry{"/", {"forward slash"}}));
    EXPECT_EQ(entries[1], (VocabularyEntry{"\\", {"backslash", "back slash"}}));
    EXPECT_EQ(entries[8], (VocabularyEntry{"(", {"open paren", "open parenthesis", "left paren"}}));
    EXPECT_EQ(entries[14], (VocabularyEntry{"@", {"at sign", "at symbol"}}));
    EXPECT_EQ(entries[20], (VocabularyEntry{"`", {"backtick", "back tick"}}));
    EXPECT_EQ(entries.back(), (VocabularyEntry{"\u00B0", {"degree sign"}}));
    EXPECT_EQ(Vocabulary::starter().replacementRules().size(), 39u);
}

TEST(VocabularyAddingTest, MergingTheStarterListKeepsTheUsersMappings)
{
    // The user already hears "forward slash" as something else: that mapping stays, and since the
    // built-in "/" entry has no other alias, no "/" entry appears.
    const Vocabulary remapped(std::vector<VocabularyEntry>{{"slash", {"Forward Slash"}}});
    const Vocabulary merged = remapped.adding(Vocabulary::starter());
    EXPECT_EQ(merged.entries().front(), (VocabularyEntry{"slash", {"Forward Slash"}}));
    EXPECT_EQ(entryFor(merged, "/"), nullptr);
    EXPECT_EQ(merged.entries().size(), 24u);
    for (const ReplacementRule& rule : merged.replacementRules()) {
        EXPECT_FALSE(rule.alias == "forward slash" && rule.replacement == "/");
    }

    // A user entry with the same replacement takes the new aliases instead of a second entry.
    const Vocabulary withParen({{"Docker", {"docker"}}, {"(", {"lparen"}}});
    const Vocabulary extended = withParen.adding(Vocabulary::starter());
    EXPECT_EQ(extended.entries()[0], (VocabularyEntry{"Docker", {"docker"}}));
    EXPECT_EQ(extended.entries()[1],
              (VocabularyEntry{"(", {"lparen", "open paren", "open parenthesis", "left paren"}}));
    EXPECT_EQ(extended.entries().size(), 25u);
    EXPECT_EQ(extended.entries()[2], Vocabulary::starter().entries()[0]);

    // Merging again changes nothing.
    EXPECT_EQ(extended.adding(Vocabulary::starter()), extended);
    EXPECT_EQ(Vocabulary().adding(Vocabulary::starter()), Vocabulary::starter());
}

TEST(VocabularyAddingTest, SameHeardFormIsNotTakenTwiceFromTheOtherList)
{
    const Vocabulary other({{"A", {"same", "a only"}}, {"B", {"SAME", "b only"}}, {"C", {"Same"}}});
    const Vocabulary merged = Vocabulary(std::vector<VocabularyEntry>{{"Z", {"z"}}}).adding(other);
    EXPECT_EQ(merged.entries(),
              (std::vector<VocabularyEntry>{{"Z", {"z"}}, {"A", {"same", "a only"}}, {"B", {"b only"}}}));
}

TEST(VocabularyFitPromptTest, TakesTheLongestPrefixWithinTheLimit)
{
    std::vector<std::string> counted;
    const std::vector<int> counts{3, 5, 7};
    const Vocabulary::FittedPrompt fitted = Vocabulary::fitPrompt({"a", "b", "c"}, 5, [&](const std::string& text) {
        counted.push_back(text);
        return counts[counted.size() - 1];
    });
    EXPECT_EQ(fitted, (Vocabulary::FittedPrompt{"a, b.", 2, 3, 5}));
    EXPECT_THAT(counted, ElementsAre("a.", "a, b.", "a, b, c."));
}

TEST(VocabularyFitPromptTest, EdgesOfTheScan)
{
    int calls = 0;
    const auto byLength = [&](const std::string& text) {
        ++calls;
        return static_cast<int>(text.size());
    };

    EXPECT_EQ(Vocabulary::fitPrompt({}, 10, byLength), (Vocabulary::FittedPrompt{"", 0, 0, 0}));
    EXPECT_EQ(calls, 0);

    // The first candidate is already too long.
    EXPECT_EQ(Vocabulary::fitPrompt({"toolong", "a"}, 3, byLength), (Vocabulary::FittedPrompt{"", 0, 2, 0}));
    EXPECT_EQ(calls, 1);

    // Everything fits; a count equal to the limit fits.
    calls = 0;
    EXPECT_EQ(Vocabulary::fitPrompt({"ab", "c"}, 6, byLength), (Vocabulary::FittedPrompt{"ab, c.", 2, 2, 6}));
    EXPECT_EQ(calls, 2);

    // A term that does not fit ends the scan: the shorter term after it is not tried.
    calls = 0;
    EXPECT_EQ(Vocabulary::fitPrompt({"a", "very long term", "b"}, 4, byLength),
              (Vocabulary::FittedPrompt{"a.", 1, 3, 2}));
    EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace korvane
