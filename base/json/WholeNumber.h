#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>

namespace korvane {

// The one rule for reading a whole number out of a JSON value, shared by every stored format.
// JSON does not tell 2 from 2.0 (some writers emit every number with a fraction part), so both read
// as the integer 2. Nothing for a real fraction (2.5), NaN or an infinity, a number outside the
// signed 64-bit range, or a value that is not a number at all (true, "2", null). Ranges narrower
// than 64 bits are the caller's to check.
std::optional<std::int64_t> wholeNumber(const nlohmann::json& value);

}  // namespace korvane
