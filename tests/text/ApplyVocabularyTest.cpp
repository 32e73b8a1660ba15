#include "text/CompiledReplacementRules.h"
#include "text/TranscriptionTextCleaner.h"

#include <unicode/uniset.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

namespace cleaner = TranscriptionTextCleaner;

struct ReplacementCase {
    std::string input;
    std::string expected;
};

void expectReplacements(const std::vector<ReplacementRule>& rules, const std::vector<ReplacementCase>& cases)
{
    for (const ReplacementCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(cleaner::applyVocabulary(c.input, rules), c.expected);
    }
}

TEST(ApplyVocabularyTest, ReplacesWholeHeardFormsInAnyCase)
{
    const std::vector<ReplacementRule> rules = {
        {"forward slash", "/"}, {"open paren", "("}, {"close paren", ")"}, {"kube control", "kubectl"}};
    expectReplacements(rules, {
                                  {"and forward slash or", "and/or"},
                                  {"call open paren x close paren now", "call (x) now"},
                                  {"Kube Control get pods", "kubectl get pods"},
                                  {"KUBE CONTROL  get", "kubectl  get"},
                                  {"subkube control", "subkube control"},
                                  {"kube controller", "kube controller"},
                                  {"kube_control", "kube_control"},
                                  {"(kube control)", "(kubectl)"},
                                  {"", ""},
                              });
    EXPECT_EQ(cleaner::applyVocabulary("untouched", {}), "untouched");
}

TEST(ApplyVocabularyTest, SymbolsPullInTheSpacesOnTheirAttachingSides)
{
    const std::vector<ReplacementRule> rules = Vocabulary::starter().replacementRules();
    expectReplacements(rules, {
                                  {"x   forward slash   y", "x/y"},
                                  {"a hyphen b em dash c en dash d", "a-b\u2014c\u2013d"},
                                  {"user at sign example", "user@example"},
                                  {"hash sign tag and dollar sign 5", "#tag and $5"},
                                  {"wait question mark really exclamation point", "wait? really!"},
                                  {"50 percent sign at 20 degree sign", "50% at 20\u00B0"},
                                  {"a semicolon b", "a; b"},
                                  {"open brace x close brace", "{x}"},
                                  // Not in the attachment table: spacing stays as dictated.
                                  {"salt ampersand pepper asterisk", "salt & pepper *"},
                                  // Only plain spaces are pulled in, never tabs or line breaks.
                                  {"x\tforward slash\ny", "x\t/\ny"},
                              });

    // A word replacement never eats its neighbours' spaces.
    EXPECT_EQ(cleaner::applyVocabulary("run  kube control  now", {{"kube control", "kubectl"}}), "run  kubectl  now");
}

TEST(ApplyVocabularyTest, RuleOrderDecidesAtEachPosition)
{
    // The first alternative in rule order that matches is taken, so the longer heard form must
    // come first; replacementRules sorts it that way.
    EXPECT_EQ(cleaner::applyVocabulary("open square bracket", {{"open square bracket", "["}, {"open", "O"}}), "[");
    EXPECT_EQ(cleaner::applyVocabulary("open square bracket", {{"open", "O"}, {"open square bracket", "["}}),
              "O square bracket");

    // Aliases differing only in case: the first rule's replacement serves both spellings, and is
    // written exactly as given.
    const std::vector<ReplacementRule> caseTwins = {{"Foo", "FooBar"}, {"foo", "other"}};
    EXPECT_EQ(cleaner::applyVocabulary("foo FOO Foo", caseTwins), "FooBar FooBar FooBar");
}

