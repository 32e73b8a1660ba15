#pragma once

#include "audio/capture/CaptureFormat.h"
#include "audio/capture/InputSource.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace korvane {

// A failure of the sound system itself: no server to talk to, no input source, a stream the server
// refused. what() is a readable sentence for the log, e.g. "Could not connect to the sound server:
// Connection refused".
class CaptureEngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The microphone stack as the recorder needs it: the format of the default input, a stream of
// blocks in that format on a capture thread, and word when the input device changes underneath.
// The Linux implementation is PulseAudio (platform/linux/pulse); tests use a recording fake.
//
// inputFormat(), describeSource(), the two starts and stopCapture() are called from one thread (the main thread),
// never from inside a block handler or the change handler.
class CaptureEngine {
public:
    // Called on the capture thread with `frameCount` interleaved frames in the format capture was
    // started with. The data is valid only during the call. Must not throw.
    using BlockHandler = std::function<void(const float* interleaved, std::size_t frameCount)>;

    virtual ~CaptureEngine() = default;

    // The current format of the default input source. May answer a format that is not usable (0 Hz or
    // 0 channels) when the source reports one. Throws CaptureEngineError when there is no sound server
    // or no input source.
    virtual CaptureFormat inputFormat() = 0;

    // Starts delivering blocks in `format` from the default input to `onBlock`. Throws
    // CaptureEngineError when the server refuses the stream; nothing is left running then.
    virtual void startCapture(const CaptureFormat& format, BlockHandler onBlock) = 0;

    // The source named `name`, or the default source when `name` is empty; nothing when there is no
    // such source. Throws CaptureEngineError when there is no sound server.
    virtual std::optional<InputSourceDescription> describeSource(const std::string& name) = 0;

    // Like startCapture(), from `source`: a named source is kept when the default changes and its
    // removal disturbs the capture; the arrival of the awaited source disturbs it too, so that the
    // caller can move to it.
    virtual void startCaptureFrom(const CaptureSource& source, const CaptureFormat& format, BlockHandler onBlock) = 0;

    // Stops delivery. When it returns, the block handler is not running and will not run again.
    // Does nothing when nothing is captured.
    virtual void stopCapture() = 0;

    // `onChange` is called, from any thread, when the capture in progress was disturbed: the default
    // input changed (for a capture that follows it), the awaited source appeared, the stream was
    // moved, suspended or killed, or the server went away. Capture must
    // then be stopped and started again to continue. It is never called while nothing is captured.
    virtual void setConfigurationChangeHandler(std::function<void()> onChange) = 0;
};

}  // namespace korvane
