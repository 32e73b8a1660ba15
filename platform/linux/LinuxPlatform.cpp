#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/pulse/SystemAudioRecorder.h"
#include "platform/linux/standin/StandIns.h"

#include <QGuiApplication>

namespace korvane {

LinuxPlatform::LinuxPlatform() : focus_(std::make_shared<NoFocusTracking>())
{
}

LinuxPlatform::~LinuxPlatform() = default;

PlatformCapabilities LinuxPlatform::capabilities() const
{
    PlatformCapabilities capabilities;
    capabilities.x11Session = QGuiApplication::platformName() == QLatin1String("xcb");
    return capabilities;
}

std::shared_ptr<AudioRecording> LinuxPlatform::makeRecorder(MainQueue& mainQueue)
{
    return makeSystemAudioRecorder(mainQueue);
}

std::shared_ptr<FocusTracking> LinuxPlatform::makeFocusTracker()
{
    return focus_;
}

std::shared_ptr<AccessibilityPreparing> LinuxPlatform::makeAccessibility()
{
    return focus_;
}

std::shared_ptr<TranscriptDelivering> LinuxPlatform::makeDelivery(MainQueue&)
{
    return std::make_shared<ClipboardOnlyDelivery>();
}

}  // namespace korvane
