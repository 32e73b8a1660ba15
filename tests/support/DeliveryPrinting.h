#pragma once

#include "delivery/DeliveryOutcome.h"
#include "delivery/paste/Clipboard.h"
#include "delivery/paste/PasteResult.h"

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string_view>

// Readable failure messages for deliveries and pastes: outcomes as "copiedToClipboard(targetUnavailable,
// 5 chars)", results by case name, clipboard formats as {text/plain: "text"} with bytes outside
// printable ASCII escaped and long data cut short. GoogleTest finds these by argument-dependent lookup;
// include this header wherever such values are compared.
namespace korvane {

inline void PrintTo(DeliveryFallbackReason reason, std::ostream* out)
{
    *out << caseName(reason);
}

inline void PrintTo(PasteResult result, std::ostream* out)
{
    *out << caseName(result);
}

inline void PrintTo(const DeliveryOutcome& outcome, std::ostream* out)
{
    switch (outcome.kind) {
    case DeliveryOutcome::Kind::pasteSent:
        *out << "pasteSent(" << outcome.characters << " chars)";
        return;
    case DeliveryOutcome::Kind::copiedToClipboard:
        *out << "copiedToClipboard(" << caseName(outcome.reason) << ", " << outcome.characters << " chars)";
        return;
    case DeliveryOutcome::Kind::notDelivered:
        *out << "notDelivered(" << caseName(outcome.reason) << ")";
        return;
    }
}

inline void PrintTo(const ClipboardFormat& format, std::ostream* out)
{
    // An image is kilobytes of binary: its start and its size tell formats apart.
    constexpr std::size_t kShown = 48;
    const std::string_view data(format.data);
    *out << "{" << format.mimeType << ": \"";
    for (const char c : data.substr(0, kShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            *out << '\\' << c;
        } else if (byte >= 0x20 && byte < 0x7f) {
            *out << c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            *out << escaped;
        }
    }
    *out << "\"";
    if (data.size() > kShown) {
        *out << "... (" << data.size() << " bytes)";
    }
    *out << "}";
}

}  // namespace korvane
