#pragma once

#include "audio/capture/AudioRecorder.h"
#include "base/scheduling/MainQueue.h"

#include <memory>

namespace korvane {

// The application's recorder: AudioRecorder on the PulseAudio engine. Nothing touches the sound
// server until the first recording starts.
std::unique_ptr<AudioRecorder> makeSystemAudioRecorder(MainQueue& mainQueue);

}  // namespace korvane
