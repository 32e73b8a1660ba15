#pragma once

#include "transcription/whisper/PromptSettings.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// Prompt settings a test edits directly. `onRead` runs on every vocabulary read: the transcriber
// reads it while it holds its lock, which lets a concurrency test act at that exact moment.
class FakePromptSettings final : public PromptSettings {
public:
    void setTerms(const std::vector<std::string>& terms)
    {
        std::vector<VocabularyEntry> entries;
        for (const auto& term : terms) {
            entries.push_back(VocabularyEntry{term, {"heard " + term}});
        }
        const std::lock_guard lock(mutex_);
        vocabulary_ = Vocabulary(entries);
    }

    void setLegacyPrompt(std::optional<std::string> value)
    {
        const std::lock_guard lock(mutex_);
        legacy_ = std::move(value);
    }

    void setAdaptiveEncoderWindow(bool on)
    {
        const std::lock_guard lock(mutex_);
        adaptiveEncoderWindow_ = on;
    }

    void setOnRead(std::function<void()> onRead)
    {
        const std::lock_guard lock(mutex_);
        onRead_ = std::move(onRead);
    }

    Vocabulary vocabulary() const override
    {
        std::function<void()> hook;
        Vocabulary copy;
        {
            const std::lock_guard lock(mutex_);
            hook = onRead_;
            copy = vocabulary_;
        }
        if (hook) {
            hook();
        }
        return copy;
    }

    std::optional<std::string> legacyVocabularyPrompt() const override
    {
        const std::lock_guard lock(mutex_);
        return legacy_;
    }

    bool adaptiveEncoderWindow() const override
    {
        const std::lock_guard lock(mutex_);
        return adaptiveEncoderWindow_;
    }

private:
    mutable std::mutex mutex_;
    Vocabulary vocabulary_;
    std::optional<std::string> legacy_;
    bool adaptiveEncoderWindow_ = false;
    std::function<void()> onRead_;
};

}  // namespace korvane::testing
