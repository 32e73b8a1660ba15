#pragma once

#include "transcription/models/ModelCatalogue.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// A model catalogue file replaces the built-in models, for tests and for people who run their own
// models. Its format, version 1:
//
//   {"version": 1,
//    "models": [{"name": "tiny", "file": "ggml-tiny.bin", "bytes": 77691713,
//                "sha256": "<64 hexadecimal digits>", "url": "https://example.org/ggml-tiny.bin"}]}
//
// Every model needs all five fields and nothing else: a non-empty name used once, a plain file name
// (no path separator, not "." or "..") used once, a positive whole number of bytes, a SHA-256
// digest and the file's full address (https://, or http:// to localhost, 127.0.0.0/8 or ::1). The
// models are offered in the file's order and the first is the default. A file with any fault is
// refused as a whole.

// The catalogue in `text`, or the first fault found.
struct ModelCatalogueReading {
    std::optional<ModelCatalogue> catalogue;
    std::string error;
};
ModelCatalogueReading parseModelCatalogue(std::string_view text);
ModelCatalogueReading readModelCatalogueFile(const std::filesystem::path& file);

// The catalogue to run with, chosen once at start-up: the file named by the KORVANE_MODEL_CATALOGUE
// environment value (`environmentValue`, may be null) when it is set and not empty, else the one
// named by the "modelCatalogue" setting, else the built-in models. A refused file is logged with
// its fault and the built-in models are used.
ModelCatalogue chooseModelCatalogue(const char* environmentValue, const std::optional<std::string>& settingValue);

}  // namespace korvane
