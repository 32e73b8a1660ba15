#pragma once

#include <exception>
#include <string>

namespace korvane {

// The recorder's own failure. description() is the text for the user; what() is the diagnostic
// form for the log and for tests: the case name.
class AudioRecorderError : public std::exception {
public:
    enum class Kind {
        converterCreationFailed,
    };

    static AudioRecorderError converterCreationFailed() { return AudioRecorderError(Kind::converterCreationFailed); }

    Kind kind() const noexcept { return kind_; }

    // "Could not create audio format converter".
    std::string description() const;

    // "converterCreationFailed".
    const char* what() const noexcept override;

private:
    explicit AudioRecorderError(Kind kind) : kind_(kind) {}

    Kind kind_;
};

// The readable text of any failure to record: description() of an AudioRecorderError, what() of the
// sound system's errors and anything else.
std::string audioErrorDescription(const std::exception& error);

}  // namespace korvane
