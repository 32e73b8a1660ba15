#pragma once

#include "delivery/DeliveryOutcome.h"

#include <functional>
#include <optional>
#include <string>

namespace korvane {

// Puts a transcript into the target application, or on the clipboard when that cannot be done
// safely. Implemented by TranscriptDelivery (delivery/). Main thread only.
class TranscriptDelivering {
public:
    virtual ~TranscriptDelivering() = default;

    // Calls `completion` exactly once, on the main thread, before returning or later.
    virtual void deliver(const std::string& text, const std::optional<std::string>& targetApp,
                         std::function<void(DeliveryOutcome)> completion) = 0;
};

}  // namespace korvane
