#include "platform/linux/pulse/SystemAudioRecorder.h"

#include "platform/linux/pulse/PulseCaptureEngine.h"

namespace korvane {

std::unique_ptr<AudioRecorder> makeSystemAudioRecorder(MainQueue& mainQueue)
{
    return std::make_unique<AudioRecorder>(mainQueue, [] { return std::make_unique<PulseCaptureEngine>(); });
}

}  // namespace korvane
