// SPDX-License-Identifier: MIT
// whisper.cpp's lines about the GPU, kept for the thread that loads a model.
#include "tests/support/TempHome.h"
#include "tests/support/models/GeneratedModels.h"
#include "transcription/whisper/WhisperLog.h"

#include <whisper.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

const std::string kNoGpu = "whisper_backend_init_gpu: no GPU found";

TEST(WhisperGpuLines, KeepsTheGpuLinesOfItsOwnThreadWhileItLives)
{
    const testing::TempHome home;
    testing::writeGeneratedModel(home.path(), "ggml-test.bin", testing::scriptedModel(" Hi."));
    const std::filesystem::path file = home.path() / "ggml-test.bin";
    routeWhisperLogToLogger();
    // With the GPU off whisper.cpp says exactly one line about it, whatever its build.
    const auto load = [&file] {
        whisper_context_params params = whisper_context_default_params();
        params.use_gpu = false;
        whisper_context* context = whisper_init_from_file_with_params(file.c_str(), params);
        ASSERT_NE(context, nullptr);
        whisper_free(context);
    };

    load();  // nothing keeps them, and nothing breaks
    const WhisperGpuLines outer;
    load();
    std::thread(load).join();  // another thread's load is not this thread's
    {
        const WhisperGpuLines inner;
        load();
        EXPECT_EQ(inner.lines(), std::vector<std::string>{kNoGpu}) << "the innermost one keeps them";
    }
    load();
    EXPECT_EQ(outer.lines(), (std::vector<std::string>{kNoGpu, kNoGpu})) << "before and after the inner one";
}

}  // namespace
}  // namespace korvane
