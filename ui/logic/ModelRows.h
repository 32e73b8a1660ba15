#pragma once

#include "transcription/models/ModelLoadFailure.h"

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The line at the bottom of the General pane that says which model is in use or what happens to
// one.
struct ModelStatusLine {
    enum class Kind { usingModel, loadingModel, downloadingModel, failedModel, noModel };

    Kind kind = Kind::noModel;
    std::string name;  // empty for noModel
    int percent = 0;   // downloadingModel only

    // "Using small", "Loading small…", "Downloading small 42%", "Failed to load small",
    // "No model loaded".
    std::string text() const;

    bool operator==(const ModelStatusLine&) const = default;
};

// What the General pane knows about models at one moment: the controller's model fields, the
// stored choice and the model previewed in the menu.
struct ModelFacts {
    std::string stored;  // "modelSize" after the name rule
    std::optional<std::string> loadingModelName;
    std::optional<int> downloadPercent;
    std::optional<std::string> failedModelName;
    std::optional<ModelLoadFailure> modelLoadFailure;  // why failedModelName failed
    std::optional<std::string> lastReadyModel;
    std::string previewed;          // the menu's selection
    bool previewedPresent = false;  // a file of the right size is on disk
    std::string previewedSize;      // the expected size of its file, as shown to the user
    bool gpuBackendActive = false;  // the loaded model runs on a GPU
};

// The model rows of the General pane, decided from ModelFacts.
struct ModelRows {
    ModelStatusLine status;
    bool statusIsError = false;  // drawn in red
    // Under a failed load's status line: why it failed, in plain words; empty otherwise.
    std::string failureReason;
    bool retryVisible = false;
    bool retryEnabled = false;
    std::optional<std::string> checkedModel;  // the menu item with a check mark
    std::string description;
    std::string disk;      // "Downloaded, 466 MB" or "Not downloaded, 466 MB download"
    std::string useTitle;  // "In Use", "Use This Model" or "Download and Use"
    bool useEnabled = false;
    bool deleteVisible = false;

    bool operator==(const ModelRows&) const = default;
};

ModelRows decideModelRows(const ModelFacts& facts);

// The text under the model menu for each built-in model; empty for other names. Turbo is
// recommended only while a model runs on a GPU: on the CPU it is the slowest choice but one.
std::string modelDescription(std::string_view name, bool gpuBackendActive);

// The confirmation before deleting a model and the refusal after a failed deletion.
std::string deleteModelQuestion(std::string_view name);
std::string deleteModelDetail(std::string_view size);
std::string deleteRefusedText(std::string_view name);

}  // namespace korvane
