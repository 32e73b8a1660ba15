#pragma once

#include "tools/modelgen/ModelSpec.h"

#include <filesystem>

namespace korvane::modelgen {

// Writes a whisper.cpp model file (the "ggml" format its loader reads: magic, hyperparameters, mel
// filter bank, vocabulary, named tensors) for `spec` to `path`, replacing any file there. The same
// spec always gives the same bytes.
// Throws std::invalid_argument when the spec cannot form a model whisper.cpp accepts, and
// std::runtime_error when the file cannot be written.
void writeModel(const std::filesystem::path& path, const ModelSpec& spec);

} // namespace korvane::modelgen
