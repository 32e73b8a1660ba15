#include "tests/support/fakes/FakeSpeechTranscriber.h"

#include "tests/support/fakes/FakeError.h"

#include <utility>

namespace korvane::testing {

FakeSpeechTranscriber::FakeSpeechTranscriber(std::shared_ptr<CallJournal> journal)
    : journal_("transcriber", std::move(journal))
{
}

ModelLoadResult FakeSpeechTranscriber::loadModel(const std::string& name,
                                                 std::function<void(int percent)> onDownloadProgress)
{
    LoadBehaviour behaviour;
    std::vector<int> progress;
    bool result = false;
    ModelLoadFailure failure;
    {
        std::lock_guard lock(mutex_);
        journal_("loadModel " + name);
        loadRequests_.push_back(name);
        behaviour = loadBehaviour_;
        progress = loadProgress_;
        result = loadResult_;
        failure = loadFailure_;
    }
    // Outside the lock: the script may call back into the code under test.
    if (behaviour) {
        result = behaviour(name, onDownloadProgress);
    } else {
        for (int percent : progress) {
            onDownloadProgress(percent);
        }
    }
    if (!result) {
        return {failure};
    }
    std::lock_guard lock(mutex_);
    released_ = false;
    return ModelLoadResult::loaded();
}

std::string FakeSpeechTranscriber::transcribe(const std::vector<float>& audio)
{
    std::lock_guard lock(mutex_);
    journal_("transcribe " + std::to_string(audio.size()) + " samples");
    transcribedSampleCounts_.push_back(audio.size());
    // A transcription between a release and the next successful load has no model, as in the real one.
    if (released_) {
        throw FakeError("model released");
    }
    if (transcriptionError_) {
        throw FakeError(*transcriptionError_);
    }
    return transcript_;
}

void FakeSpeechTranscriber::unload()
{
    std::lock_guard lock(mutex_);
    journal_("unload");
    unloaded_ = true;
}

void FakeSpeechTranscriber::releaseModel()
{
    std::lock_guard lock(mutex_);
    journal_("releaseModel");
    ++releases_;
    released_ = true;
}

void FakeSpeechTranscriber::deleteModelFile(const std::string& name)
{
    std::lock_guard lock(mutex_);
    journal_("deleteModelFile " + name);
    if (deletionError_) {
        throw FakeError(*deletionError_);
    }
    deletedModels_.push_back(name);
}

void FakeSpeechTranscriber::setLoadFailure(ModelLoadFailure failure)
{
    std::lock_guard lock(mutex_);
    loadResult_ = false;
    loadFailure_ = std::move(failure);
}

void FakeSpeechTranscriber::setLoadResult(bool success)
{
    std::lock_guard lock(mutex_);
    loadResult_ = success;
}

void FakeSpeechTranscriber::setLoadProgress(std::vector<int> percents)
{
    std::lock_guard lock(mutex_);
    loadProgress_ = std::move(percents);
}

void FakeSpeechTranscriber::setLoadBehaviour(LoadBehaviour behaviour)
{
    std::lock_guard lock(mutex_);
    loadBehaviour_ = std::move(behaviour);
}

void FakeSpeechTranscriber::setTranscript(std::string raw)
{
    std::lock_guard lock(mutex_);
    transcript_ = std::move(raw);
}

void FakeSpeechTranscriber::failTranscriptionWith(std::optional<std::string> text)
{
    std::lock_guard lock(mutex_);
    transcriptionError_ = std::move(text);
}

void FakeSpeechTranscriber::failDeletionWith(std::optional<std::string> text)
{
    std::lock_guard lock(mutex_);
    deletionError_ = std::move(text);
}

std::vector<std::string> FakeSpeechTranscriber::loadRequests() const
{
    std::lock_guard lock(mutex_);
    return loadRequests_;
}

std::vector<std::size_t> FakeSpeechTranscriber::transcribedSampleCounts() const
{
    std::lock_guard lock(mutex_);
    return transcribedSampleCounts_;
}

std::vector<std::string> FakeSpeechTranscriber::deletedModels() const
{
    std::lock_guard lock(mutex_);
    return deletedModels_;
}

bool FakeSpeechTranscriber::wasUnloaded() const
{
    std::lock_guard lock(mutex_);
    return unloaded_;
}

int FakeSpeechTranscriber::releaseCount() const
{
    std::lock_guard lock(mutex_);
    return releases_;
}

}  // namespace korvane::testing
