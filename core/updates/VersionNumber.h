#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A release version as our feed and build write it: "1.4.2", optionally with a leading "v", a
// pre-release tag ("1.5.0-beta.2") and build metadata ("+g1a2b3c", ignored when comparing).
// Ordered by semantic-versioning precedence, except that missing trailing parts count as zero, so
// "1.4" and "1.4.0" are the same version.
class VersionNumber {
public:
    // Nothing for text that is not a version (empty, letters in the numbers, a part over nine digits,
    // more than four numeric parts, an empty pre-release identifier).
    static std::optional<VersionNumber> parse(std::string_view text);

    std::strong_ordering operator<=>(const VersionNumber& other) const;
    bool operator==(const VersionNumber& other) const { return (*this <=> other) == 0; }

private:
    std::vector<std::uint32_t> numbers_;   // trailing zeros removed
    std::vector<std::string> preRelease_;  // empty for a release
};

}  // namespace korvane
