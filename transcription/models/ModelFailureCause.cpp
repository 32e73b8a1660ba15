#include "transcription/models/ModelFailureCause.h"

#include "transcription/models/TranscriberError.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvane {

namespace {

bool isOutOfSpace(const std::error_code& code)
{
    return code == std::errc::no_space_on_device || code == std::error_code(EDQUOT, std::generic_category()) ||
           code == std::error_code(EDQUOT, std::system_category()) ||
           code == std::error_code(ENOSPC, std::system_category());
}

}  // namespace

ModelLoadFailure modelFailureCause(const std::exception& error)
{
    using Cause = ModelLoadFailure::Cause;
    if (const auto* transcriberError = dynamic_cast<const TranscriberError*>(&error)) {
        switch (transcriberError->kind()) {
        case TranscriberError::Kind::checksumMismatch:
            return {Cause::damaged, {}};
        case TranscriberError::Kind::downloadFailed:
            switch (transcriberError->downloadFault()) {
            case TranscriberError::DownloadFault::unreachable:
                return {Cause::noConnection, transcriberError->host()};
            case TranscriberError::DownloadFault::wrongSize:
                return {Cause::damaged, {}};
            case TranscriberError::DownloadFault::other:
                return {Cause::downloadFailed, transcriberError->payload()};
            }
            break;
        default:
            break;
        }
        return {Cause::other, transcriberError->description()};
    }
    if (const auto* fileError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        if (isOutOfSpace(fileError->code())) {
            return {Cause::diskFull, {}};
        }
        // What went wrong and where, without the library's "filesystem error: " framing.
        std::string detail = fileError->code().message();
        if (!fileError->path1().empty()) {
            detail += " (" + fileError->path1().string() + ")";
        }
        return {Cause::other, detail};
    }
    return {Cause::other, errorDescription(error)};
}

}  // namespace korvane
