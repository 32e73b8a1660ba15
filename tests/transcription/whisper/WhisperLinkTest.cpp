#include <whisper.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Proves the whisper.cpp dependency path: headers found, library linked and loadable at run time.
TEST(WhisperLink, ReportsSystemInfoAndRefusesAMissingModel)
{
    const std::string info = whisper_print_system_info();
    EXPECT_NE(info.find("CPU"), std::string::npos) << info;

    whisper_log_set([](enum ggml_log_level, const char*, void*) {}, nullptr);
    whisper_context_params params = whisper_context_default_params();
    params.use_gpu = false;
    EXPECT_EQ(whisper_init_from_file_with_params("/nonexistent/ggml-model.bin", params), nullptr);
}

}  // namespace
