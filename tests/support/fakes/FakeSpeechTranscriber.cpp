#include "tests/support/fakes/FakeSpeechTranscriber.h"

#include "tests/support/fakes/FakeError.h"

#include <utility>

namespace korvane::testing {

bool FakeSpeechTranscriber::loadModel(const std::string& name, std::function<void(int percent)> onDownloadProgress)
{
    LoadBehaviour behaviour;
    std::vector<int> progress;
    bool result = false;
    {
        std::lock_guard lock(mutex_);
        loadRequests_.push_back(name);
        behaviour = loadBehaviour_;
        progress = loadProgress_;
        result = loadResult_;
    }
    // Outside the lock: the script may call back into the code under test.
    if (behaviour) {
        return behaviour(name, onDownloadProgress);
    }
    for (int percent : progress) {
        onDownloadProgress(percent);
    }
    return result;
}

std::string FakeSpeechTranscriber::transcribe(const std::vector<float>& audio)
{
    std::lock_guard lock(mutex_);
    transcribedSampleCounts_.push_back(audio.size());
    if (transcriptionError_) {
        throw FakeError(*transcriptionError_);
    }
    return transcript_;
}

void FakeSpeechTranscriber::unload()
{
    std::lock_guard lock(mutex_);
    unloaded_ = true;
}

void FakeSpeechTranscriber::deleteModelFile(const std::string& name)
{
    std::lock_guard lock(mutex_);
    if (deletionError_) {
        throw FakeError(*deletionError_);
    }
    deletedModels_.push_back(name);
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

}  // namespace korvane::testing
