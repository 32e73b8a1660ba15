#pragma once

#include "base/scheduling/VirtualMainQueue.h"
#include "core/dictation/DictationController.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/fakes/FakeAudioRecorder.h"
#include "tests/support/fakes/FakeFocusTracker.h"
#include "tests/support/fakes/FakeSpeechTranscriber.h"
#include "tests/support/fakes/FakeTranscriptCleaner.h"
#include "tests/support/fakes/FakeTranscriptDelivery.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace korvane {

// Lets GoogleTest print statuses and states in failure messages.
inline void PrintTo(const DictationStatus& status, std::ostream* out)
{
    *out << toString(status);
}

inline void PrintTo(const DictationState& state, std::ostream* out)
{
    *out << toString(state);
}

namespace testing {

// A dictation controller on virtual time, wired to recording fakes, with every status it emits
// collected in order.
class ControllerHarness {
public:
    explicit ControllerHarness(const std::string& modelName = "small", ModelNameRule modelNames = {});

    // Runs queued background work and due main-queue tasks until neither has anything left to do
    // now. Virtual time does not move.
    void settle();

    // Loads the initial model to ready and forgets what that logged and emitted.
    void loadInitialModel();

    // Runs the stop tail out and lets the transcription come back to the main thread.
    void finishStopTail();

    // Statuses emitted since the last call.
    std::vector<DictationStatus> takeStatuses();

    DictationController& dictation() { return *controller; }

    std::shared_ptr<VirtualMainQueue> mainQueue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ManualBackgroundQueue> backgroundQueue = std::make_shared<ManualBackgroundQueue>();
    std::shared_ptr<FakeAudioRecorder> recorder = std::make_shared<FakeAudioRecorder>();
    std::shared_ptr<FakeSpeechTranscriber> transcriber = std::make_shared<FakeSpeechTranscriber>();
    std::shared_ptr<FakeTranscriptCleaner> cleaner = std::make_shared<FakeTranscriptCleaner>();
    std::shared_ptr<FakeFocusTracker> focusTracker = std::make_shared<FakeFocusTracker>();
    std::shared_ptr<FakeAccessibilityPreparer> accessibility = std::make_shared<FakeAccessibilityPreparer>();
    std::shared_ptr<FakeTranscriptDelivery> delivery = std::make_shared<FakeTranscriptDelivery>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
    std::shared_ptr<std::vector<DictationStatus>> statuses = std::make_shared<std::vector<DictationStatus>>();
    // What the controller reads as "unloadModelAfterMinutes"; absent unless a test sets it.
    std::shared_ptr<std::optional<std::int64_t>> unloadMinutes = std::make_shared<std::optional<std::int64_t>>();
    std::shared_ptr<DictationController> controller;
};

}  // namespace testing
}  // namespace korvane
