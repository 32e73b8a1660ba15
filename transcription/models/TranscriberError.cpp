#include "transcription/models/TranscriberError.h"

#include <utility>

namespace korvane {

namespace {

std::string diagnosticText(TranscriberError::Kind kind, const std::string& payload)
{
    std::string text = caseName(kind);
    if (kind != TranscriberError::Kind::modelNotLoaded) {
        text += '(';
        text += payload;
        text += ')';
    }
    return text;
}

}  // namespace

TranscriberError::TranscriberError(Kind kind, std::string payload, std::int32_t code)
    : kind_(kind), payload_(std::move(payload)), code_(code), diagnostic_(diagnosticText(kind_, payload_))
{
}

TranscriberError TranscriberError::invalidURL(std::string url)
{
    return {Kind::invalidURL, std::move(url), 0};
}

TranscriberError TranscriberError::downloadFailed(std::string reason)
{
    return {Kind::downloadFailed, std::move(reason), 0};
}

TranscriberError TranscriberError::serverUnreachable(std::string reason, std::string host)
{
    TranscriberError error(Kind::downloadFailed, std::move(reason), 0);
    error.fault_ = DownloadFault::unreachable;
    error.host_ = std::move(host);
    return error;
}

TranscriberError TranscriberError::wrongSize(std::string reason)
{
    TranscriberError error(Kind::downloadFailed, std::move(reason), 0);
    error.fault_ = DownloadFault::wrongSize;
    return error;
}

TranscriberError TranscriberError::checksumMismatch(std::string fileName)
{
    return {Kind::checksumMismatch, std::move(fileName), 0};
}

TranscriberError TranscriberError::unknownModel(std::string name)
{
    return {Kind::unknownModel, std::move(name), 0};
}

TranscriberError TranscriberError::transcriptionFailed(std::int32_t code)
{
    return {Kind::transcriptionFailed, std::to_string(code), code};
}

TranscriberError TranscriberError::modelNotLoaded()
{
    return {Kind::modelNotLoaded, std::string(), 0};
}

std::string TranscriberError::description() const
{
    switch (kind_) {
    case Kind::invalidURL:
        return "Invalid model URL: " + payload_;
    case Kind::downloadFailed:
        return "Model download failed: " + payload_;
    case Kind::checksumMismatch:
        return "Model checksum mismatch: " + payload_;
    case Kind::unknownModel:
        return "Unknown model: " + payload_;
    case Kind::transcriptionFailed:
        return "Transcription failed with code " + payload_;
    case Kind::modelNotLoaded:
        return "Whisper model not loaded";
    }
    return diagnostic_;
}

const char* caseName(TranscriberError::Kind kind) noexcept
{
    switch (kind) {
    case TranscriberError::Kind::invalidURL:
        return "invalidURL";
    case TranscriberError::Kind::downloadFailed:
        return "downloadFailed";
    case TranscriberError::Kind::checksumMismatch:
        return "checksumMismatch";
    case TranscriberError::Kind::unknownModel:
        return "unknownModel";
    case TranscriberError::Kind::transcriptionFailed:
        return "transcriptionFailed";
    case TranscriberError::Kind::modelNotLoaded:
        return "modelNotLoaded";
    }
    return "unknown";
}

std::string errorDescription(const std::exception& error)
{
    if (const auto* transcriberError = dynamic_cast<const TranscriberError*>(&error)) {
        return transcriberError->description();
    }
    return error.what();
}

}  // namespace korvane
