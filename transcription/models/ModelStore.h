#pragma once

#include "transcription/models/ModelCatalogue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

// How model files are fetched.
struct ModelDownloadOptions {
    // Repository base URL, ending with '/'; the file's address is base + "resolve/" + revision + "/"
    // + file name.
    std::string baseUrl = std::string(kModelRepositoryBaseUrl);

    // Real downloads use HTTPS only, for the first request and every redirect. Plain HTTP exists for
    // the loopback server of the tests and must never be switched on elsewhere.
    bool allowPlainHttp = false;

    // A transfer that stays below lowSpeedBytesPerSecond for lowSpeedTime is aborted and reported as
    // downloadFailed, so a stalled connection cannot hold the model load forever.
    long lowSpeedBytesPerSecond = 1024;
    std::chrono::seconds lowSpeedTime{60};

    // Time allowed to establish the connection (name lookup, TCP and TLS handshakes).
    std::chrono::seconds connectTimeout{60};

    // Off for plain HTTP from a model catalogue file's loopback address, so that a local server
    // cannot send the download on to plain HTTP elsewhere.
    bool followRedirects = true;
};

// The model files on disk: fetching a missing or damaged one, asking whether one is present, and
// deleting one. Stateless apart from its configuration, so one instance may be used from several
// threads at once (different models; two downloads of the same model at once are not coordinated).
//
// A download interrupted by a crash or a kill leaves its temporary file behind. Such files of the
// catalogue's models are removed when the store is created and before each download; the temporary
// file of a download still running, in this process or another, is kept.
class ModelStore {
public:
    // Whole percentages 0...100, each reported at most once per download, non-decreasing. Called on
    // the thread that runs ensureModel().
    using ProgressCallback = std::function<void(int percent)>;

    // The real catalogue, the public repository and modelsDir().
    ModelStore();

    // A store over the given definitions with the built-in name rule, directory and source (tests
    // point it at generated files and a loopback server). The directory is created when missing.
    ModelStore(ModelDefinitions definitions, std::filesystem::path directory, ModelDownloadOptions options = {});

    // A store over a whole catalogue, whose name rule ensureModel() applies. A definition with its
    // own url is fetched from there: over HTTPS, or over plain HTTP from a loopback address without
    // following redirects; any other address fails with invalidURL. Size and digest are checked
    // alike for every source.
    ModelStore(ModelCatalogue catalogue, std::filesystem::path directory, ModelDownloadOptions options = {});

    // Returns the path of a valid copy of the named model (the name rule applies), downloading it
    // when it is missing or fails validation. A valid file is returned at once, without any network
    // access or progress callback. Blocks for the whole download: call it on a background thread.
    // The download goes to a temporary file in the models directory that is moved into place only
    // after its size and digest were checked, so the final path never holds a bad download, and the
    // temporary file is removed on every failure.
    // Throws TranscriberError (unknownModel, invalidURL, downloadFailed, checksumMismatch) or
    // std::filesystem::filesystem_error.
    std::filesystem::path ensureModel(std::string_view name, const ProgressCallback& onDownloadProgress = {}) const;

    // Whether a file of the right size exists for the named model (no name rule; no digest, so this
    // stays cheap enough for the settings window). False for a name not in the catalogue.
    bool isDownloaded(std::string_view name) const { return isDownloaded(name, directory_); }
    bool isDownloaded(std::string_view name, const std::filesystem::path& directory) const;

    // Removes the named model's file; does nothing when there is none (no name rule). Throws
    // TranscriberError::unknownModel for a name not in the catalogue and
    // std::filesystem::filesystem_error when the removal fails (the file then stays).
    void deleteModelFile(std::string_view name) const { deleteModelFile(name, directory_); }
    void deleteModelFile(std::string_view name, const std::filesystem::path& directory) const;

    // The size of a good copy of the named model; 0 for a name not in the catalogue.
    std::int64_t expectedBytes(std::string_view name) const;

    const ModelDefinitions& definitions() const { return definitions_; }
    const ModelNameRule& names() const { return names_; }
    const std::filesystem::path& directory() const { return directory_; }
    const ModelDownloadOptions& options() const { return options_; }

private:
    void removeStalePartialDownloads() const;
    void download(const std::string& url, const ModelDownloadOptions& options, const ModelDefinition& definition,
                  const std::filesystem::path& destination, const ProgressCallback& onDownloadProgress) const;

    ModelDefinitions definitions_;
    ModelNameRule names_;
    std::filesystem::path directory_;
    ModelDownloadOptions options_;
};

}  // namespace korvane
