#include "tests/support/models/GeneratedModels.h"

#include "tools/modelgen/ModelWriter.h"
#include "transcription/models/ModelFileCheck.h"

#include <utility>

namespace korvane::testing {

modelgen::ModelRecipe scriptedModel(std::string phrase)
{
    modelgen::ModelRecipe recipe;
    recipe.kind = modelgen::ModelKind::scripted;
    recipe.phrase = std::move(phrase);
    return recipe;
}

modelgen::ModelRecipe loopingModel(std::string phrase)
{
    modelgen::ModelRecipe recipe = scriptedModel(std::move(phrase));
    recipe.loopsPhrase = true;
    // A fifth of the usual decoder positions: each runaway decode stops at 44 tokens instead of 220.
    recipe.textContext = 96;
    return recipe;
}

modelgen::ModelRecipe vocabularyModel(std::vector<std::string> extraTokens)
{
    modelgen::ModelRecipe recipe = scriptedModel(" Hello.");
    recipe.extraTokens = std::move(extraTokens);
    return recipe;
}

ModelDefinition definitionOfFile(const std::filesystem::path& directory, const std::string& fileName)
{
    const auto path = directory / fileName;
    return ModelDefinition{fileName, static_cast<std::int64_t>(std::filesystem::file_size(path)), sha256Hex(path)};
}

ModelDefinition writeGeneratedModel(const std::filesystem::path& directory, const std::string& fileName,
                                    const modelgen::ModelRecipe& recipe)
{
    std::filesystem::create_directories(directory);
    modelgen::writeModel(directory / fileName, recipe);
    return definitionOfFile(directory, fileName);
}

ModelStore offlineModelStore(ModelDefinitions definitions, const std::filesystem::path& directory)
{
    ModelDownloadOptions options;
    options.baseUrl = "http://127.0.0.1:9/";
    options.allowPlainHttp = true;
    options.connectTimeout = std::chrono::seconds(5);
    return ModelStore(std::move(definitions), directory, std::move(options));
}

}  // namespace korvane::testing
