#pragma once

#include "delivery/DeliveryOutcome.h"

#include <cstddef>
#include <string>
#include <utility>

namespace korvane {

// One change the user should see, reported by the dictation controller. Two statuses are equal
// when their case and every payload are equal; payloads a case does not carry stay at their
// defaults so they never make equal statuses differ.
class DictationStatus {
public:
    enum class Kind {
        loading,            // modelName
        downloading,        // modelName, percent (0 to 99)
        ready,              // modelName
        pasteSent,          // characters
        copiedToClipboard,  // reason
        notDelivered,       // reason
        error,              // message
        recording,
        recordingLimitReached,
        transcribing,
        noSpeech,
        cancelled,
    };

    static DictationStatus loading(std::string modelName);
    static DictationStatus downloading(std::string modelName, int percent);
    static DictationStatus ready(std::string modelName);
    static DictationStatus pasteSent(std::size_t characters);
    static DictationStatus copiedToClipboard(DeliveryFallbackReason reason);
    static DictationStatus notDelivered(DeliveryFallbackReason reason);
    static DictationStatus error(std::string message);
    static DictationStatus recording();
    // Recording started on the default input because the chosen one ("inputDevice") was missing.
    static DictationStatus recordingFromDefaultInput();
    static DictationStatus recordingLimitReached();
    static DictationStatus transcribing();
    static DictationStatus noSpeech();
    // The user called the dictation off; nothing was delivered.
    static DictationStatus cancelled();

    Kind kind() const { return kind_; }
    const std::string& modelName() const { return text_; }
    const std::string& message() const { return text_; }
    int percent() const { return percent_; }
    std::size_t characters() const { return characters_; }
    DeliveryFallbackReason reason() const { return reason_; }
    // True only for a recording that fell back to the default input.
    bool onDefaultInputFallback() const { return defaultInputFallback_; }

    friend bool operator==(const DictationStatus&, const DictationStatus&) = default;

private:
    explicit DictationStatus(Kind kind) : kind_(kind) {}

    Kind kind_;
    std::string text_;  // model name or error message
    int percent_ = 0;
    std::size_t characters_ = 0;
    DeliveryFallbackReason reason_ = DeliveryFallbackReason::noAccessibility;
    bool defaultInputFallback_ = false;
};

// A diagnostic form for logs and test failures: `downloading("small", 37)`,
// `copiedToClipboard(targetNotFrontmost)`, `error("Mic error")`, `recording`,
// `recording(default mic)`.
std::string toString(const DictationStatus& status);

}  // namespace korvane
