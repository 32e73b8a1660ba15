#pragma once

#include "core/ports/PlatformServices.h"

#include <memory>

namespace korvane {

class NoFocusTracking;

// The Linux desktop: PulseAudio (or PipeWire's PulseAudio service) for the microphone, and, until
// focus tracking and the synthetic paste exist, stand-ins that know no target application and
// leave every transcript on the clipboard. Needs a running QGuiApplication.
class LinuxPlatform final : public PlatformServices {
public:
    LinuxPlatform();
    ~LinuxPlatform() override;

    PlatformCapabilities capabilities() const override;
    std::shared_ptr<AudioRecording> makeRecorder(MainQueue& mainQueue) override;
    std::shared_ptr<FocusTracking> makeFocusTracker() override;
    std::shared_ptr<AccessibilityPreparing> makeAccessibility() override;
    std::shared_ptr<TranscriptDelivering> makeDelivery(MainQueue& mainQueue) override;

private:
    std::shared_ptr<NoFocusTracking> focus_;
};

}  // namespace korvane
