#include "transcription/models/ModelCatalogue.h"

#include "base/files/UserDirectories.h"
#include "transcription/models/ModelNames.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace korvane {

const ModelDefinitions& modelDefinitions()
{
    static const ModelDefinitions definitions{
        {"base", {"ggml-base.bin", 147'951'465, "60ed5bc3dd14eea856493d334349b405782ddcaf0028d4b5df4088345fba2efe"}},
        {"small", {"ggml-small.bin", 487'601'967, "1be3a9b2063867b937e64e2ec7483364a79917e157fa98c5d94b5c1fffea987b"}},
        {"medium",
         {"ggml-medium.bin", 1'533'763'059, "6c14d5adee5f86394037b4e4e8b59f1673b6cee10e3cf0b11bbdbee79c156208"}},
        {"turbo",
         {"ggml-large-v3-turbo-q8_0.bin", 874'188'075,
          "317eb69c11673c9de1e1f0d459b253999804ec71ac4c23c17ecf5fbe24e259a1"}},
    };
    return definitions;
}

const ModelCatalogue& builtInModelCatalogue()
{
    static const ModelCatalogue catalogue{modelDefinitions(), ModelNameRule()};
    return catalogue;
}

std::span<const std::string_view> availableModels()
{
    return kModelNames;
}

std::string resolveModelName(std::string_view name)
{
    return std::string(isKnownModelName(name) ? name : kDefaultModelName);
}

std::int64_t expectedModelBytes(std::string_view name)
{
    const auto& definitions = modelDefinitions();
    const auto found = definitions.find(name);
    return found == definitions.end() ? 0 : found->second.expectedBytes;
}

std::string modelFileUrl(std::string_view base, const ModelDefinition& definition)
{
    std::string url(base);
    url += "resolve/";
    url += kModelRevision;
    url += '/';
    url += definition.fileName;
    return url;
}

std::filesystem::path modelsDirFor(const char* xdgDataHome, const char* home)
{
    const std::filesystem::path base =
        xdgBaseDirectory(xdgDataHome, home != nullptr ? home : "", std::filesystem::path(".local") / "share");
    return base.empty() ? base : base / "Korvane" / "models";
}

namespace {

std::filesystem::path createModelsDir()
{
    const std::filesystem::path directory = modelsDirFor(std::getenv("XDG_DATA_HOME"), homeDirectory().c_str());
    if (directory.empty()) {
        std::fputs("Application Support directory not found\n", stderr);
        std::abort();
    }
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    return directory;
}

}  // namespace

const std::filesystem::path& modelsDir()
{
    static const std::filesystem::path directory = createModelsDir();
    return directory;
}

}  // namespace korvane
