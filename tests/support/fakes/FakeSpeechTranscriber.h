#pragma once

#include "tests/support/fakes/CallJournal.h"
#include "transcription/SpeechTranscribing.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A recogniser that records what it was asked and answers from a script.
//
// A load reports the scripted progress values, then returns the scripted result. A test that
// needs to act while a load is still under way installs a load behaviour instead; it runs inside
// loadModel() with the controller's progress callback. Given a journal, it records each call there
// as "transcriber: loadModel small", "transcriber: transcribe 1600 samples" and so on. After
// releaseModel(), transcribe() throws until a load succeeds.
class FakeSpeechTranscriber final : public SpeechTranscribing {
public:
    using ProgressCallback = std::function<void(int)>;
    using LoadBehaviour = std::function<bool(const std::string& name, const ProgressCallback& progress)>;

    explicit FakeSpeechTranscriber(std::shared_ptr<CallJournal> journal = nullptr);

    ModelLoadResult loadModel(const std::string& name, std::function<void(int percent)> onDownloadProgress) override;
    std::string transcribe(const std::vector<float>& audio) override;
    void unload() override;
    void releaseModel() override;
    void deleteModelFile(const std::string& name) override;

    void setLoadResult(bool success);
    // Makes loads fail with `failure` (without it a failed load gives a cause `other`).
    void setLoadFailure(ModelLoadFailure failure);
    void setLoadProgress(std::vector<int> percents);
    void setLoadBehaviour(LoadBehaviour behaviour);
    void setTranscript(std::string raw);
    // Make transcribe() (or deleteModelFile()) throw FakeError(text); nullopt lets it succeed.
    void failTranscriptionWith(std::optional<std::string> text);
    void failDeletionWith(std::optional<std::string> text);

    std::vector<std::string> loadRequests() const;
    std::vector<std::size_t> transcribedSampleCounts() const;
    std::vector<std::string> deletedModels() const;
    bool wasUnloaded() const;
    int releaseCount() const;

private:
    JournalWriter journal_;
    mutable std::mutex mutex_;
    bool loadResult_ = true;
    ModelLoadFailure loadFailure_{ModelLoadFailure::Cause::other, "scripted load failure"};
    std::vector<int> loadProgress_;
    LoadBehaviour loadBehaviour_;
    std::string transcript_ = "hello world";
    std::optional<std::string> transcriptionError_;
    std::optional<std::string> deletionError_;
    std::vector<std::string> loadRequests_;
    std::vector<std::size_t> transcribedSampleCounts_;
    std::vector<std::string> deletedModels_;
    bool unloaded_ = false;
    int releases_ = 0;
    bool released_ = false;  // released and not loaded since
};

}  // namespace korvane::testing
