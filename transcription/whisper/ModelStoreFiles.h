#pragma once

#include "transcription/models/ModelStore.h"
#include "transcription/whisper/ModelFiles.h"

#include <utility>

namespace korvane {

// The model store (catalogue, downloads, validation) as the transcriber's source of model files.
class ModelStoreFiles final : public ModelFiles {
public:
    explicit ModelStoreFiles(ModelStore store) : store_(std::move(store)) {}

    std::filesystem::path ensureModel(std::string_view name, const ProgressCallback& onDownloadProgress) override
    {
        return store_.ensureModel(name, onDownloadProgress);
    }

    void deleteModelFile(std::string_view name) override { store_.deleteModelFile(name); }

    std::string resolveModelName(std::string_view name) const override { return store_.names().resolve(name); }

    const ModelStore& store() const { return store_; }

private:
    ModelStore store_;
};

}  // namespace korvane
