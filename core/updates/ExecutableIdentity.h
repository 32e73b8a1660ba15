#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace korvane {

// Which file an executable path names right now. A package upgrade never rewrites a running
// executable in place (the kernel refuses that with ETXTBSY); it writes a new file and renames it
// over the old one, so a new device and inode number is what "replaced" means. The modification
// time is part of it because a file system may hand a freed inode number to the next new file: an
// upgrade that was installed and replaced again before a relaunch would otherwise hide the next one.
struct ExecutableIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const ExecutableIdentity&) const = default;
};

// The identity of `path` when it is a regular file that this process may execute; nothing while it
// is missing (between an uninstall's unlink and a reinstall) or not executable yet.
std::optional<ExecutableIdentity> identifyExecutable(const std::filesystem::path& path);

}  // namespace korvane
