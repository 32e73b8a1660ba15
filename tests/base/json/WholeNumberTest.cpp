#include "base/json/WholeNumber.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace korvane {
namespace {

using Json = nlohmann::json;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(WholeNumber, ReadsEveryNumberWithoutAFractionWithinSigned64Bits)
{
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"36", 36},
        {"-7", -7},
        {"36.0", 36},
        {"-0.0", 0},
        {"1e0", 1},
        {"2.5e1", 25},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"-9223372036854775808.0", kMin},
        // Past the range, as an unsigned integer and as floating point.
        {"9223372036854775808", std::nullopt},
        {"18446744073709551615", std::nullopt},
        {"9223372036854775808.0", std::nullopt},
        {"1e30", std::nullopt},
        {"-1e300", std::nullopt},
        {"36.5", std::nullopt},
        {"-0.25", std::nullopt},
        {"true", std::nullopt},
        {"\"36\"", std::nullopt},
        {"null", std::nullopt},
        {"[36]", std::nullopt},
        {"{\"n\": 36}", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(wholeNumber(Json::parse(text)), expected) << text;
    }
    // No JSON text spells these, but a document built in memory may hold them.
    EXPECT_EQ(wholeNumber(Json(std::numeric_limits<double>::quiet_NaN())), std::nullopt);
    EXPECT_EQ(wholeNumber(Json(std::numeric_limits<double>::infinity())), std::nullopt);
    EXPECT_EQ(wholeNumber(Json(-std::numeric_limits<double>::infinity())), std::nullopt);
}

}  // namespace
}  // namespace korvane
