#pragma once

#include <charconv>
#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane::bench {

// The positive whole number given to a command-line option; throws, naming the option, otherwise.
inline int wholeNumberOption(std::string_view option, std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) {
        throw std::invalid_argument(std::string(option) + " needs a positive whole number");
    }
    return value;
}

}  // namespace korvane::bench
