#include "transcription/models/ModelCatalogue.h"

#include "core/ModelNames.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

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
    std::filesystem::path dataHome;
    if (xdgDataHome != nullptr && std::filesystem::path(xdgDataHome).is_absolute()) {
        dataHome = xdgDataHome;
    } else if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        dataHome = std::filesystem::path(home) / ".local" / "share";
    } else {
        return {};
    }
    return dataHome / "Korvane" / "models";
}

namespace {

// HOME from the environment, else the home directory of the account running us.
const char* homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* account = ::getpwuid(::getuid()); account != nullptr) {
        return account->pw_dir;
    }
    return nullptr;
}

std::filesystem::path createModelsDir()
{
    std::filesystem::path directory = modelsDirFor(std::getenv("XDG_DATA_HOME"), homeDirectory());
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
