#include "audio/capture/CaptureFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace korvane {

bool CaptureFormat::isUsable() const noexcept
{
    return std::isfinite(sampleRate) && sampleRate > 0.0 && channelCount > 0;
}

std::string formatSampleRate(double sampleRate)
{
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), sampleRate);
    std::string formatted(text.data(), result.ptr);
    // Shortest round-trip form, then a fractional digit for whole numbers so 48 kHz reads "48000.0".
    if (std::isfinite(sampleRate) && formatted.find_first_of(".e") == std::string::npos) {
        formatted += ".0";
    }
    return formatted;
}

}  // namespace korvane
