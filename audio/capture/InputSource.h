#pragma once

#include "audio/capture/CaptureFormat.h"

#include <map>
#include <optional>
#include <string>

namespace korvane {

// What the sound server says about one input source.
struct InputSourceDescription {
    std::string name;  // the server's name for it, e.g. "alsa_input.usb-046d_0825.mono-fallback"
    CaptureFormat format;
    std::map<std::string, std::string> properties;  // its property list ("device.bus", ...)
    std::string cardProfile;                        // the active profile of its card; empty without a card
};

// Which source a capture records from.
struct CaptureSource {
    // The source to record from and stay with; empty for the default source, followed when the
    // default changes.
    std::string name;
    // A source that is missing now and should be recorded from once it appears (the chosen one);
    // empty when none is awaited.
    std::string awaited;

    friend bool operator==(const CaptureSource&, const CaptureSource&) = default;
};

// The Bluetooth profile that makes `source` a narrow-band headset microphone (HSP/HFP: 8 kHz, or
// 16 kHz with mSBC), as the card profile or the source's properties name it; nothing for any other
// source, including a Bluetooth source in a high-quality profile.
std::optional<std::string> narrowBandHeadsetProfile(const InputSourceDescription& source);

}  // namespace korvane
