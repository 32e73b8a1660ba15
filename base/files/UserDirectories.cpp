#include "base/files/UserDirectories.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace korvane {

namespace {

std::filesystem::path homeFromPasswordDatabase()
{
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

std::filesystem::path homeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    return homeFromPasswordDatabase();
}

std::filesystem::path xdgBaseDirectory(const char* xdgValue, const std::filesystem::path& home,
                                       const std::filesystem::path& fallback)
{
    if (xdgValue != nullptr && std::filesystem::path(xdgValue).is_absolute()) {
        return xdgValue;
    }
    if (home.empty() || !home.is_absolute()) {
        return {};
    }
    return home / fallback;
}

std::filesystem::path configHome()
{
    return xdgBaseDirectory(std::getenv("XDG_CONFIG_HOME"), homeDirectory(), ".config");
}

}  // namespace korvane
