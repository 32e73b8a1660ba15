#include "tests/support/TempHome.h"

#include <fstream>
#include <sstream>

namespace korvane::testing {

TempHome::TempHome()
    : home_("HOME", root_.path().string()), configHome_("XDG_CONFIG_HOME", (root_.path() / ".config").string()),
      dataHome_("XDG_DATA_HOME", (root_.path() / ".local/share").string())
{
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