TEST(ApplyVocabularyTest, AliasesAndReplacementsAreLiteralText)
{
    const std::vector<ReplacementRule> rules = {{"c++", "C++"},   {".net", "dotnet"},   {"a.c", "AC"}, {"(x)", "X"},
                                                {"\\E|", "pipe"}, {"$1 [y]", "\\1 $0"}, {"1+1", "2"}};
    expectReplacements(rules, {
                                  {"I write c++ daily", "I write C++ daily"},
                                  {"I write c+ daily", "I write c+ daily"},
                                  {"use .NET now", "use dotnet now"},
                                  {"use xnet now", "use xnet now"},
                                  {"abc a.c", "abc AC"},
                                  {"f (x) x", "f X x"},
                                  {"a \\E| b", "a pipe b"},
                                  {"cost $1 [y]", "cost \\1 $0"},
                                  {"11 1+1", "11 2"},
                              });
}

TEST(ApplyVocabularyTest, WorksBeyondAscii)
{
    const std::vector<ReplacementRule> rules = {{"caf\u00E9 au lait", "Caf\u00E9 Latte"},
                                                {"\u043C\u043E\u0441\u043A\u0432\u0430", "Moscow"},
                                                {"\u6771\u4EAC", "Tokyo"},
                                                {"stra\u00DFe", "Street"},
                                                {"forward slash", "/"}};
    expectReplacements(rules,
                       {
                           {"un CAF\u00C9 AU LAIT", "un Caf\u00E9 Latte"},
                           // Decomposed accents in the transcript still match the precomposed alias.
                           {"cafe\u0301 au lait", "Caf\u00E9 Latte"},
                           {"\u0412 \u041C\u041E\u0421\u041A\u0412\u0410 \u0441\u043D\u0435\u0433",
                            "\u0412 Moscow \u0441\u043D\u0435\u0433"},
                           // Part of a longer Cyrillic word: not a whole heard form.
                           {"\u043C\u043E\u0441\u043A\u0432\u0430\u0440\u0435\u043A\u0430",
                            "\u043C\u043E\u0441\u043A\u0432\u0430\u0440\u0435\u043A\u0430"},
                           {"\u6771\u4EAC forward slash \u5927\u962A", "Tokyo/\u5927\u962A"},
                           // A letter of another script directly before the heard form blocks the match.
                           {"\u4EACforward slash", "\u4EACforward slash"},
                           {"die STRASSE", "die Street"},
                           // Multi-byte and astral characters before the matches: UTF-8, UTF-16 and code point
                           // offsets all differ there.
                           {"\U0001F44D\U0001F3FD na\u00EFve \U0001F1E9\U0001F1EA forward slash x forward slash y",
                            "\U0001F44D\U0001F3FD na\u00EFve \U0001F1E9\U0001F1EA/x/y"},
                       });
}

TEST(ApplyVocabularyTest, OddRulesNeitherCorruptNorLoseText)
{
    // An empty heard form would match between every two words; it is ignored.
    EXPECT_EQ(cleaner::applyVocabulary("a foo b", {{"", "X"}, {"foo", "bar"}}), "a bar b");
    EXPECT_EQ(cleaner::applyVocabulary("a foo b", {{"", "X"}}), "a foo b");

    // A heard form ending in a space directly followed by one that pulls spaces in from before:
    // the symbol must not reach back into the earlier match and swallow it.
    EXPECT_EQ(cleaner::applyVocabulary("a  close paren", {{"a ", "A"}, {"close paren", ")"}}), "A)");
}

TEST(ApplyVocabularyTest, WordBoundaryClassIsWhatCaseInsensitiveMatchingMakesOfIt)
{
    // Only the aliases are matched case-insensitively; the boundary class spells out what ICU's
    // case closure would add to [\p{L}\p{N}_]. A newer ICU that adds more must show up here.
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeSet closed(u"[\\p{L}\\p{N}_]", status);
    closed.closeOver(USET_CASE_INSENSITIVE).removeAllStrings();
    const icu::UnicodeSet spelledOut(CompiledReplacementRules::wordCharacterClass(), status);
    ASSERT_TRUE(U_SUCCESS(status));
    EXPECT_TRUE(closed == spelledOut);

    EXPECT_EQ(cleaner::applyVocabulary("\u0345forward slash", {{"forward slash", "/"}}), "\u0345forward slash");
}

}  // namespace
}  // namespace korvane
