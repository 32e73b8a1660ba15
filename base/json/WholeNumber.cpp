#include "base/json/WholeNumber.h"

#include <cmath>
#include <limits>

namespace korvane {

std::optional<std::int64_t> wholeNumber(const nlohmann::json& value)
{
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // -2^63 is exact as a double; 2^63 is the first value past the range.
        constexpr double kLowest = -9223372036854775808.0;
        constexpr double kPastHighest = 9223372036854775808.0;
        if (!std::isfinite(number) || std::trunc(number) != number || number < kLowest || number >= kPastHighest) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
}

}  // namespace korvane
