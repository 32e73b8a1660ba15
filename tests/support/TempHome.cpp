#include "tests/support/TempHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace korvane::testing {

namespace {

std::string getEnv(const char* name, bool& present)
{
    const char* value = std::getenv(name);
    present = value != nullptr;
    return value ? value : "";
}

void restoreEnv(const char* name, const std::string& value, bool present)
{
    if (present) {
        ::setenv(name, value.c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

}  // namespace

TempHome::TempHome()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-home.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary home directory");
    }
    root_ = pattern;
    bool hadHome = false;
    savedHome_ = getEnv("HOME", hadHome);
    savedConfig_ = getEnv("XDG_CONFIG_HOME", hadConfig_);
    savedData_ = getEnv("XDG_DATA_HOME", hadData_);
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ / ".local/share").c_str(), 1);
}

TempHome::~TempHome()
{
    ::setenv("HOME", savedHome_.c_str(), 1);
    restoreEnv("XDG_CONFIG_HOME", savedConfig_, hadConfig_);
    restoreEnv("XDG_DATA_HOME", savedData_, hadData_);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::filesystem::path& path, const std::string& contents)
{
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

}  // namespace korvane::testing
