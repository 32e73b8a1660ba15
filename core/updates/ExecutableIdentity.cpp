#include "core/updates/ExecutableIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

std::optional<ExecutableIdentity> identifyExecutable(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || ::access(path.c_str(), X_OK) != 0) {
        return std::nullopt;
    }
    return ExecutableIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
                              static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                                  status.st_mtim.tv_nsec};
}

}  // namespace korvane
