#include "hotkeys/KeyCodeNames.h"

#include <algorithm>
#include <array>
#include <utility>

namespace korvane {

namespace {

using KeyCodeName = std::pair<std::uint16_t, std::string_view>;

// Sorted by key code so that lookups can search it.
constexpr std::array<KeyCodeName, 77> kNames{{
    {0, "A"},       {1, "S"},      {2, "D"},        {3, "F"},
    {4, "H"},       {5, "G"},      {6, "Z"},        {7, "X"},
    {8, "C"},       {9, "V"},      {10, "Section"}, {11, "B"},
    {12, "Q"},      {13, "W"},     {14, "E"},       {15, "R"},
    {16, "Y"},      {17, "T"},     {18, "1"},       {19, "2"},
    {20, "3"},      {21, "4"},     {22, "6"},       {23, "5"},
    {24, "="},      {25, "9"},     {26, "7"},       {27, "-"},
    {28, "8"},      {29, "0"},     {30, "]"},       {31, "O"},
    {32, "U"},      {33, "["},     {34, "I"},       {35, "P"},
    {36, "Return"}, {37, "L"},     {38, "J"},       {39, "'"},
    {40, "K"},      {41, ";"},     {42, "\\"},      {43, ","},
    {44, "/"},      {45, "N"},     {46, "M"},       {47, "."},
    {48, "Tab"},    {49, "Space"}, {50, "`"},       {51, "Delete"},
    {53, "Escape"}, {96, "F5"},    {97, "F6"},      {98, "F7"},
    {99, "F3"},     {100, "F8"},   {101, "F9"},     {103, "F11"},
    {105, "F13"},   {107, "F14"},  {109, "F10"},    {111, "F12"},
    {113, "F15"},   {115, "Home"}, {116, "PageUp"}, {117, "ForwardDelete"},
    {118, "F4"},    {119, "End"},  {120, "F2"},     {121, "PageDown"},
    {122, "F1"},    {123, "Left"}, {124, "Right"},  {125, "Down"},
    {126, "Up"},
}};

static_assert(std::adjacent_find(kNames.begin(), kNames.end(),
                                 [](const KeyCodeName& a, const KeyCodeName& b) { return a.first >= b.first; }) ==
                  kNames.end(),
              "the key-name table must stay sorted by key code, one entry per code");

}  // namespace

std::optional<std::string_view> KeyCodeNames::entry(std::uint16_t keyCode)
{
    const auto found =
        std::lower_bound(kNames.begin(), kNames.end(), keyCode,
                         [](const KeyCodeName& entry, std::uint16_t code) { return entry.first < code; });
    if (found == kNames.end() || found->first != keyCode) {
        return std::nullopt;
    }
    return found->second;
}

std::string KeyCodeNames::name(std::uint16_t keyCode)
{
    if (const auto known = entry(keyCode)) {
        return std::string(*known);
    }
    return "Key" + std::to_string(keyCode);
}

}  // namespace korvane
