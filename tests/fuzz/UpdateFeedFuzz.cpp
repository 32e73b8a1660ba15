// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the update feed reader and to the version numbers it compares. A feed is
// refused with a reason or gives an offer whose version parses, whose page is an https address
// with a host, and whose texts hold nothing a dialog or log line could be tricked by. Versions must
// order consistently: every version equals itself and its build-metadata variant, and comparing
// two either way gives opposite answers. Any breach aborts.

#include "core/updates/UpdateFeed.h"
#include "core/updates/VersionNumber.h"
#include "tests/fuzz/FuzzChecks.h"

#include <algorithm>
#include <cctype>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace {

using korvane::VersionNumber;
using korvane::fuzz::printable;
using korvane::fuzz::require;

void checkFeed(std::string_view body)
{
    const auto parsed = korvane::parseUpdateFeed(body);
    if (const auto* reason = std::get_if<std::string>(&parsed)) {
        require(!reason->empty());
        return;
    }
    const auto& offer = std::get<korvane::UpdateOffer>(parsed);
    require(printable(offer.version) && VersionNumber::parse(offer.version).has_value());
    std::string scheme = offer.releasePage.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    require(scheme == "https://" && printable(offer.releasePage));
    require(!korvane::urlHost(offer.releasePage).empty());
}

std::strong_ordering reversed(std::strong_ordering order)
{
    return 0 <=> order;
}

void checkVersions(std::string_view text)
{
    const std::size_t middle = text.find('\n');
    const std::string_view first = text.substr(0, middle);
    const std::string_view second = middle == std::string_view::npos ? std::string_view{} : text.substr(middle + 1);
    const auto a = VersionNumber::parse(first);
    const auto b = VersionNumber::parse(second);
    if (a) {
        require(*a == *a);
        if (first.find('+') == std::string_view::npos) {
            const auto withBuild = VersionNumber::parse(std::string(first) + "+build.7");
            require(withBuild.has_value() && *withBuild == *a);
        }
    }
    if (a && b) {
        require((*a <=> *b) == reversed(*b <=> *a));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = korvane::fuzz::textOf(data, size);
    checkFeed(text);
    checkVersions(text);
    return 0;
}
