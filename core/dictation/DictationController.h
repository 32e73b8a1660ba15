#pragma once

#include "audio/capture/AudioRecording.h"
#include "base/logging/LogSink.h"
#include "base/scheduling/BackgroundQueue.h"
#include "base/scheduling/MainQueue.h"
#include "core/dictation/DictationState.h"
#include "core/dictation/DictationStatus.h"
#include "delivery/DeliveryOutcome.h"
#include "delivery/TranscriptDelivering.h"
#include "delivery/focus/FocusTracking.h"
#include "text/TranscriptCleaning.h"
#include "transcription/SpeechTranscribing.h"
#include "transcription/models/ModelNameRule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Seconds since an arbitrary fixed point of the system's steady clock.
double steadyClockSeconds();

// Everything the dictation controller reaches the world through. All pointers are required.
struct DictationCollaborators {
    std::shared_ptr<MainQueue> mainQueue;
    std::shared_ptr<BackgroundQueue> backgroundQueue;
    std::shared_ptr<AudioRecording> recorder;
    std::shared_ptr<SpeechTranscribing> transcriber;
    std::shared_ptr<TranscriptCleaning> cleaner;
    std::shared_ptr<FocusTracking> focusTracker;
    std::shared_ptr<AccessibilityPreparing> accessibility;
    std::shared_ptr<TranscriptDelivering> delivery;
    // Where log lines go. Called from the main and background threads.
    LogSink log = defaultLogSink();
    // The models on offer; an unknown name means the rule's default.
    ModelNameRule modelNames;
    // Minutes of idleness after which the loaded model is freed ("unloadModelAfterMinutes"), asked
    // whenever an idle spell begins and when the unload timer fires. Nothing, or no function, keeps
    // the model loaded and leaves every rule of dictation as it was.
    std::function<std::optional<std::int64_t>()> unloadModelAfterMinutes;
    // Seconds on a steady clock, for measuring idle spells (tests give the virtual queue's time).
    std::function<double()> clock = steadyClockSeconds;
};

// The dictation state machine: loads and deletes speech models, records, transcribes and hands
// the cleaned transcript to delivery, and reports every change the user should see as one
// DictationStatus.
//
// All state lives on the main thread; every operation except toggle() aborts the process when
// called elsewhere. Slow work (model loads, transcription, accessibility preparation) runs on the
// background queue. Deferred tasks posted from the main thread hold the controller weakly and do
// nothing once it is gone; results coming back from background work hold it strongly, so the
// controller is only ever destroyed on the main thread.
class DictationController : public std::enable_shared_from_this<DictationController> {
public:
    using State = DictationState;

    // Seconds the recording goes on after a stop request, so the last syllable is not clipped.
    static constexpr double kStopTail = 0.15;
    // Delays before pasting, for building transcript delivery: target already in front, target
    // had to be activated, no target known.
    static constexpr double kFrontmostPasteDelay = 0.05;
    static constexpr double kActivationDelay = 0.4;
    static constexpr double kFallbackPasteDelay = 0.5;

    // `modelName` is the model to load first; a name that is not one of the known models is
    // replaced by the default. Throws std::invalid_argument when a collaborator is missing.
    static std::shared_ptr<DictationController> create(std::string modelName, DictationCollaborators collaborators);

    DictationController(const DictationController&) = delete;
    DictationController& operator=(const DictationController&) = delete;
    ~DictationController() = default;

    // Set once by the shell right after creation. Always called on the main thread.
    void setOnStatusChange(std::function<void(const DictationStatus&)> callback);

    // Starts loading `name` on the background queue; true when a load was started. `completion`
    // runs on the main thread with the load's success, unless the request was refused (a load is
    // already running) or the controller was released meanwhile.
    bool preloadModel(const std::string& name, std::function<void(bool success)> completion = {});

    // Deletes a downloaded model file; refuses the loaded model and the one being loaded.
    bool deleteModel(const std::string& name);

    // Any thread: stop when recording, start when not dictating, otherwise ignore.
    void toggle();

    // Starts a dictation when a model is ready; otherwise shows why nothing happens.
    void start();

    // Ends the recording phase; the recorder runs on for kStopTail seconds.
    void stop();

