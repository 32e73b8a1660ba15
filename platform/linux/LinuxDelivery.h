#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "delivery/TranscriptDelivering.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace korvane {

class AccessibilityService;
class Clipboard;
class FocusTracker;
class KeySynthesizer;

// The live delivery: the decisions of TranscriptDelivery and the paste helper over the focus
// tracker, the AT-SPI focus queries, window activation, the clipboard and the paste keys of this
// session, with the delivery's own waits before the paste (TranscriptDeliveryEnvironment).
struct LinuxDeliveryParts {
    std::function<bool()> isTrusted;
    FocusTracker* tracker = nullptr;
    // Brings the application with this identifier to the front; false when it cannot.
    std::function<bool(const std::string&)> activate;
    AccessibilityService* accessibility = nullptr;
    Clipboard* clipboard = nullptr;
    KeySynthesizer* keys = nullptr;
    // Per window class, the paste chord the user set ("pasteKeys" in the settings); read per paste.
    std::function<std::map<std::string, std::string>()> pasteKeyOverrides;
    LogSink log = defaultLogSink();
};

std::shared_ptr<TranscriptDelivering> makeLinuxDelivery(std::shared_ptr<MainQueue> mainQueue, LinuxDeliveryParts parts);

}  // namespace korvane
