#pragma once

#include <span>
#include <string>
#include <string_view>

namespace korvane {

// A library Korvane is built on or ships, with the licence under which it is used. About's
// "Credits…" window and `korvane --version --verbose` both read this one list, so what a user sees
// and what a distributor reads never disagree.
struct Credit {
    std::string_view name;
    std::string_view purpose;    // what Korvane uses it for, a few words
    std::string_view licence;    // SPDX identifier
    std::string_view copyright;  // the holder's line as its own licence file gives it
    std::string_view homePage;
};

// Korvane's own licence, as an SPDX identifier.
inline constexpr std::string_view korvaneLicence = "MIT";

// The libraries, in the order they are shown.
std::span<const Credit> thirdPartyCredits();

// One line per library: "whisper.cpp 1.9.1 — speech recognition — MIT — https://…". The first line
// names Korvane's own licence.
std::string creditsText();

}  // namespace korvane
