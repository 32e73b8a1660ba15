#pragma once

#include <array>
#include <string_view>

namespace korvane {

// The speech models Korvane offers, in the order they are shown. Any other name is replaced by
// kDefaultModelName wherever a model is chosen.
inline constexpr std::array<std::string_view, 4> kModelNames{"base", "small", "medium", "turbo"};
inline constexpr std::string_view kDefaultModelName = "small";

constexpr bool isKnownModelName(std::string_view name)
{
    for (auto known : kModelNames) {
        if (known == name) {
            return true;
        }
    }
    return false;
}

}  // namespace korvane
