// SPDX-License-Identifier: MIT
// What every fuzz target shares: a broken promise aborts, which libFuzzer reports with the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace korvane::fuzz {

inline void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// No byte below 0x20 and no DEL: what may reach a log line or a label.
inline bool printable(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

}  // namespace korvane::fuzz
