#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// The microphone as the dictation controller sees it. Implemented by AudioRecorder (audio/).
class AudioRecording {
public:
    virtual ~AudioRecording() = default;

    // Starts capturing from the chosen input ("inputDevice"), or from the default input when none is
    // chosen or the chosen one is missing. Throws (an exception derived from std::exception
    // whose what() is the diagnostic text) when capture cannot start; the recorder is then idle.
    virtual void start() = 0;

    // Stops capturing and hands over the recording: 16 kHz mono float samples in capture order,
    // at most 9,600,000 of them; empty when nothing was recorded.
    virtual std::vector<float> stop() = 0;

    // Where the name of the chosen input comes from ("inputDevice"); nothing chosen means the default
    // input. Asked at every start, so a changed choice applies to the next recording. Main thread.
    virtual void setInputChoice(std::function<std::optional<std::string>()> chosenInput) = 0;

    // True when the recording that start() began runs on the default input because the chosen one
    // was missing then. Main thread.
    virtual bool fellBackToDefaultInput() const = 0;

    // The current input level, 0 (-60 dBFS or quieter) to 1 (full scale). Any thread.
    virtual float currentLevel() const = 0;

    // Called on the main thread when the recording reaches its length cap (once per recording).
    virtual void setOnCapReached(std::function<void()> callback) = 0;

    // Called on the main thread when the input device went away mid-recording and could not be
    // recovered; the samples captured so far stay in the recording.
    virtual void setOnCaptureLost(std::function<void()> callback) = 0;
};

}  // namespace korvane
