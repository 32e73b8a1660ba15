#include "hotkeys/KeyPositionTable.h"

#include "hotkeys/Keysyms.h"

#include <algorithm>
#include <array>
#include <utility>

namespace korvane {

namespace {

using namespace keysyms;
using KeyPosition = std::pair<std::uint16_t, std::uint32_t>;

// Mac key code -> keysym of the key in that position on a US layout, sorted by code.
constexpr std::array<KeyPosition, 100> kPositions{{
    {0, 'a'},
    {1, 's'},
    {2, 'd'},
    {3, 'f'},
    {4, 'h'},
    {5, 'g'},
    {6, 'z'},
    {7, 'x'},
    {8, 'c'},
    {9, 'v'},
    {10, kLess},  // the key ISO keyboards have and ANSI ones lack (next to left Shift on PCs)
    {11, 'b'},
    {12, 'q'},
    {13, 'w'},
    {14, 'e'},
    {15, 'r'},
    {16, 'y'},
    {17, 't'},
    {18, '1'},
    {19, '2'},
    {20, '3'},
    {21, '4'},
    {22, '6'},
    {23, '5'},
    {24, '='},
    {25, '9'},
    {26, '7'},
    {27, '-'},
    {28, '8'},
    {29, '0'},
    {30, ']'},
    {31, 'o'},
    {32, 'u'},
    {33, '['},
    {34, 'i'},
    {35, 'p'},
    {36, kReturn},
    {37, 'l'},
    {38, 'j'},
    {39, '\''},
    {40, 'k'},
    {41, ';'},
    {42, '\\'},
    {43, ','},
    {44, '/'},
    {45, 'n'},
    {46, 'm'},
    {47, '.'},
    {48, kTab},
    {49, ' '},
    {50, '`'},
    {51, kBackSpace},  // the Mac "Delete" key deletes backwards
    {53, kEscape},
    {64, function(17)},
    {65, kKeypadDecimal},
    {67, kKeypadMultiply},
    {69, kKeypadAdd},
    {75, kKeypadDivide},
    {76, kKeypadEnter},
    {78, kKeypadSubtract},
    {79, function(18)},
    {80, function(19)},
    {81, kKeypadEqual},
    {82, keypadDigit(0)},
    {83, keypadDigit(1)},
    {84, keypadDigit(2)},
    {85, keypadDigit(3)},
    {86, keypadDigit(4)},
    {87, keypadDigit(5)},
    {88, keypadDigit(6)},
    {89, keypadDigit(7)},
    {90, function(20)},
    {91, keypadDigit(8)},
    {92, keypadDigit(9)},
    {96, function(5)},
    {97, function(6)},
    {98, function(7)},
    {99, function(3)},
    {100, function(8)},
    {101, function(9)},
    {103, function(11)},
    {105, function(13)},
    {106, function(16)},
    {107, function(14)},
    {109, function(10)},
    {111, function(12)},
    {113, function(15)},
    {114, kInsert},  // Help sits where PC keyboards have Insert
    {115, kHome},
    {116, kPageUp},
    {117, kDelete},  // "ForwardDelete"
    {118, function(4)},
    {119, kEnd},
    {120, function(2)},
    {121, kPageDown},
    {122, function(1)},
    {123, kLeft},
    {124, kRight},
    {125, kDown},
    {126, kUp},
}};

static_assert(std::adjacent_find(kPositions.begin(), kPositions.end(),
                                 [](const KeyPosition& a, const KeyPosition& b) { return a.first >= b.first; }) ==
                  kPositions.end(),
              "the position table must stay sorted by key code, one entry per code");

// Codes above 127 for keys outside the table: a fixed offset per keysym range, so a code never
// changes between runs or layouts and leads back to its keysym. Each range is given as its
// first keysym, its size and the code of that first keysym.
struct Range {
    std::uint32_t firstKeysym;
    std::uint32_t size;
    std::uint16_t firstCode;
};
constexpr std::array<Range, 6> kRanges{{
    {0x0020, 0x00e0, 0x0120},      // Latin-1 (ä, ß, §): 288-511
    {0xff00, 0x0100, 0x0200},      // function and keypad keys (Print, Pause, Menu): 512-767
    {0xfe00, 0x0100, 0x0300},      // ISO and dead keys: 768-1023
    {0x1008ff00, 0x0100, 0x0400},  // vendor keys (media, volume): 1024-1279
    {0x0100, 0x1f00, 0x1100},      // the older national sets (Cyrillic, Greek, ...): 4352-12287
    {0x01000000, 0x8000, 0x8000},  // Unicode keysyms below U+8000: 32768-65535
}};

std::optional<std::uint16_t> tableCode(std::uint32_t keysym)
{
    for (const auto& [code, entry] : kPositions) {
        if (entry == keysym) {
            return code;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> KeyPositionTable::keysym(std::uint16_t keyCode)
{
    if (keyCode < 128) {
        const auto found =
            std::lower_bound(kPositions.begin(), kPositions.end(), keyCode,
                             [](const KeyPosition& entry, std::uint16_t code) { return entry.first < code; });
        if (found == kPositions.end() || found->first != keyCode) {
            return std::nullopt;
        }
        return found->second;
    }
    for (const Range& range : kRanges) {
        const std::uint32_t offset = static_cast<std::uint32_t>(keyCode) - range.firstCode;
        if (keyCode >= range.firstCode && offset < range.size) {
            const std::uint32_t keysym = range.firstKeysym + offset;
            // A key of the table has exactly one code, its table code.
            if (tableCode(keysym)) {
                return std::nullopt;
            }
            return keysym;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> KeyPositionTable::keyCode(std::uint32_t keysym)
{
    if (const auto code = tableCode(keysym)) {
        return code;
    }
    for (const Range& range : kRanges) {
        if (keysym >= range.firstKeysym && keysym - range.firstKeysym < range.size) {
            return static_cast<std::uint16_t>(range.firstCode + (keysym - range.firstKeysym));
        }
    }
    return std::nullopt;
}

}  // namespace korvane
