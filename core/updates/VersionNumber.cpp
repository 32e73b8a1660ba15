#include "core/updates/VersionNumber.h"

#include <algorithm>
#include <charconv>

namespace korvane {

namespace {

constexpr std::size_t kMaxNumericParts = 4;
constexpr std::size_t kMaxDigits = 9;

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isIdentifierCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
}

bool isIdentifier(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), isIdentifierCharacter);
}

std::string_view withoutLeadingZeros(std::string_view digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

// Pre-release identifiers: numbers compare numerically and rank below words, words compare by their
// ASCII text.
std::strong_ordering compareIdentifier(const std::string& left, const std::string& right)
{
    const bool leftNumeric = isDigits(left);
    const bool rightNumeric = isDigits(right);
    if (leftNumeric && rightNumeric) {
        // By value: "02" is two, below "3", though semantic versioning does not allow it.
        const std::string_view leftValue = withoutLeadingZeros(left);
        const std::string_view rightValue = withoutLeadingZeros(right);
        if (leftValue.size() != rightValue.size()) {
            return leftValue.size() <=> rightValue.size();
        }
        return leftValue.compare(rightValue) <=> 0;
    }
    if (leftNumeric != rightNumeric) {
        return leftNumeric ? std::strong_ordering::less : std::strong_ordering::greater;
    }
    return left.compare(right) <=> 0;
}

}  // namespace

std::optional<VersionNumber> VersionNumber::parse(std::string_view text)
{
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) {
        text.remove_prefix(1);
    }
    // Build metadata says nothing about precedence, but it is shown with the version: only the
    // characters semantic versioning allows, so that nothing else reaches a dialog.
    if (const std::size_t plus = text.find('+'); plus != std::string_view::npos) {
        const std::string_view metadata = text.substr(plus + 1);
        if (metadata.empty() || !std::all_of(metadata.begin(), metadata.end(),
                                             [](char c) { return isIdentifierCharacter(c) || c == '.'; })) {
            return std::nullopt;
        }
        text = text.substr(0, plus);
    }
    std::string_view core = text;
    std::string_view preRelease;
    bool hasPreRelease = false;
    if (const std::size_t dash = text.find('-'); dash != std::string_view::npos) {
        core = text.substr(0, dash);
        preRelease = text.substr(dash + 1);
        hasPreRelease = true;
    }

    VersionNumber version;
    for (;;) {
        const std::size_t dot = core.find('.');
        const std::string_view part = core.substr(0, dot);
        if (!isDigits(part) || part.size() > kMaxDigits || version.numbers_.size() == kMaxNumericParts) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        std::from_chars(part.data(), part.data() + part.size(), value);
        version.numbers_.push_back(value);
        if (dot == std::string_view::npos) {
            break;
        }
        core.remove_prefix(dot + 1);
    }
    while (!version.numbers_.empty() && version.numbers_.back() == 0) {
        version.numbers_.pop_back();
    }

    if (hasPreRelease) {
        for (;;) {
            const std::size_t dot = preRelease.find('.');
            const std::string_view identifier = preRelease.substr(0, dot);
            if (!isIdentifier(identifier)) {
                return std::nullopt;
            }
            version.preRelease_.emplace_back(identifier);
            if (dot == std::string_view::npos) {
                break;
            }
            preRelease.remove_prefix(dot + 1);
        }
    }
    return version;
}

std::strong_ordering VersionNumber::operator<=>(const VersionNumber& other) const
{
    const std::size_t parts = std::max(numbers_.size(), other.numbers_.size());
    for (std::size_t i = 0; i < parts; ++i) {
        const std::uint32_t mine = i < numbers_.size() ? numbers_[i] : 0;
        const std::uint32_t theirs = i < other.numbers_.size() ? other.numbers_[i] : 0;
        if (mine != theirs) {
            return mine <=> theirs;
        }
    }
    // A release ranks above its own pre-releases.
    if (preRelease_.empty() || other.preRelease_.empty()) {
        return other.preRelease_.size() == preRelease_.size()
                   ? std::strong_ordering::equal
                   : (preRelease_.empty() ? std::strong_ordering::greater : std::strong_ordering::less);
    }
    const std::size_t common = std::min(preRelease_.size(), other.preRelease_.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (const auto order = compareIdentifier(preRelease_[i], other.preRelease_[i]); order != 0) {
            return order;
        }
    }
    return preRelease_.size() <=> other.preRelease_.size();
}

}  // namespace korvane
