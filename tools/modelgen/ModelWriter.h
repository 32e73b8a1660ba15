#pragma once

#include "tools/modelgen/ModelRecipe.h"

#include <filesystem>

namespace korvane::modelgen {

// Writes a whisper.cpp model file (the "ggml" format its loader reads: magic, hyperparameters, mel
// filter bank, vocabulary, named tensors) for `recipe` to `path`, replacing any file there. The same
// recipe always gives the same bytes.
// Throws std::invalid_argument when the recipe cannot form a model whisper.cpp accepts, and
// std::runtime_error when the file cannot be written.
void writeModel(const std::filesystem::path& path, const ModelRecipe& recipe);

}  // namespace korvane::modelgen
