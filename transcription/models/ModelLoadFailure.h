#pragma once

#include <optional>
#include <string>
#include <utility>

namespace korvane {

// Why a speech model could not be had, in the terms the user is told. The log keeps the full
// diagnostic text; this is what the notification and the settings window say.
struct ModelLoadFailure {
    enum class Cause {
        noConnection,    // the model's server could not be reached; `detail` is its host
        diskFull,        // no room for the download in the models folder
        damaged,         // the download arrived with the wrong size or content
        downloadFailed,  // the server refused or the transfer broke off; `detail` says how
        unloadable,      // a checked file that the recogniser still would not load
        other,           // anything else (a file that cannot be written, ...); `detail` says what
    };

    Cause cause = Cause::other;
    std::string detail;

    friend bool operator==(const ModelLoadFailure&, const ModelLoadFailure&) = default;
};

// The sentence for the user, e.g. "No internet connection: could not reach huggingface.co".
std::string plainReason(const ModelLoadFailure& failure);

// How one model load ended: the model is loaded, or the failure says why not. Tests as true when
// the model was loaded.
struct ModelLoadResult {
    std::optional<ModelLoadFailure> failure;

    explicit operator bool() const { return !failure; }

    static ModelLoadResult loaded() { return {}; }
    static ModelLoadResult failed(ModelLoadFailure::Cause cause, std::string detail = {})
    {
        return {ModelLoadFailure{cause, std::move(detail)}};
    }
};

}  // namespace korvane
