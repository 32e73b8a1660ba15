#include "audio/capture/InputSource.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korvane {

namespace {

// PulseAudio writes profile names with underscores ("headset_head_unit"), PipeWire with hyphens
// ("headset-head-unit-msbc"); compare them in one spelling.
std::string normalised(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) {
        return c == '_' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return result;
}

bool namesHeadsetProfile(std::string_view profile)
{
    const std::string name = normalised(profile);
    // "headset-head-unit", "handsfree-head-unit", "headset-audio-gateway", PipeWire's codec-suffixed
    // forms, and the short protocol names "hsp-hs", "hfp-hf", "hsp-ag", "hfp-ag".
    return name.find("headset") != std::string::npos || name.find("handsfree") != std::string::npos ||
           name.starts_with("hsp") || name.starts_with("hfp");
}

std::string property(const InputSourceDescription& source, const std::string& key)
{
    const auto found = source.properties.find(key);
    return found == source.properties.end() ? std::string() : found->second;
}

bool isBluetooth(const InputSourceDescription& source)
{
    const std::string api = normalised(property(source, "device.api"));
    return normalised(property(source, "device.bus")) == "bluetooth" || api.starts_with("bluez") ||
           source.name.starts_with("bluez");
}

}  // namespace

std::optional<std::string> narrowBandHeadsetProfile(const InputSourceDescription& source)
{
    if (!isBluetooth(source)) {
        return std::nullopt;
    }
    // The card's active profile is the current truth; the source's properties may lag behind it.
    if (!source.cardProfile.empty()) {
        return namesHeadsetProfile(source.cardProfile) ? std::optional<std::string>(source.cardProfile) : std::nullopt;
    }
    // Without a card to ask, the source's own properties tell.
    static constexpr std::array<const char*, 3> kProfileKeys = {"bluetooth.protocol", "api.bluez5.profile",
                                                                "device.profile.name"};
    for (const char* key : kProfileKeys) {
        const std::string value = property(source, key);
        if (!value.empty() && namesHeadsetProfile(value)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace korvane
