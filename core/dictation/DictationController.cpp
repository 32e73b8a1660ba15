#include "core/dictation/DictationController.h"

#include "base/scheduling/WeakTask.h"
#include "text/Graphemes.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <utility>

namespace korvane {

namespace {

std::string describeCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

// A tolerance for comparing idle times on the clock: a timer due at exactly the limit must unload.
constexpr double kClockSlack = 1e-6;
// The longest single wait of the unload timer. A longer idle limit is reached in several waits, so
// that no event loop is handed a delay its timers cannot hold (Qt's are milliseconds in an int).
constexpr double kLongestUnloadWait = 24 * 60 * 60;

}  // namespace

double steadyClockSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::shared_ptr<DictationController> DictationController::create(std::string modelName,
                                                                 DictationCollaborators collaborators)
{
    if (!collaborators.mainQueue || !collaborators.backgroundQueue || !collaborators.recorder ||
        !collaborators.transcriber || !collaborators.cleaner || !collaborators.focusTracker ||
        !collaborators.accessibility || !collaborators.delivery || !collaborators.log) {
        throw std::invalid_argument("DictationController needs every collaborator");
    }
    auto controller = std::make_shared<DictationController>(PassKey{}, std::move(modelName), std::move(collaborators));
    controller->installRecorderCallbacks();
    return controller;
}

DictationController::DictationController(PassKey, std::string modelName, DictationCollaborators collaborators)
    : world_(std::move(collaborators)), currentModelName_(world_.modelNames.resolve(modelName))
{
}

void DictationController::installRecorderCallbacks()
{
    const std::shared_ptr<DictationController> self = shared_from_this();
    world_.recorder->setOnCapReached(
        weakTask(self, [](DictationController& controller) { controller.handleCapReached(); }));
    world_.recorder->setOnCaptureLost(weakTask(self, [](DictationController& controller) { controller.stop(); }));
}

void DictationController::setOnStatusChange(std::function<void(const DictationStatus&)> callback)
{
    requireMainThread(*world_.mainQueue, "DictationController::setOnStatusChange");
    onStatusChange_ = std::move(callback);
}

// ---- Models ----

bool DictationController::preloadModel(const std::string& requestedName, std::function<void(bool)> completion)
{
    requireMainThread(*world_.mainQueue, "DictationController::preloadModel");
    // The same rule every other place that chooses a model applies. Without it the controller would
    // report an unknown name as ready while the recogniser loaded the default model, and the default
    // model's file would no longer count as in use.
    const std::string name = world_.modelNames.resolve(requestedName);
    if (loadingModelName_) {
        log("Ignoring model load request for " + name + ": already loading " + *loadingModelName_);
        return false;
    }
    loadingModelName_ = name;
    currentModelName_ = name;
    failedModelName_.reset();
    modelLoadFailure_.reset();
    if (!isBusy()) {
        emitStatus(DictationStatus::loading(name));
    }
    world_.backgroundQueue->post(
        weakTask(shared_from_this(), [name, completion = std::move(completion)](DictationController& self) mutable {
            loadInBackground(self.shared_from_this(), std::move(name), std::move(completion));
        }));
    return true;
}

void DictationController::loadInBackground(std::shared_ptr<DictationController> self, std::string name,
                                           std::function<void(bool)> completion)
{
    const std::shared_ptr<MainQueue> mainQueue = self->world_.mainQueue;
    // Progress may arrive on any thread, even after the load returned; it only ever posts, and
    // the posted task holds the controller weakly.
    auto onProgress = [mainQueue, weak = std::weak_ptr<DictationController>(self), name](int percent) {
        mainQueue->post(weakTask(weak, [name, percent](DictationController& controller) {
            controller.applyDownloadProgress(name, percent);
        }));
    };
    ModelLoadResult result;
    try {
        result = self->world_.transcriber->loadModel(name, onProgress);
    } catch (...) {
        // The recogniser reports failures in its result; an exception still must not take down the
        // worker thread or leave the load marked as running for ever.
        const std::string reason = describeCurrentException();
        self->log("Loading model " + name + " failed: " + reason);
        result = ModelLoadResult::failed(ModelLoadFailure::Cause::other, reason);
    }
    mainQueue->post([self = std::move(self), name = std::move(name), result = std::move(result),
                     completion = std::move(completion)] { self->finishModelLoad(name, result, completion); });
}

void DictationController::applyDownloadProgress(const std::string& name, int percent)
{
    requireMainThread(*world_.mainQueue, "DictationController::applyDownloadProgress");
    if (loadingModelName_ != name) {
        return;
    }
    const int shown = std::max(percent, 0);
    if (shown < 100) {
        downloadPercent_ = shown;
    } else {
        downloadPercent_.reset();
    }
    if (!isBusy()) {
        emitStatus(shown < 100 ? DictationStatus::downloading(name, shown) : DictationStatus::loading(name));
    }
}

void DictationController::finishModelLoad(const std::string& name, const ModelLoadResult& result,
                                          const std::function<void(bool)>& completion)
{
    requireMainThread(*world_.mainQueue, "DictationController::finishModelLoad");
    const bool success = static_cast<bool>(result);
    loadingModelName_.reset();
    downloadPercent_.reset();
    if (success) {
        lastReadyModel_ = name;
        modelReleased_ = false;
        if (!isBusy()) {
            state_ = State::modelReady(name);
            emitStatus(DictationStatus::ready(name));
        }
    } else {
        failedModelName_ = name;
        modelLoadFailure_ = result.failure;
        if (!isBusy()) {
            emitStatus(DictationStatus::error("Failed to load " + name + " model"));
        }
    }
    if (waitingRecording_) {
        resumeWaitingRecording(name, success);
    } else if (!isBusy()) {
        beginIdleSpell();
    }
    if (completion) {
        completion(success);
    }
}

bool DictationController::deleteModel(const std::string& name)
{
    requireMainThread(*world_.mainQueue, "DictationController::deleteModel");
    if (name == lastReadyModel_ || name == loadingModelName_) {
        log("Refusing to delete model " + name + ": in use or loading");
        return false;
    }
    try {
        world_.transcriber->deleteModelFile(name);
    } catch (...) {
        log("Deleting model " + name + " failed: " + describeCurrentException());
        return false;
    }
    return true;
}

// ---- Dictation ----

void DictationController::toggle()
{
    world_.mainQueue->post(weakTask(shared_from_this(), [](DictationController& self) { self.handleToggle(); }));
}

void DictationController::handleToggle()
{
    requireMainThread(*world_.mainQueue, "DictationController::toggle");
    switch (state_.kind()) {
    case State::Kind::transcribing:
    case State::Kind::pasting:
        log("Toggle ignored: state=" + toString(state_));
        return;
    case State::Kind::recording:
        stop();
        return;
    case State::Kind::idle:
    case State::Kind::modelReady:
        start();
        return;
    }
}

void DictationController::start()
{
    requireMainThread(*world_.mainQueue, "DictationController::start");
    if (isBusy()) {
        return;
    }
    if (!lastReadyModel_) {
        // Nothing to dictate with yet: say why nothing happens, or get a model coming.
        if (loadingModelName_) {
            emitStatus(downloadPercent_ ? DictationStatus::downloading(*loadingModelName_, *downloadPercent_)
                                        : DictationStatus::loading(*loadingModelName_));
        } else {
            preloadModel(currentModelName_);
        }
        return;
    }

    recordingTargetApp_ = world_.focusTracker->lastBundleId();
    if (recordingTargetApp_) {
        // Recording does not wait for this; the application only needs to be ready by delivery.
        world_.backgroundQueue->post(
            weakTask(shared_from_this(), [bundleId = *recordingTargetApp_](DictationController& self) {
                self.world_.accessibility->enableAccessibility(bundleId);
            }));
    }

    try {
        world_.recorder->start();
    } catch (...) {
        log("Mic error: " + describeCurrentException());
        recordingTargetApp_.reset();
        state_ = restingState();
        emitStatus(DictationStatus::error("Mic error"));
        return;
    }
    ++dictationCount_;
    state_ = State::recording();
    emitStatus(world_.recorder->fellBackToDefaultInput() ? DictationStatus::recordingFromDefaultInput()
                                                         : DictationStatus::recording());
    if (modelReleased_ && !loadingModelName_) {
        // The model was freed while idle: it loads while the user speaks, and the stop waits for it.
        log("Reloading model " + *lastReadyModel_ + " while recording");
        preloadModel(*lastReadyModel_);
    }
}

void DictationController::handleCapReached()
{
    requireMainThread(*world_.mainQueue, "DictationController::onCapReached");
    if (state_.kind() == State::Kind::recording) {
        emitStatus(DictationStatus::recordingLimitReached());
    }
}

void DictationController::stop()
{
    requireMainThread(*world_.mainQueue, "DictationController::stop");
    if (state_.kind() != State::Kind::recording) {
        return;
    }
    state_ = State::transcribing();
    inStopTail_ = true;
    emitStatus(DictationStatus::transcribing());
    world_.mainQueue->postAfter(kStopTail,
                                weakTask(shared_from_this(), [dictation = dictationCount_](DictationController& self) {
                                    self.finishRecording(dictation);
                                }));
}

void DictationController::cancel()
{
    requireMainThread(*world_.mainQueue, "DictationController::cancel");
    switch (state_.kind()) {
    case State::Kind::idle:
    case State::Kind::modelReady:
        return;
    case State::Kind::pasting:
        // The transcript may already be on the clipboard or on its way into the application;
        // calling it back half-way would leave the user's clipboard in an unknown state.
        log("Cancel ignored: state=" + toString(state_));
        return;
    case State::Kind::recording:
    case State::Kind::transcribing:
        break;
    }
    log("Dictation cancelled while " + toString(state_));
    if (state_.kind() == State::Kind::recording || inStopTail_) {
        inStopTail_ = false;
        world_.recorder->stop();  // the audio is dropped unheard
    }
    // A transcription under way runs to its end on the background queue; its result finds the
    // dictation gone and is dropped (awaitsTranscript).
    recordingTargetApp_.reset();
    waitingRecording_.reset();
    finish(DictationStatus::cancelled());
}

bool DictationController::awaitsTranscript(std::uint64_t dictation) const
{
    return dictation == dictationCount_ && state_.kind() == State::Kind::transcribing;
}

void DictationController::finishRecording(std::uint64_t dictation)
{
    requireMainThread(*world_.mainQueue, "DictationController::finishRecording");
    if (!awaitsTranscript(dictation)) {
        return;  // cancelled during the tail, which already stopped the recorder
    }
    inStopTail_ = false;
    std::vector<float> samples = world_.recorder->stop();
    std::optional<std::string> target = std::exchange(recordingTargetApp_, std::nullopt);
    if (samples.empty()) {
        finish(DictationStatus::error("No audio"));
        return;
    }
    if (modelReleased_) {
        if (loadingModelName_) {
            log("Waiting for model " + *loadingModelName_ + " to load before transcribing");
            waitingRecording_ = WaitingRecording{std::move(samples), std::move(target)};
            return;
        }
        // The reload started with this dictation has already failed.
        finish(DictationStatus::error("Failed to load " + failedModelName_.value_or(*lastReadyModel_) + " model"));
        return;
    }
    beginTranscription(std::move(samples), std::move(target));
}

void DictationController::resumeWaitingRecording(const std::string& name, bool loaded)
{
    WaitingRecording waiting = std::move(*waitingRecording_);
    waitingRecording_.reset();
    if (state_.kind() != State::Kind::transcribing) {
        return;
    }
    if (!loaded) {
        finish(DictationStatus::error("Failed to load " + name + " model"));
        return;
    }
    beginTranscription(std::move(waiting.samples), std::move(waiting.targetApp));
}

void DictationController::beginTranscription(std::vector<float> samples, std::optional<std::string> target)
{
    log("Target app: " + target.value_or("nil"));
    world_.backgroundQueue->post(
        weakTask(shared_from_this(), [dictation = dictationCount_, samples = std::move(samples),
                                      target = std::move(target)](DictationController& self) mutable {
            transcribeInBackground(self.shared_from_this(), dictation, std::move(samples), std::move(target));
        }));
}

void DictationController::transcribeInBackground(std::shared_ptr<DictationController> self, std::uint64_t dictation,
                                                 std::vector<float> samples, std::optional<std::string> targetApp)
{
    const std::shared_ptr<MainQueue> mainQueue = self->world_.mainQueue;
    std::string cleaned;
    try {
        const std::string raw = self->world_.transcriber->transcribe(samples);
        // The vocabulary is read afresh by the cleaner, so edits apply to the next dictation.
        cleaned = self->world_.cleaner->clean(raw);
    } catch (...) {
        self->log("Transcription error: " + describeCurrentException());
        mainQueue->post([self = std::move(self), dictation] {
            self->transcriptionEnded(dictation, DictationStatus::error("Transcription error"));
        });
        return;
    }
    samples = {};  // up to ten minutes of audio; no reason to keep it until the task is destroyed

    if (cleaned.empty()) {
        mainQueue->post(
            [self = std::move(self), dictation] { self->transcriptionEnded(dictation, DictationStatus::noSpeech()); });
        return;
    }
    self->log("Transcribed " + std::to_string(graphemeCount(cleaned)) + " characters");
    mainQueue->post(
        [self = std::move(self), dictation, cleaned = std::move(cleaned), targetApp = std::move(targetApp)]() mutable {
            self->transcriptReady(dictation, std::move(cleaned), std::move(targetApp));
        });
}

void DictationController::transcriptionEnded(std::uint64_t dictation, const DictationStatus& message)
{
    requireMainThread(*world_.mainQueue, "DictationController::transcriptionEnded");
    if (awaitsTranscript(dictation)) {
        finish(message);
    }
}

void DictationController::transcriptReady(std::uint64_t dictation, std::string text,
                                          std::optional<std::string> targetApp)
{
    requireMainThread(*world_.mainQueue, "DictationController::transcriptReady");
    if (dictation != dictationCount_) {
        log("Transcript of a cancelled dictation dropped");
        return;
    }
    if (state_.kind() != State::Kind::transcribing) {
        log("Paste skipped: state changed to " + toString(state_));
        return;
    }
    lastTranscript_ = text;
    state_ = State::pasting();
    deliver(text, targetApp);
}

void DictationController::deliver(const std::string& text, const std::optional<std::string>& targetApp)
{
    requireMainThread(*world_.mainQueue, "DictationController::deliver");
    const std::uint64_t delivery = ++deliveryCount_;
    try {
        world_.delivery->deliver(
            text, targetApp,
            weakCallback(shared_from_this(), [delivery, targetApp](DictationController& self, DeliveryOutcome outcome) {
                self.deliveryFinished(delivery, targetApp, outcome);
            }));
    } catch (...) {
        // Delivery promises exactly one outcome; if it fails before giving one, end the dictation
        // here instead of staying in pasting, where no further dictation could ever start.
        if (state_.kind() == State::Kind::pasting && delivery == deliveryCount_) {
            log("Transcript could not be delivered: " + describeCurrentException());
            finish(DictationStatus::notDelivered(DeliveryFallbackReason::eventCreationFailed));
        }
    }
}

void DictationController::deliveryFinished(std::uint64_t delivery, const std::optional<std::string>& targetApp,
                                           const DeliveryOutcome& outcome)
{
    requireMainThread(*world_.mainQueue, "DictationController::deliveryFinished");
    // An outcome of an earlier delivery (reported twice, or after this one) must not end the
    // dictation that is being delivered now.
    if (state_.kind() != State::Kind::pasting || delivery != deliveryCount_) {
        log("Delivery finished after state moved to " + toString(state_));
        return;
    }
    switch (outcome.kind) {
    case DeliveryOutcome::Kind::pasteSent:
        log("Paste sent to " + targetApp.value_or("unknown") + ": " + std::to_string(outcome.characters) + " chars");
        finish(DictationStatus::pasteSent(outcome.characters));
        return;
    case DeliveryOutcome::Kind::copiedToClipboard:
        log("Transcript left on clipboard (" + std::string(caseName(outcome.reason)) +
            "): " + std::to_string(outcome.characters) + " chars");
        finish(DictationStatus::copiedToClipboard(outcome.reason));
        return;
    case DeliveryOutcome::Kind::notDelivered:
        log("Transcript could not be delivered (" + std::string(caseName(outcome.reason)) + ")");
        finish(DictationStatus::notDelivered(outcome.reason));
        return;
    }
}

void DictationController::finish(const DictationStatus& message)
{
    requireMainThread(*world_.mainQueue, "DictationController::finish");
    state_ = restingState();
    emitStatus(message);
    beginIdleSpell();
}

// ---- Idle unload ----

std::optional<std::int64_t> DictationController::unloadMinutes() const
{
    if (!world_.unloadModelAfterMinutes) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> minutes = world_.unloadModelAfterMinutes();
    if (minutes && *minutes > 0) {
        return minutes;
    }
    return std::nullopt;
}

void DictationController::beginIdleSpell()
{
    if (!lastReadyModel_ || modelReleased_) {
        return;
    }
    const std::optional<std::int64_t> minutes = unloadMinutes();
    if (!minutes) {
        return;
    }
    idleSince_ = world_.clock();
    // One timer at most: a pending one measures from the new start when it fires.
    if (!unloadTimerPending_) {
        armUnloadTimer(static_cast<double>(*minutes) * 60.0);
    }
}

void DictationController::armUnloadTimer(double seconds)
{
    unloadTimerPending_ = true;
    world_.mainQueue->postAfter(
        std::min(seconds, kLongestUnloadWait),
        weakTask(shared_from_this(), [](DictationController& self) { self.unloadTimerFired(); }));
}

void DictationController::unloadTimerFired()
{
    requireMainThread(*world_.mainQueue, "DictationController::unloadTimerFired");
    unloadTimerPending_ = false;
    const std::optional<std::int64_t> minutes = unloadMinutes();
    // A dictation or a load under way ends with a new idle spell, which arms the timer again.
    if (!minutes || isBusy() || loadingModelName_ || !lastReadyModel_ || modelReleased_) {
        return;
    }
    const double limit = static_cast<double>(*minutes) * 60.0;
    const double idle = world_.clock() - idleSince_;
    if (idle + kClockSlack < limit) {
        armUnloadTimer(limit - idle);
        return;
    }
    try {
        world_.transcriber->releaseModel();
    } catch (...) {
        log("Unloading model " + *lastReadyModel_ + " failed: " + describeCurrentException());
        return;
    }
    modelReleased_ = true;
    log("Model " + *lastReadyModel_ + " unloaded after " + std::to_string(*minutes) + " idle minutes");
}

// ---- Helpers and reads ----

DictationController::State DictationController::restingState() const
{
    return lastReadyModel_ ? State::modelReady(*lastReadyModel_) : State::idle();
}

void DictationController::emitStatus(const DictationStatus& status)
{
    // A copy, so a handler that replaces the callback does not destroy the one running.
    if (auto callback = onStatusChange_) {
        callback(status);
    }
}

void DictationController::log(const std::string& line) const
{
    world_.log(line);
}

const DictationController::State& DictationController::state() const
{
    requireMainThread(*world_.mainQueue, "DictationController::state");
    return state_;
}

bool DictationController::isBusy() const
{
    requireMainThread(*world_.mainQueue, "DictationController::isBusy");
    return state_.isBusy();
}

const std::optional<std::string>& DictationController::loadingModelName() const
{
    requireMainThread(*world_.mainQueue, "DictationController::loadingModelName");
    return loadingModelName_;
}

std::optional<int> DictationController::downloadPercent() const
{
    requireMainThread(*world_.mainQueue, "DictationController::downloadPercent");
    return downloadPercent_;
}

const std::optional<std::string>& DictationController::failedModelName() const
{
    requireMainThread(*world_.mainQueue, "DictationController::failedModelName");
    return failedModelName_;
}

const std::optional<ModelLoadFailure>& DictationController::modelLoadFailure() const
{
    requireMainThread(*world_.mainQueue, "DictationController::modelLoadFailure");
    return modelLoadFailure_;
}

const std::string& DictationController::currentModelName() const
{
    requireMainThread(*world_.mainQueue, "DictationController::currentModelName");
    return currentModelName_;
}

const std::optional<std::string>& DictationController::lastReadyModel() const
{
    requireMainThread(*world_.mainQueue, "DictationController::lastReadyModel");
    return lastReadyModel_;
}

const std::optional<std::string>& DictationController::lastTranscript() const
{
    requireMainThread(*world_.mainQueue, "DictationController::lastTranscript");
    return lastTranscript_;
}

float DictationController::currentLevel() const
{
    return world_.recorder->currentLevel();
}

}  // namespace korvane
