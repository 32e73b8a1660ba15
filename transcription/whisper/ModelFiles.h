#pragma once

#include "transcription/models/ModelNameRule.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

// Where the transcriber gets model files from: the model store in the application, generated files
// or a scripted fake in tests.
class ModelFiles {
public:
    using ProgressCallback = std::function<void(int percent)>;

    virtual ~ModelFiles() = default;

    // The path of a valid copy of the named model (the name rule applies), fetched first when
    // needed; blocks for any download. Throws (TranscriberError or a file system error) when no
    // valid copy can be had.
    virtual std::filesystem::path ensureModel(std::string_view name, const ProgressCallback& onDownloadProgress) = 0;

    // Removes the named model's file; nothing happens when there is none. Throws when the name is
    // unknown or the removal fails.
    virtual void deleteModelFile(std::string_view name) = 0;

    // The name rule of the models these files belong to: the built-in one unless a model catalogue
    // file replaced it.
    virtual std::string resolveModelName(std::string_view name) const { return ModelNameRule().resolve(name); }
};

}  // namespace korvane
