#pragma once

#include "core/dictation/DictationStatus.h"
#include "transcription/models/ModelLoadFailure.h"

#include <optional>
#include <string>

namespace korvane {

// A desktop notification about a model that could not be had.
struct ModelFailureNotice {
    std::string summary;  // "Failed to load small model", as the tray's status line says
    std::string body;     // the reason in plain words

    friend bool operator==(const ModelFailureNotice&, const ModelFailureNotice&) = default;
};

// Decides when a failed model load is announced on the desktop. A first start without a network
// otherwise leaves the user with a tray icon and no explanation; but a retry that fails the same
// way, or the progress of a new attempt, must not announce it again. A different failure is
// announced, and so is the same one again once a model has loaded in between.
class ModelFailureNotices {
public:
    // Called with every status and the controller's failed model and its failure (both absent
    // while a load runs and after a success). Returns the notice to show, or nothing.
    std::optional<ModelFailureNotice> observe(const DictationStatus& status,
                                              const std::optional<std::string>& failedModelName,
                                              const std::optional<ModelLoadFailure>& failure);

private:
    std::optional<ModelLoadFailure> announced_;
};

}  // namespace korvane
