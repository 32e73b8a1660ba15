#pragma once

#include "tools/modelgen/ModelRecipe.h"
#include "transcription/models/ModelCatalogue.h"
#include "transcription/models/ModelStore.h"

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

// A small scripted model (64 wide, one block each side) that decodes `phrase` for any audio.
modelgen::ModelRecipe scriptedModel(std::string phrase);

// The same, except that it repeats `phrase` without ever ending the text: every decode runs into
// whisper.cpp's token limit, as a real model caught in a repetition loop does.
modelgen::ModelRecipe loopingModel(std::string phrase);

// A model with tensors but only a vocabulary worth testing: the 256 single bytes plus `extraTokens`.
modelgen::ModelRecipe vocabularyModel(std::vector<std::string> extraTokens);

// Writes a generated model as `directory / fileName` and returns its catalogue entry (that file
// name, its size and its SHA-256 digest), so a ModelStore accepts it without any download.
ModelDefinition writeGeneratedModel(const std::filesystem::path& directory, const std::string& fileName,
                                    const modelgen::ModelRecipe& recipe);

// The catalogue entry for whatever file already lies at `directory / fileName` (a damaged model a
// test wrote on purpose), so that it passes the store's checks and reaches whisper.cpp's loader.
ModelDefinition definitionOfFile(const std::filesystem::path& directory, const std::string& fileName);

// A store over `definitions` in `directory` whose downloads go to a closed loopback port, so a
// missing file fails at once instead of reaching the network.
ModelStore offlineModelStore(ModelDefinitions definitions, const std::filesystem::path& directory);

}  // namespace korvane::testing
