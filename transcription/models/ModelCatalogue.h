#pragma once

#include "transcription/models/ModelNameRule.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace korvane {

// One Whisper model file as the repository publishes it. A local copy is accepted only with exactly
// this size and digest.
struct ModelDefinition {
    std::string fileName;
    std::int64_t expectedBytes = 0;
    std::string sha256;  // 64 lowercase hexadecimal digits
    // The file's full address when a model catalogue file names it; empty for the built-in models,
    // whose address comes from the store's repository base URL.
    std::string url = {};

    friend bool operator==(const ModelDefinition&, const ModelDefinition&) = default;
};

using ModelDefinitions = std::map<std::string, ModelDefinition, std::less<>>;

// The public whisper.cpp model repository and the commit every file is fetched from. Pinning the
// commit keeps the digests below valid even when the repository's files change.
inline constexpr std::string_view kModelRepositoryBaseUrl = "https://huggingface.co/ggerganov/whisper.cpp/";
inline constexpr std::string_view kModelRevision = "5359861c739e955e79d9a303bcbc70fb988958b1";

// The four models Korvane offers, keyed by model name; built once, on first use, from any thread.
const ModelDefinitions& modelDefinitions();

// A set of models with the name rule that goes with them: the built-in four, or those of a model
// catalogue file (see ModelCatalogueFile.h). Every name in `names` has a definition and back.
struct ModelCatalogue {
    ModelDefinitions definitions;
    ModelNameRule names;
};

// The built-in four with their name rule.
const ModelCatalogue& builtInModelCatalogue();

// The model names in the order they are offered: "base", "small", "medium", "turbo".
std::span<const std::string_view> availableModels();

// The name rule applied wherever a model is chosen: a name not in availableModels() becomes "small".
std::string resolveModelName(std::string_view name);

// The size of a good copy of the named model, 0 for a name that is not in the catalogue. No name
// rule: the settings pane asks about the names it shows.
std::int64_t expectedModelBytes(std::string_view name);

// The address of a model file: base + "resolve/" + revision + "/" + file name. `base` ends with '/'.
std::string modelFileUrl(std::string_view base, const ModelDefinition& definition);

// Where downloaded models live: $XDG_DATA_HOME/Korvane/models, with $XDG_DATA_HOME defaulting to
// ~/.local/share (an unset or relative XDG_DATA_HOME is ignored, as the XDG rules require).
// Computed once per process and created with its parents on first use; a failure to create it is
// ignored here and surfaces in the file operations that follow. Stops the process when no home
// directory can be found at all.
const std::filesystem::path& modelsDir();

// The rule behind modelsDir() without the caching and the directory creation, for given values of
// XDG_DATA_HOME and HOME (either may be null). Empty when neither gives an absolute directory.
std::filesystem::path modelsDirFor(const char* xdgDataHome, const char* home);

}  // namespace korvane
