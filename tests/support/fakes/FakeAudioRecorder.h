#pragma once

#include "audio/capture/AudioRecording.h"
#include "tests/support/fakes/CallJournal.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// A microphone that records what it was asked and hands back scripted samples. Configure it
// before the code under test runs; the counters may be read at any time. Given a journal, it
// records "recorder: start" and "recorder: stop" there.
class FakeAudioRecorder final : public AudioRecording {
public:
    explicit FakeAudioRecorder(std::shared_ptr<CallJournal> journal = nullptr);

    void start() override;
    std::vector<float> stop() override;
    float currentLevel() const override;
    bool fellBackToDefaultInput() const override;
    void setInputChoice(std::function<std::optional<std::string>()> chosenInput) override;
    void setOnCapReached(std::function<void()> callback) override;
    void setOnCaptureLost(std::function<void()> callback) override;

    // Make the next start() calls throw FakeError(text); nullopt lets them succeed.
    void failStartWith(std::optional<std::string> text);
    // What the next stop() returns (and every later one, until changed).
    void setSamples(std::vector<float> samples);
    void setLevel(float level);
    // What fellBackToDefaultInput() answers from the next start() on.
    void setFallBackToDefaultInput(bool fallsBack);

    // Fire the callbacks the controller installed, as the capture thread's hand-off to main would.
    void reachCap();
    void loseCapture();

    int startCount() const;
    int stopCount() const;
    bool isRecording() const;

private:
    JournalWriter journal_;
    mutable std::mutex mutex_;
    std::optional<std::string> startError_;
    std::vector<float> samples_ = std::vector<float>(1600, 0.25f);
    float level_ = 0.0f;
    bool recording_ = false;
    bool fallsBack_ = false;
    bool fellBack_ = false;
    int startCount_ = 0;
    int stopCount_ = 0;
    std::function<void()> onCapReached_;
    std::function<void()> onCaptureLost_;
    std::function<std::optional<std::string>()> inputChoice_;
};

}  // namespace korvane::testing
