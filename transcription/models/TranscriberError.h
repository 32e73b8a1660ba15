#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace korvane {

// The failures of fetching a model and of transcribing. Each carries the short text shown to the
// user (description()); what() is the diagnostic form for the log and for tests: the case name, with
// its payload in parentheses where it has one, e.g. "downloadFailed(HTTP 404)" or "modelNotLoaded".
class TranscriberError : public std::exception {
public:
    enum class Kind {
        invalidURL,           // payload: the URL text
        downloadFailed,       // payload: the reason
        checksumMismatch,     // payload: the model's file name
        unknownModel,         // payload: the model name
        transcriptionFailed,  // payload: the recogniser's result code
        modelNotLoaded,       // no payload
    };

    // What lies behind a downloadFailed, so that the user can be told in plain words; the
    // description keeps the transport's or the server's own text.
    enum class DownloadFault {
        other,
        unreachable,  // the name lookup or the connection to the server failed
        wrongSize,    // the body that arrived was shorter or longer than a good file
    };

    static TranscriberError invalidURL(std::string url);
    static TranscriberError downloadFailed(std::string reason);
    // downloadFailed whose server could not be reached; `host` is the host of the model's address.
    static TranscriberError serverUnreachable(std::string reason, std::string host);
    // downloadFailed whose body had the wrong size.
    static TranscriberError wrongSize(std::string reason);
    static TranscriberError checksumMismatch(std::string fileName);
    static TranscriberError unknownModel(std::string name);
    static TranscriberError transcriptionFailed(std::int32_t code);
    static TranscriberError modelNotLoaded();

    Kind kind() const noexcept { return kind_; }
    // `other` for every case but the two downloadFailed variants above.
    DownloadFault downloadFault() const noexcept { return fault_; }
    // The unreachable server's host; empty otherwise.
    const std::string& host() const noexcept { return host_; }

    // The text payload; the decimal code for transcriptionFailed; empty for modelNotLoaded.
    const std::string& payload() const noexcept { return payload_; }

    // The recogniser's result code of transcriptionFailed; 0 for the other cases.
    std::int32_t code() const noexcept { return code_; }

    // The user-facing text, e.g. "Model download failed: HTTP 404".
    std::string description() const;

    // The diagnostic form, e.g. "checksumMismatch(ggml-small.bin)".
    const char* what() const noexcept override { return diagnostic_.c_str(); }

private:
    TranscriberError(Kind kind, std::string payload, std::int32_t code);

    Kind kind_;
    std::string payload_;
    std::int32_t code_;
    std::string diagnostic_;
    DownloadFault fault_ = DownloadFault::other;
    std::string host_;
};

// The case name of a kind ("invalidURL", ..., "modelNotLoaded").
const char* caseName(TranscriberError::Kind kind) noexcept;

// The text to show or log for any failure of the model files or the recogniser: description() of a
// TranscriberError, what() of anything else (file system and other library errors).
std::string errorDescription(const std::exception& error);

}  // namespace korvane
