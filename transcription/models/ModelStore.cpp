#include "transcription/models/ModelStore.h"

#include "base/logging/Logger.h"
#include "transcription/models/CurlDownload.h"
#include "transcription/models/DownloadProgress.h"
#include "transcription/models/ModelFileCheck.h"
#include "transcription/models/ModelUrl.h"
#include "transcription/models/TempFile.h"
#include "transcription/models/TranscriberError.h"

#include <system_error>
#include <utility>
#include <vector>

namespace korvane {

ModelStore::ModelStore() : ModelStore(modelDefinitions(), modelsDir())
{
}

ModelStore::ModelStore(ModelDefinitions definitions, std::filesystem::path directory, ModelDownloadOptions options)
    : ModelStore(ModelCatalogue{std::move(definitions), ModelNameRule()}, std::move(directory), std::move(options))
{
}

ModelStore::ModelStore(ModelCatalogue catalogue, std::filesystem::path directory, ModelDownloadOptions options)
    : definitions_(std::move(catalogue.definitions)), names_(std::move(catalogue.names)),
      directory_(std::move(directory)), options_(std::move(options))
{
    // A failure here surfaces as a clear error of the first file operation that needs the directory.
    std::error_code ignored;
    std::filesystem::create_directories(directory_, ignored);
    removeStalePartialDownloads();
}

std::filesystem::path ModelStore::ensureModel(std::string_view name, const ProgressCallback& onDownloadProgress) const
{
    const std::string resolved = names_.resolve(name);
    const auto found = definitions_.find(resolved);
    if (found == definitions_.end()) {
        throw TranscriberError::unknownModel(resolved);
    }
    const ModelDefinition& definition = found->second;
    const std::filesystem::path destination = directory_ / definition.fileName;

    std::error_code error;
    if (std::filesystem::exists(destination, error)) {
        if (modelFileIsValid(destination, definition)) {
            return destination;
        }
        Logger::log("Existing model file failed validation -- redownloading");
        std::filesystem::remove(destination, error);
    }

    const std::string url = definition.url.empty() ? modelFileUrl(options_.baseUrl, definition) : definition.url;
    if (!isWellFormedUrl(url)) {
        throw TranscriberError::invalidURL(url);
    }
    ModelDownloadOptions options = options_;
    if (!definition.url.empty()) {
        const ModelUrlKind kind = classifyModelUrl(url);
        if (kind == ModelUrlKind::refused) {
            throw TranscriberError::invalidURL(url);
        }
        if (kind == ModelUrlKind::loopbackHttp) {
            options.allowPlainHttp = true;
            options.followRedirects = false;
        }
    }
    Logger::log("Downloading model: " + url);
    download(url, options, definition, destination, onDownloadProgress);
    return destination;
}

void ModelStore::download(const std::string& url, const ModelDownloadOptions& options,
                          const ModelDefinition& definition, const std::filesystem::path& destination,
                          const ProgressCallback& onDownloadProgress) const
{
    // The directory may have been removed since the store was created.
    std::error_code ignored;
    std::filesystem::create_directories(directory_, ignored);
    // Another process may have died mid-download since this store was created.
    removeStalePartialDownloads();

    TempFile file(directory_, definition.fileName);
    DownloadProgress progress(definition.expectedBytes, onDownloadProgress);
    const DownloadOutcome outcome = downloadToFile(url, options, file, definition.expectedBytes, progress);

    if (outcome.writeError != 0) {
        throw std::filesystem::filesystem_error("cannot write the downloaded model", file.path(),
                                                std::error_code(outcome.writeError, std::generic_category()));
    }
    if (outcome.serverUnreachable) {
        throw TranscriberError::serverUnreachable(outcome.transportError, hostOf(url));
    }
    if (!outcome.transportError.empty()) {
        throw TranscriberError::downloadFailed(outcome.transportError);
    }
    if (outcome.stoppedAtRefusedStatus || outcome.httpStatus < 200 || outcome.httpStatus > 299) {
        throw TranscriberError::downloadFailed("HTTP " + std::to_string(outcome.httpStatus));
    }
    file.finish();
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file.path()));
    const std::int64_t received = outcome.stoppedAtExcessBytes ? outcome.receivedBytes : size;
    if (received != definition.expectedBytes) {
        throw TranscriberError::wrongSize("size mismatch for " + definition.fileName + ": expected " +
                                          std::to_string(definition.expectedBytes) + ", got " +
                                          std::to_string(received));
    }
    if (sha256Hex(file.path()) != definition.sha256) {
        throw TranscriberError::checksumMismatch(definition.fileName);
    }
    file.moveTo(destination);
    Logger::log("Model downloaded: " + destination.string() + " (" + std::to_string(size) + " bytes)");
}

void ModelStore::removeStalePartialDownloads() const
{
    std::vector<std::string> fileNames;
    fileNames.reserve(definitions_.size());
    for (const auto& [name, definition] : definitions_) {
        fileNames.push_back(definition.fileName);
    }
    for (const std::string& removed : removeStaleTempFiles(directory_, fileNames)) {
        Logger::log("Removed stale partial download " + removed);
    }
}

bool ModelStore::isDownloaded(std::string_view name, const std::filesystem::path& directory) const
{
    const auto found = definitions_.find(name);
    if (found == definitions_.end()) {
        return false;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(directory / found->second.fileName, error);
    return !error && static_cast<std::int64_t>(size) == found->second.expectedBytes;
}

void ModelStore::deleteModelFile(std::string_view name, const std::filesystem::path& directory) const
{
    const auto found = definitions_.find(name);
    if (found == definitions_.end()) {
        throw TranscriberError::unknownModel(std::string(name));
    }
    const std::filesystem::path file = directory / found->second.fileName;
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) {
        return;
    }
    std::filesystem::remove(file);
    Logger::log("Deleted model file: " + found->second.fileName);
}

std::int64_t ModelStore::expectedBytes(std::string_view name) const
{
    const auto found = definitions_.find(name);
    return found == definitions_.end() ? 0 : found->second.expectedBytes;
}

}  // namespace korvane
