#pragma once

#include "audio/capture/CaptureEngine.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace korvane {

// Capture from the default PulseAudio source, or a named one (PipeWire serves the same client API): a record stream
// at the source's own rate and channel count as 32-bit float, read in fragments of about 4096 frames
// on the threaded main loop's thread, which is the capture thread.
//
// Changes that disturb a running capture are reported once per stream through the change handler:
// the server's default source changed (for a stream on the default), an awaited source appeared,
// the stream was moved or suspended, the stream or the whole
// connection failed (server killed or restarted). The next inputFormat() or startCapture()
// reconnects when the connection was lost.
//
// Every wait for the server is bounded by `timeout`, so a server that hangs makes the call fail
// instead of freezing the main thread.
class PulseCaptureEngine final : public CaptureEngine {
public:
    explicit PulseCaptureEngine(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~PulseCaptureEngine() override;

    PulseCaptureEngine(const PulseCaptureEngine&) = delete;
    PulseCaptureEngine& operator=(const PulseCaptureEngine&) = delete;

    CaptureFormat inputFormat() override;
    std::optional<InputSourceDescription> describeSource(const std::string& name) override;
    void startCapture(const CaptureFormat& format, BlockHandler onBlock) override;
    void startCaptureFrom(const CaptureSource& source, const CaptureFormat& format, BlockHandler onBlock) override;
    void stopCapture() override;
    void setConfigurationChangeHandler(std::function<void()> onChange) override;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
