#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/Task.h"
#include "delivery/DeliveryOutcome.h"
#include "delivery/TranscriptDelivering.h"
#include "delivery/focus/FocusClassification.h"
#include "delivery/paste/PasteResult.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Everything a delivery asks of the desktop, as plain functions so that the decisions can be tested
// on virtual time. `bundleId` is the target's window class.
struct TranscriptDeliveryEnvironment {
    std::function<bool()> isAccessibilityTrusted;
    std::function<bool(const std::string& bundleId)> isFrontmost;
    std::function<bool(const std::string& bundleId)> activate;
    std::function<FocusClassification()> classifyFocus;
    std::function<std::optional<std::string>()> characterBeforeCaret;  // one user-perceived character, UTF-8
    std::function<bool(const std::string& text)> copyToPasteboard;     // as plain text that stays
    std::function<void(const std::string& text, const std::optional<std::string>& targetApp,
                       std::function<bool()> isTargetFrontmost, std::function<void(PasteResult)> completion)>
        paste;
    // Waits before looking at the focus: the target's own window needs a moment to take the focus
    // back from our indicator, longer after an activation, longest when no target is known. The
    // live delivery keeps these values.
    double frontmostDelay = 0.05;
    double activationDelay = 0.4;
    double fallbackDelay = 0.5;
    std::function<void(double seconds, Task task)> schedule;  // run on the main queue after the delay
    LogSink log = defaultLogSink();
};

// Pastes a transcript where the user was typing, or leaves it on the clipboard with the reason
// when pasting is not safe. Main thread only.
namespace TranscriptDelivery {

// Calls `completion` exactly once on the main thread: before returning when the delivery falls back
// at once (no permission, target gone), else later. Counts are of the transcript as given, in
// user-perceived characters.
void deliver(const std::string& text, const std::optional<std::string>& targetApp,
             const TranscriptDeliveryEnvironment& environment, std::function<void(DeliveryOutcome)> completion);

// Whether the text needs a space in front so that it does not run into the character before the
// caret: not after white space or an opening character, not before white space or closing
// punctuation, and never when the character before the caret is unknown.
bool needsLeadingSpace(std::string_view text, const std::optional<std::string>& previousCharacter);

}  // namespace TranscriptDelivery

// The controller's port over an environment (copies the environment).
class EnvironmentDelivery final : public TranscriptDelivering {
public:
    explicit EnvironmentDelivery(TranscriptDeliveryEnvironment environment);

    void deliver(const std::string& text, const std::optional<std::string>& targetApp,
                 std::function<void(DeliveryOutcome)> completion) override;

private:
    TranscriptDeliveryEnvironment environment_;
};

}  // namespace korvane
