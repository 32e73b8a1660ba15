#include "platform/linux/pulse/PulseCaptureEngine.h"

#include "base/logging/Logger.h"

#include <pulse/pulseaudio.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace korvane {

namespace {

constexpr std::size_t kFragmentFrames = 4096;

}  // namespace

// The connection, stream and main loop behind the engine. Kept out of the header so that the client
// library's declarations and macros reach only this file.
class PulseCaptureEngine::Impl {
public:
    explicit Impl(std::chrono::milliseconds timeout);
    ~Impl();

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    CaptureFormat inputFormat();
    std::optional<InputSourceDescription> describeSource(const std::string& name);
    void startCapture(const CaptureSource& source, const CaptureFormat& format, BlockHandler onBlock);
    void stopCapture();
    void setConfigurationChangeHandler(std::function<void()> onChange);

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
    static void newSourceChecked(pa_context* context, const pa_source_info* info, int last, void* self);
    static void streamStateChanged(pa_stream* stream, void* self);
    static void streamReadable(pa_stream* stream, std::size_t bytes, void* self);
    static void streamMoved(pa_stream* stream, void* self);
    static void streamSuspended(pa_stream* stream, void* self);

    const std::chrono::milliseconds timeout_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::size_t frameBytes_ = 0;
    bool capturing_ = false;         // the stream reached the ready state and delivers blocks
    bool changeReported_ = false;    // for the current stream
    bool firstBlockLogged_ = false;  // for the current stream

    bool followsDefault_ = true;  // the current stream records the default source
    std::string awaited_;         // a missing source whose arrival disturbs the current stream
    BlockHandler onBlock_;
    std::function<void()> onChange_;
    pa_channel_map sourceChannels_{};  // of the source inputFormat() last described
};

// Holds the threaded main loop's lock: every call into the client library from outside the loop
// thread needs it, and holding it keeps the loop's callbacks (block delivery included) out.
class PulseCaptureEngine::Impl::LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

PulseCaptureEngine::Impl::Impl(std::chrono::milliseconds timeout) : timeout_(timeout)
{
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) {
        throw CaptureEngineError("Could not create the audio capture thread");
    }
    pa_threaded_mainloop_set_name(loop_, "korvane-capture");
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        throw CaptureEngineError("Could not start the audio capture thread");
    }
    pa_channel_map_init(&sourceChannels_);
}

