#pragma once

#include "transcription/models/ModelCatalogue.h"

#include <filesystem>
#include <string>

namespace korvane {

// The lowercase hexadecimal SHA-256 digest of a file, read in 1 MiB chunks so memory use stays
// constant for files of any size. Throws std::filesystem::filesystem_error when the file cannot be
// opened or read.
std::string sha256Hex(const std::filesystem::path& file);

// Full validation of a model file: its size first (the digest is skipped when the size is wrong,
// which keeps a half-downloaded file cheap to reject), then its digest. Logs why a file is refused.
bool modelFileIsValid(const std::filesystem::path& file, const ModelDefinition& definition);

}  // namespace korvane
