#include "ui/logic/ModelRows.h"

#include <array>
#include <utility>

namespace korvane {

std::string ModelStatusLine::text() const
{
    switch (kind) {
    case Kind::usingModel:
        return "Using " + name;
    case Kind::loadingModel:
        return "Loading " + name + "…";
    case Kind::downloadingModel:
        return "Downloading " + name + " " + std::to_string(percent) + "%";
    case Kind::failedModel:
        return "Failed to load " + name;
    case Kind::noModel:
        break;
    }
    return "No model loaded";
}

namespace {

ModelStatusLine statusLineFor(const ModelFacts& facts)
{
    using Kind = ModelStatusLine::Kind;
    if (facts.loadingModelName) {
        if (facts.downloadPercent) {
            return {Kind::downloadingModel, *facts.loadingModelName, *facts.downloadPercent};
        }
        return {Kind::loadingModel, *facts.loadingModelName, 0};
    }
    if (facts.failedModelName) {
        return {Kind::failedModel, *facts.failedModelName, 0};
    }
    if (facts.lastReadyModel == facts.stored) {
        return {Kind::usingModel, facts.stored, 0};
    }
    return {};
}

}  // namespace

ModelRows decideModelRows(const ModelFacts& facts)
{
    const bool loading = facts.loadingModelName.has_value();
    ModelRows rows;
    rows.status = statusLineFor(facts);
    rows.statusIsError = rows.status.kind == ModelStatusLine::Kind::failedModel;
    rows.retryVisible = rows.statusIsError;
    if (rows.statusIsError && facts.modelLoadFailure) {
        rows.failureReason = plainReason(*facts.modelLoadFailure);
    }
    rows.retryEnabled = !loading;
    rows.checkedModel = facts.lastReadyModel;
    rows.description = modelDescription(facts.previewed, facts.gpuBackendActive);

    if (facts.lastReadyModel == facts.previewed) {
        rows.disk = "Downloaded, " + facts.previewedSize;
        rows.useTitle = "In Use";
        rows.useEnabled = false;
        rows.deleteVisible = false;
    } else if (facts.previewedPresent) {
        rows.disk = "Downloaded, " + facts.previewedSize;
        rows.useTitle = "Use This Model";
        rows.useEnabled = !loading;
        // Deleting the model that is being loaded would pull the file from under the load.
        rows.deleteVisible = facts.loadingModelName != facts.previewed;
    } else {
        rows.disk = "Not downloaded, " + facts.previewedSize + " download";
        rows.useTitle = "Download and Use";
        rows.useEnabled = !loading;
        rows.deleteVisible = false;
    }
    return rows;
}

std::string modelDescription(std::string_view name, bool gpuBackendActive)
{
    struct Description {
        std::string_view model;
        std::string_view text;
        std::string_view onGpu;  // added while a model runs on a GPU
    };
    static constexpr std::array<Description, 4> kDescriptions{{
        {"base", "Fast and lightweight (~140MB). Good for everyday dictation. Occasional errors on uncommon words.",
         ""},
        {"small",
         "Best balance of speed and accuracy (~460MB). Handles most vocabulary well with minimal delay. Recommended.",
         ""},
        {"medium",
         "High accuracy (~1.5GB). Better with technical jargon, accents, and longer passages. Slower than turbo.", ""},
        {"turbo",
         "Best accuracy (~870MB, large-v3-turbo). Faster than medium with a GPU build of whisper.cpp thanks to GPU "
         "inference.",
         " Recommended when whisper.cpp runs on a GPU."},
    }};
    for (const Description& description : kDescriptions) {
        if (description.model == name) {
            return std::string(description.text) + std::string(gpuBackendActive ? description.onGpu : "");
        }
    }
    return {};
}

std::string deleteModelQuestion(std::string_view name)
{
    return "Delete the " + std::string(name) + " model?";
}

std::string deleteModelDetail(std::string_view size)
{
    return "This frees " + std::string(size) + ". You can download it again from here later.";
}

std::string deleteRefusedText(std::string_view name)
{
    return "Could not delete " + std::string(name);
}

}  // namespace korvane