    // Calls off a recording or transcribing dictation: the audio and any transcript that is still
    // to come are dropped, nothing is delivered, and the status is `cancelled`. Ignored (and
    // logged) once the transcript is with delivery; does nothing when no dictation runs.
    void cancel();

    // Main-thread reads.
    const State& state() const;
    bool isBusy() const;
    const std::optional<std::string>& loadingModelName() const;
    std::optional<int> downloadPercent() const;
    const std::optional<std::string>& failedModelName() const;
    // Why the load of failedModelName() failed; absent exactly when that is.
    const std::optional<ModelLoadFailure>& modelLoadFailure() const;
    const std::string& currentModelName() const;
    const std::optional<std::string>& lastReadyModel() const;
    const std::optional<std::string>& lastTranscript() const;

    // The live input level, 0 to 1, for the indicator's meter. Any thread.
    float currentLevel() const;

private:
    struct PassKey {};

public:
    DictationController(PassKey, std::string modelName, DictationCollaborators collaborators);

private:
    void installRecorderCallbacks();

    void applyDownloadProgress(const std::string& name, int percent);
    void finishModelLoad(const std::string& name, const ModelLoadResult& result,
                         const std::function<void(bool)>& completion);

    void handleToggle();
    void handleCapReached();

    void finishRecording(std::uint64_t dictation);
    void beginTranscription(std::vector<float> samples, std::optional<std::string> targetApp);
    // Whether a result of dictation number `dictation` is still awaited: it is the latest one and
    // has been neither cancelled nor followed by another.
    bool awaitsTranscript(std::uint64_t dictation) const;
    void resumeWaitingRecording(const std::string& name, bool loaded);

    // Idle unload: the one timer measures the idle spell that begins when a dictation or a load
    // ends; activity in between only moves the spell's start, the timer re-arms itself for the rest.
    std::optional<std::int64_t> unloadMinutes() const;
    void beginIdleSpell();
    void armUnloadTimer(double seconds);
    void unloadTimerFired();
    void transcriptReady(std::uint64_t dictation, std::string text, std::optional<std::string> targetApp);
    void transcriptionEnded(std::uint64_t dictation, const DictationStatus& message);
    void deliver(const std::string& text, const std::optional<std::string>& targetApp);
    void deliveryFinished(std::uint64_t delivery, const std::optional<std::string>& targetApp,
                          const DeliveryOutcome& outcome);
    void finish(const DictationStatus& message);

    State restingState() const;
    void emitStatus(const DictationStatus& status);
    void log(const std::string& line) const;

    // Background work: each holds the controller only for as long as it runs and hands that
    // reference to the continuation it posts to the main queue.
    static void loadInBackground(std::shared_ptr<DictationController> self, std::string name,
                                 std::function<void(bool)> completion);
    static void transcribeInBackground(std::shared_ptr<DictationController> self, std::uint64_t dictation,
                                       std::vector<float> samples, std::optional<std::string> targetApp);

    const DictationCollaborators world_;

    State state_ = State::idle();
    std::optional<std::string> loadingModelName_;
    std::optional<int> downloadPercent_;
    std::optional<std::string> failedModelName_;
    std::optional<ModelLoadFailure> modelLoadFailure_;
    std::string currentModelName_;
    std::optional<std::string> recordingTargetApp_;
    std::optional<std::string> lastReadyModel_;
    std::optional<std::string> lastTranscript_;
    std::uint64_t deliveryCount_ = 0;  // tells a stale delivery outcome from the current one
    // Numbers each recording, so that the stop tail and the transcription of a cancelled
    // dictation find, when they come back, that they belong to no dictation any more.
    std::uint64_t dictationCount_ = 0;
    bool inStopTail_ = false;  // the recorder runs on after a stop request

    // A recording that waits for the model's reload before it can be transcribed.
    struct WaitingRecording {
        std::vector<float> samples;
        std::optional<std::string> targetApp;
    };
    bool modelReleased_ = false;  // freed after idling; the next dictation loads it while recording
    bool unloadTimerPending_ = false;
    double idleSince_ = 0;
    std::optional<WaitingRecording> waitingRecording_;
    std::function<void(const DictationStatus&)> onStatusChange_;
};

}  // namespace korvane
