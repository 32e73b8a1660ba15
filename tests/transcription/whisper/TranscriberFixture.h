#pragma once

#include "tests/support/TempHome.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/transcription/whisper/FakePromptSettings.h"
#include "transcription/whisper/ModelStoreFiles.h"
#include "transcription/whisper/WhisperTranscriber.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace korvane::testing {

// A transcriber over generated model files in a temporary home, fetched through the real model
// store (whose downloads go nowhere).
class TranscriberFixture : public ::testing::Test {
protected:
    std::filesystem::path modelsDir() const { return home_.path() / "models"; }

    void addModel(const std::string& name, const modelgen::ModelRecipe& recipe)
    {
        definitions_[name] = writeGeneratedModel(modelsDir(), "ggml-" + name + ".bin", recipe);
    }

    // A file the catalogue accepts (its own size and digest) that whisper.cpp must refuse.
    void addDamagedModel(const std::string& name, const std::string& contents)
    {
        const std::string fileName = "ggml-" + name + ".bin";
        std::filesystem::create_directories(modelsDir());
        std::ofstream(modelsDir() / fileName, std::ios::binary) << contents;
        definitions_[name] = definitionOfFile(modelsDir(), fileName);
    }

    std::unique_ptr<WhisperTranscriber> makeTranscriber(const std::string& name = "small")
    {
        auto files = std::make_shared<ModelStoreFiles>(offlineModelStore(definitions_, modelsDir()));
        return std::make_unique<WhisperTranscriber>(name, files, settings_, [this] { return useGpu_.load(); });
    }

    TempHome home_;
    ModelDefinitions definitions_;
    std::shared_ptr<FakePromptSettings> settings_ = std::make_shared<FakePromptSettings>();
    // The "useGPU" setting as the transcriber reads it at each load.
    std::atomic<bool> useGpu_ = true;
};

}  // namespace korvane::testing
