#include "text/UnicodeText.h"
#include "text/Graphemes.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

TEST(GraphemeCountTest, CountsUserPerceivedCharacters)
{
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {"", 0},
        {"abc", 3},
        {"a\r\nb", 3},
        {"e\u0301", 1},
        {"na\u00EFve", 5},
        {"\U0001F44D\U0001F3FD", 1},
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467", 1},
        {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", 2},
        {"\uD55C\uAE00", 2},
        {"\u1112\u1161\u11AB", 1},
        // Invalid bytes count as one character each.
        {"a\xFF\xFE", 3},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(graphemeCount(text), expected);
        EXPECT_EQ(unicode_text::graphemeCount(unicode_text::fromUtf8(text)), expected);
    }
}

TEST(UnicodeTextTest, CaseAndEquivalence)
{
    using namespace unicode_text;
    // Full, locale-independent lower-casing: the capital I with dot keeps its dot as a combining mark.
    EXPECT_EQ(toUtf8(lowercased(fromUtf8("\u0130STANBUL \u03A3\u039F\u03A6\u0399\u0391\u03A3"))),
              "i\u0307stanbul \u03C3\u03BF\u03C6\u03B9\u03B1\u03C2");
    EXPECT_TRUE(canonicallyEqualUtf8("caf\u00E9", "cafe\u0301"));
    EXPECT_FALSE(canonicallyEqualUtf8("caf\u00E9", "cafe"));
    EXPECT_EQ(caseInsensitiveKey(fromUtf8("CAFE\u0301")), caseInsensitiveKey(fromUtf8("caf\u00E9")));
    EXPECT_TRUE(containsLetterOrNumber(fromUtf8("\u2014\u0663")));
    EXPECT_FALSE(containsLetterOrNumber(fromUtf8("/\u2014 \u0301")));
    EXPECT_TRUE(containsAlphanumeric(fromUtf8(". \u0301")));
}

}  // namespace
}  // namespace korvane
