#pragma once

#include "audio/capture/CaptureEngine.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include <pulse/pulseaudio.h>

namespace korvane {

// Capture from the default PulseAudio source (PipeWire serves the same client API): a record stream
// at the source's own rate and channel count as 32-bit float, read in fragments of about 4096 frames
// on the threaded main loop's thread, which is the capture thread.
//
// Changes that disturb a running capture are reported once per stream through the change handler:
// the server's default source changed, the stream was moved or suspended, the stream or the whole
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
    void startCapture(const CaptureFormat& format, BlockHandler onBlock) override;
    void stopCapture() override;
    void setConfigurationChangeHandler(std::function<void()> onChange) override;

private:
    class LoopLock;

    // All of these run with the main loop locked.
    void connectIfNeeded();
    void dropContext();
    void dropStream();
    bool waitUntil(const std::function<bool()>& done);
    void waitForOperation(pa_operation* operation, const bool& answered);
    [[noreturn]] void fail(const std::string& what, int error);

    // Main loop thread.
    void reportChange();
    static void contextStateChanged(pa_context* context, void* self);
    static void serverEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* self);
    static void defaultSourceChecked(pa_context* context, const pa_server_info* info, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamReadable(pa_stream* stream, std::size_t bytes, void* self);
    static void streamMoved(pa_stream* stream, void* self);
    static void streamSuspended(pa_stream* stream, void* self);

    const std::chrono::milliseconds timeout_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::size_t frameBytes_ = 0;
    bool capturing_ = false;       // the stream reached the ready state and delivers blocks
    bool changeReported_ = false;  // for the current stream
    BlockHandler onBlock_;
    std::function<void()> onChange_;
    pa_channel_map sourceChannels_{};  // of the source inputFormat() last described
};

}  // namespace korvane
