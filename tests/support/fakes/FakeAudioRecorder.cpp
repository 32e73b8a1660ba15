#include "tests/support/fakes/FakeAudioRecorder.h"

#include "tests/support/fakes/FakeError.h"

#include <utility>

namespace korvane::testing {

FakeAudioRecorder::FakeAudioRecorder(std::shared_ptr<CallJournal> journal) : journal_("recorder", std::move(journal))
{
}

void FakeAudioRecorder::start()
{
    std::lock_guard lock(mutex_);
    journal_("start");
    ++startCount_;
    if (startError_) {
        throw FakeError(*startError_);
    }
    recording_ = true;
    fellBack_ = fallsBack_;
}

std::vector<float> FakeAudioRecorder::stop()
{
    std::lock_guard lock(mutex_);
    journal_("stop");
    ++stopCount_;
    recording_ = false;
    return samples_;
}

float FakeAudioRecorder::currentLevel() const
{
    std::lock_guard lock(mutex_);
    return level_;
}

bool FakeAudioRecorder::fellBackToDefaultInput() const
{
    std::lock_guard lock(mutex_);
    return fellBack_;
}

void FakeAudioRecorder::setInputChoice(std::function<std::optional<std::string>()> chosenInput)
{
    std::lock_guard lock(mutex_);
    inputChoice_ = std::move(chosenInput);
}

void FakeAudioRecorder::setFallBackToDefaultInput(bool fallsBack)
{
    std::lock_guard lock(mutex_);
    fallsBack_ = fallsBack;
}

void FakeAudioRecorder::setOnCapReached(std::function<void()> callback)
{
    std::lock_guard lock(mutex_);
    onCapReached_ = std::move(callback);
}

void FakeAudioRecorder::setOnCaptureLost(std::function<void()> callback)
{
    std::lock_guard lock(mutex_);
    onCaptureLost_ = std::move(callback);
}

void FakeAudioRecorder::failStartWith(std::optional<std::string> text)
{
    std::lock_guard lock(mutex_);
    startError_ = std::move(text);
}

void FakeAudioRecorder::setSamples(std::vector<float> samples)
{
    std::lock_guard lock(mutex_);
    samples_ = std::move(samples);
}

void FakeAudioRecorder::setLevel(float level)
{
    std::lock_guard lock(mutex_);
    level_ = level;
}

void FakeAudioRecorder::reachCap()
{
    std::function<void()> callback;
    {
        std::lock_guard lock(mutex_);
        callback = onCapReached_;
    }
    if (callback) {
        callback();
    }
}

void FakeAudioRecorder::loseCapture()
{
    std::function<void()> callback;
    {
        std::lock_guard lock(mutex_);
        callback = onCaptureLost_;
    }
    if (callback) {
        callback();
    }
}

int FakeAudioRecorder::startCount() const
{
    std::lock_guard lock(mutex_);
    return startCount_;
}

int FakeAudioRecorder::stopCount() const
{
    std::lock_guard lock(mutex_);
    return stopCount_;
}

bool FakeAudioRecorder::isRecording() const
{
    std::lock_guard lock(mutex_);
    return recording_;
}

}  // namespace korvane::testing
