#include "text/StoredVocabulary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(StoredVocabularyTest, WritesCompactJsonWithFixedKeyOrder)
{
    const Vocabulary vocabulary({{"/", {"forward slash"}}, {"K\u00F6ln", {"koln", "cologne"}}});
    EXPECT_EQ(StoredVocabulary::encode(vocabulary),
              "{\"version\":1,\"entries\":[{\"replacement\":\"/\",\"aliases\":[\"forward slash\"]},"
              "{\"replacement\":\"K\u00F6ln\",\"aliases\":[\"koln\",\"cologne\"]}]}");
    EXPECT_EQ(StoredVocabulary::encode(Vocabulary()), "{\"version\":1,\"entries\":[]}");
}

TEST(StoredVocabularyTest, RoundTripsEveryKindOfText)
{
    const Vocabulary vocabulary({{"\\", {"back \"slash\""}},
                                 {"\U0001F44D\U0001F3FD", {"thumbs up"}},
                                 {"\u6771\u4EAC", {"t\u014Dky\u014D", "\u3068\u3046\u304D\u3087\u3046"}},
                                 {"line\nbreak", {"tab\there"}}});
    const std::optional<std::string> bytes = StoredVocabulary::encode(vocabulary);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(StoredVocabulary::decode(*bytes), vocabulary);

    const std::optional<std::string> starterBytes = StoredVocabulary::encode(Vocabulary::starter());
    ASSERT_TRUE(starterBytes.has_value());
    EXPECT_EQ(StoredVocabulary::decode(*starterBytes), Vocabulary::starter());
}

TEST(StoredVocabularyTest, TextThatIsNotUtf8IsRepairedBeforeItIsStored)
{
    // A document with broken UTF-8 could never be read back and would lose the whole list on the
    // next launch; the vocabulary replaces such bytes when it is built, so what is written reads.
    const Vocabulary broken(std::vector<VocabularyEntry>{{"bad\xC3", {"x\xFF"}}});
    EXPECT_EQ(broken.entries().front(), (VocabularyEntry{"bad\uFFFD", {"x\uFFFD"}}));
    const std::optional<std::string> bytes = StoredVocabulary::encode(broken);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(StoredVocabulary::decode(*bytes), broken);
}

TEST(StoredVocabularyTest, AcceptsVersionsUpToOneInAnyKeyOrder)
{
    const std::vector<std::string> accepted = {
        R"({"version":1,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        R"({"version":0,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        R"({"version":-7,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        // JSON has one kind of number: a whole number written with a fraction part is that integer.
        R"({"version":1.0,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        R"({"version":-0.0,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        R"({"version":1e0,"entries":[{"replacement":"/","aliases":["forward slash"]}]})",
        R"({"entries":[{"aliases":["forward slash"],"replacement":"/"}],"version":1})",
        R"( {"version":1,"extra":{"x":[1,2]},"entries":[{"replacement":"/","aliases":["forward slash"],"note":null}]} )",
    };
    const Vocabulary expected(std::vector<VocabularyEntry>{{"/", {"forward slash"}}});
    for (const std::string& document : accepted) {
        SCOPED_TRACE(document);
        EXPECT_EQ(StoredVocabulary::decode(document), expected);
    }
}

TEST(StoredVocabularyTest, RejectsTheWholeDocumentOnAnyFault)
{
    const std::vector<std::string> rejected = {
        "",
        "null",
        "[]",
        "{",
        R"({"version":2,"entries":[]})",
        R"({"version":18446744073709551615,"entries":[]})",
        R"({"version":1.5,"entries":[]})",
        R"({"version":2.0,"entries":[]})",
        R"({"version":-1e300,"entries":[]})",
        R"({"version":true,"entries":[]})",
        R"({"version":null,"entries":[]})",
        R"({"version":"1","entries":[]})",
        R"({"entries":[]})",
        R"({"version":1})",
        R"({"version":1,"entries":{}})",
        R"({"version":1,"entries":[{"replacement":"/","aliases":["forward slash"]},{"replacement":"-"}]})",
        R"({"version":1,"entries":[{"aliases":["forward slash"]}]})",
        R"({"version":1,"entries":[{"replacement":null,"aliases":[]}]})",
        R"({"version":1,"entries":[{"replacement":"/","aliases":"forward slash"}]})",
        R"({"version":1,"entries":[{"replacement":"/","aliases":["ok",3]}]})",
        R"({"version":1,"entries":["/"]})",
        R"({"version":1,"entries":[]} trailing)",
        "{\"version\":1,\"entries\":[{\"replacement\":\"\xFF\",\"aliases\":[\"x\"]}]}",
        R"({"version":1,"entries":[{"replacement":"\ud800","aliases":["x"]}]})",
    };
    for (const std::string& document : rejected) {
        SCOPED_TRACE(document);
        EXPECT_EQ(StoredVocabulary::decode(document), std::nullopt);
    }
}

TEST(StoredVocabularyTest, NormalisesWhatItReads)
{
    EXPECT_EQ(StoredVocabulary::decode(R"({"version":1,"entries":[]})"), Vocabulary());
    EXPECT_EQ(
        StoredVocabulary::decode(
            R"({"version":1,"entries":[{"replacement":"  ","aliases":["x"]},{"replacement":" Go ","aliases":["go"," GO ",""]}]})"),
        Vocabulary(std::vector<VocabularyEntry>{{"Go", {"go"}}}));
}

TEST(StoredVocabularyTest, SurvivesDeeplyNestedInput)
{
    const std::string deep =
        R"({"version":1,"entries":[],"x":)" + std::string(100000, '[') + std::string(100000, ']') + "}";
    EXPECT_EQ(StoredVocabulary::decode(deep), Vocabulary());
    EXPECT_EQ(StoredVocabulary::decode(std::string(100000, '[')), std::nullopt);
}

}  // namespace
}  // namespace korvane