PulseCaptureEngine::Impl::~Impl()
{
    {
        LoopLock lock(loop_);
        dropStream();
        dropContext();
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

void PulseCaptureEngine::Impl::setConfigurationChangeHandler(std::function<void()> onChange)
{
    LoopLock lock(loop_);
    onChange_ = std::move(onChange);
}

CaptureFormat PulseCaptureEngine::Impl::inputFormat()
{
    LoopLock lock(loop_);
    connectIfNeeded();

    struct Answer {
        pa_threaded_mainloop* loop;
        bool answered = false;
        bool found = false;
        pa_sample_spec sampleFormat{};
        pa_channel_map channels{};
    } answer{loop_};
    const auto sourceDescribed = [](pa_context*, const pa_source_info* info, int last, void* userdata) {
        auto* result = static_cast<Answer*>(userdata);
        if (info != nullptr && last == 0) {
            result->found = true;
            result->sampleFormat = info->sample_spec;
            result->channels = info->channel_map;
            return;
        }
        result->answered = true;
        pa_threaded_mainloop_signal(result->loop, 0);
    };
    // The server resolves the special name itself, so the answer is the default at this moment.
    waitForOperation(pa_context_get_source_info_by_name(context_, "@DEFAULT_SOURCE@", sourceDescribed, &answer),
                     answer.answered);
    if (!answer.found) {
        throw CaptureEngineError("No audio input source");
    }
    sourceChannels_ = answer.channels;
    return CaptureFormat{static_cast<double>(answer.sampleFormat.rate), answer.sampleFormat.channels};
}

std::optional<InputSourceDescription> PulseCaptureEngine::Impl::describeSource(const std::string& name)
{
    LoopLock lock(loop_);
    connectIfNeeded();

    struct Answer {
        pa_threaded_mainloop* loop;
        bool answered = false;
        bool found = false;
        std::uint32_t card = PA_INVALID_INDEX;
        pa_channel_map channels{};
        InputSourceDescription source{};
    } answer{loop_, false, false, PA_INVALID_INDEX, {}, {}};
    const auto sourceDescribed = [](pa_context*, const pa_source_info* info, int last, void* userdata) {
        auto* result = static_cast<Answer*>(userdata);
        if (info != nullptr && last == 0) {
            result->found = true;
            result->source.name = info->name != nullptr ? info->name : "";
            result->source.format =
                CaptureFormat{static_cast<double>(info->sample_spec.rate), info->sample_spec.channels};
            result->channels = info->channel_map;
            result->card = info->card;
            void* state = nullptr;
            while (const char* key = pa_proplist_iterate(info->proplist, &state)) {
                // Only text values; binary ones say nothing the recorder reads.
                if (const char* value = pa_proplist_gets(info->proplist, key)) {
                    result->source.properties.emplace(key, value);
                }
            }
            return;
        }
        // A name the server does not know ends the same way as the end of the list, without a source.
        result->answered = true;
        pa_threaded_mainloop_signal(result->loop, 0);
    };
    const char* asked = name.empty() ? "@DEFAULT_SOURCE@" : name.c_str();
    waitForOperation(pa_context_get_source_info_by_name(context_, asked, sourceDescribed, &answer), answer.answered);
    if (!answer.found) {
        return std::nullopt;
    }
    sourceChannels_ = answer.channels;

    if (answer.card != PA_INVALID_INDEX) {
        struct CardAnswer {
            pa_threaded_mainloop* loop;
            bool answered = false;
            std::string profile;
        } card{loop_, false, {}};
        const auto cardDescribed = [](pa_context*, const pa_card_info* info, int last, void* userdata) {
            auto* result = static_cast<CardAnswer*>(userdata);
            if (info != nullptr && last == 0) {
                if (info->active_profile2 != nullptr && info->active_profile2->name != nullptr) {
                    result->profile = info->active_profile2->name;
                }
                return;
            }
            result->answered = true;
            pa_threaded_mainloop_signal(result->loop, 0);
        };
        waitForOperation(pa_context_get_card_info_by_index(context_, answer.card, cardDescribed, &card), card.answered);
        answer.source.cardProfile = std::move(card.profile);
    }
    return std::move(answer.source);
}

void PulseCaptureEngine::Impl::startCapture(const CaptureSource& source, const CaptureFormat& format,
                                            BlockHandler onBlock)
{
    LoopLock lock(loop_);
    connectIfNeeded();
    dropStream();

    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    const bool representable =
        format.isUsable() && format.sampleRate <= PA_RATE_MAX && format.channelCount <= PA_CHANNELS_MAX;
    if (representable) {
        sampleFormat.rate = static_cast<std::uint32_t>(format.sampleRate + 0.5);
        sampleFormat.channels = static_cast<std::uint8_t>(format.channelCount);
    }
    if (!representable || pa_sample_spec_valid(&sampleFormat) == 0) {
        throw CaptureEngineError("Unsupported audio capture format: " + formatSampleRate(format.sampleRate) + "Hz/" +
                                 std::to_string(format.channelCount) + "ch");
    }
    // The source's own channel layout keeps the server from remixing; any other count gets the default.
    const pa_channel_map* channels = sourceChannels_.channels == sampleFormat.channels ? &sourceChannels_ : nullptr;
    stream_ = pa_stream_new(context_, "Dictation", &sampleFormat, channels);
    if (stream_ == nullptr) {
        fail("Could not create an audio stream", pa_context_errno(context_));
    }
    frameBytes_ = pa_frame_size(&sampleFormat);
    onBlock_ = std::move(onBlock);
    changeReported_ = false;
    followsDefault_ = source.name.empty();
    awaited_ = source.awaited;
    firstBlockLogged_ = false;
    pa_stream_set_state_callback(stream_, &PulseCaptureEngine::Impl::streamStateChanged, this);
    pa_stream_set_read_callback(stream_, &PulseCaptureEngine::Impl::streamReadable, this);
    pa_stream_set_moved_callback(stream_, &PulseCaptureEngine::Impl::streamMoved, this);
    pa_stream_set_suspended_callback(stream_, &PulseCaptureEngine::Impl::streamSuspended, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = std::numeric_limits<std::uint32_t>::max();
    attributes.tlength = std::numeric_limits<std::uint32_t>::max();
    attributes.prebuf = std::numeric_limits<std::uint32_t>::max();
    attributes.minreq = std::numeric_limits<std::uint32_t>::max();
    attributes.fragsize = static_cast<std::uint32_t>(kFragmentFrames * frameBytes_);
    // No device name: the stream goes to the default source, and follows it when the default moves.
    // A named one stays with that source.
    const char* device = source.name.empty() ? nullptr : source.name.c_str();
    if (pa_stream_connect_record(stream_, device, &attributes, PA_STREAM_ADJUST_LATENCY) < 0) {
        const int error = pa_context_errno(context_);
        dropStream();
        fail("The sound server refused the audio stream", error);
    }
    const bool settled = waitUntil([this] {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    if (!settled || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        const int error = settled ? pa_context_errno(context_) : PA_ERR_TIMEOUT;
        dropStream();
        fail("The sound server refused the audio stream", error);
    }
    capturing_ = true;
}

void PulseCaptureEngine::Impl::stopCapture()
{
    LoopLock lock(loop_);
    dropStream();
}

void PulseCaptureEngine::Impl::connectIfNeeded()
{
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        return;
    }
    // A connection that failed (server killed or restarted) cannot be revived; start a new one.
    dropStream();
    dropContext();

    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Korvane");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "korvane");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Korvane", properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) {
        throw CaptureEngineError("Could not create a sound server connection");
    }
    pa_context_set_state_callback(context_, &PulseCaptureEngine::Impl::contextStateChanged, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        const int error = pa_context_errno(context_);
        dropContext();
        fail("Could not connect to the sound server", error);
    }
    const bool settled = waitUntil([this] {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!settled || pa_context_get_state(context_) != PA_CONTEXT_READY) {
        const int error = settled ? pa_context_errno(context_) : PA_ERR_TIMEOUT;
        dropContext();
        fail("Could not connect to the sound server", error);
    }
    // Server events tell when the default source changes, source events when an awaited source
    // appears; the answer to the subscription itself is not needed.
    pa_context_set_subscribe_callback(context_, &PulseCaptureEngine::Impl::serverEvent, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
    if (pa_operation* operation = pa_context_subscribe(context_, mask, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
}

void PulseCaptureEngine::Impl::dropContext()
{
    if (context_ == nullptr) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_set_subscribe_callback(context_, nullptr, nullptr);
    // Disconnecting cancels the operations still pending, so none of their callbacks come later.
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseCaptureEngine::Impl::dropStream()
{
    if (stream_ == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_set_moved_callback(stream_, nullptr, nullptr);
    pa_stream_set_suspended_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
    capturing_ = false;
    onBlock_ = nullptr;
}

bool PulseCaptureEngine::Impl::waitUntil(const std::function<bool()>& done)
{
    if (done()) {
        return true;
    }
    struct Deadline {
        pa_threaded_mainloop* loop;
        bool passed = false;
    } deadline{loop_};
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(timeout_.count()) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    pa_time_event* timer = api->time_new(
        api, &when,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
            auto* reached = static_cast<Deadline*>(userdata);
            reached->passed = true;
            pa_threaded_mainloop_signal(reached->loop, 0);
        },
        &deadline);
    while (!done() && !deadline.passed) {
        pa_threaded_mainloop_wait(loop_);
    }
    api->time_free(timer);
    return done();
}

void PulseCaptureEngine::Impl::waitForOperation(pa_operation* operation, const bool& answered)
{
    if (operation == nullptr) {
        fail("The sound server could not be asked", pa_context_errno(context_));
    }
    const bool settled = waitUntil([&] {
        return answered || pa_operation_get_state(operation) != PA_OPERATION_RUNNING ||
               pa_context_get_state(context_) != PA_CONTEXT_READY;
    });
    if (!answered) {
        // Cancelled here, the callback can no longer reach the caller's answer on its stack.
        pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    if (!settled) {
        fail("The sound server did not answer", PA_ERR_TIMEOUT);
    }
    if (!answered) {
        fail("The sound server did not answer", pa_context_errno(context_));
    }
}

void PulseCaptureEngine::Impl::fail(const std::string& what, int error)
{
    throw CaptureEngineError(what + ": " + pa_strerror(error));
}

void PulseCaptureEngine::Impl::reportChange()
{
    if (!capturing_ || changeReported_) {
        return;
    }
    changeReported_ = true;
    if (onChange_) {
        onChange_();
    }
}

void PulseCaptureEngine::Impl::contextStateChanged(pa_context* context, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    pa_threaded_mainloop_signal(engine->loop_, 0);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        engine->reportChange();  // the server went away, and our stream with it
    }
}

void PulseCaptureEngine::Impl::serverEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index,
                                           void* self)
{
    auto* engine = static_cast<Impl*>(self);
    if (!engine->capturing_ || engine->changeReported_) {
        return;
    }
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
        // A new source may be the one the capture waits for; its name needs one more question.
        if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_NEW && !engine->awaited_.empty()) {
            if (pa_operation* operation = pa_context_get_source_info_by_index(
                    context, index, &PulseCaptureEngine::Impl::newSourceChecked, self)) {
                pa_operation_unref(operation);
            }
        }
        return;
    }
    if (facility != PA_SUBSCRIPTION_EVENT_SERVER || !engine->followsDefault_) {
        return;
    }
    // Any server setting may have changed; only a new default source matters.
    if (pa_operation* operation =
            pa_context_get_server_info(context, &PulseCaptureEngine::Impl::defaultSourceChecked, self)) {
        pa_operation_unref(operation);
    }
}

void PulseCaptureEngine::Impl::defaultSourceChecked(pa_context*, const pa_server_info* info, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    if (info == nullptr || info->default_source_name == nullptr || engine->stream_ == nullptr || !engine->capturing_) {
        return;
    }
    const char* current = pa_stream_get_device_name(engine->stream_);
    if (current != nullptr && std::strcmp(current, info->default_source_name) != 0) {
        engine->reportChange();
    }
}

void PulseCaptureEngine::Impl::newSourceChecked(pa_context*, const pa_source_info* info, int last, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    if (info == nullptr || last != 0 || info->name == nullptr || engine->stream_ == nullptr || !engine->capturing_) {
        return;
    }
    if (!engine->awaited_.empty() && engine->awaited_ == info->name) {
        engine->reportChange();
    }
}

void PulseCaptureEngine::Impl::streamStateChanged(pa_stream* stream, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    pa_threaded_mainloop_signal(engine->loop_, 0);
    if (stream == engine->stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        engine->reportChange();  // killed by the server or by another client
    }
}

void PulseCaptureEngine::Impl::streamReadable(pa_stream* stream, std::size_t, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;  // an error, or nothing buffered (then there is nothing to drop)
        }
        // A null pointer with a size is a hole in the recording: nothing to deliver, only to skip.
        if (data != nullptr && engine->onBlock_) {
            if (!engine->firstBlockLogged_) {
                // Marks when sound first reaches us after a start: with "Recording started" and the
                // shortcut press it shows how long a dictation takes to begin listening.
                engine->firstBlockLogged_ = true;
                Logger::log("First audio block captured: " + std::to_string(bytes / engine->frameBytes_) + " frames");
            }
            try {
                engine->onBlock_(static_cast<const float*>(data), bytes / engine->frameBytes_);
            } catch (...) {
                // The handler must not throw; nothing may unwind into the client library.
            }
        }
        pa_stream_drop(stream);
    }
}

void PulseCaptureEngine::Impl::streamMoved(pa_stream* stream, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    if (stream == engine->stream_) {
        engine->reportChange();
    }
}

void PulseCaptureEngine::Impl::streamSuspended(pa_stream* stream, void* self)
{
    auto* engine = static_cast<Impl*>(self);
    if (stream == engine->stream_ && pa_stream_is_suspended(stream) == 1) {
        engine->reportChange();
    }
}

PulseCaptureEngine::PulseCaptureEngine(std::chrono::milliseconds timeout) : impl_(std::make_unique<Impl>(timeout))
{
}

PulseCaptureEngine::~PulseCaptureEngine() = default;

CaptureFormat PulseCaptureEngine::inputFormat()
{
    return impl_->inputFormat();
}

std::optional<InputSourceDescription> PulseCaptureEngine::describeSource(const std::string& name)
{
    return impl_->describeSource(name);
}

void PulseCaptureEngine::startCapture(const CaptureFormat& format, BlockHandler onBlock)
{
    impl_->startCapture(CaptureSource{}, format, std::move(onBlock));
}

void PulseCaptureEngine::startCaptureFrom(const CaptureSource& source, const CaptureFormat& format,
                                          BlockHandler onBlock)
{
    impl_->startCapture(source, format, std::move(onBlock));
}

void PulseCaptureEngine::stopCapture()
{
    impl_->stopCapture();
}

void PulseCaptureEngine::setConfigurationChangeHandler(std::function<void()> onChange)
{
    impl_->setConfigurationChangeHandler(std::move(onChange));
}

}  // namespace korvane
