#include "base/json/NestingDepth.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

TEST(NestingDepth, CountsBracketsOutsideStringsOnly)
{
    struct Case {
        std::string text;
        std::size_t depth;
    };
    const Case cases[] = {
        {"", 0},
        {"42", 0},
        {"{}", 1},
        {R"({"a": [1, {"b": []}]})", 4},
        {R"([[], [[]], []])", 3},
        {R"({"a": "[[[{{{"})", 1},
        {R"({"a": "quote \" then [[["})", 1},
        {R"({"a": "backslash \\", "b": [[1]]})", 3},
        {"]]]{", 1},  // text that does not parse still gets an answer
        {std::string(100000, '[') + std::string(100000, ']'), 100000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(jsonNestingDepth(c.text), c.depth) << c.text.substr(0, 40);
    }
}

}  // namespace
}  // namespace korvane
