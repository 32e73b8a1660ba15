#include "base/files/AtomicFile.h"

#include "base/files/PosixFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace korvane {

namespace {

std::string failure(const char* step, const std::filesystem::path& path, int error)
{
    return std::string(step) + " " + path.string() + ": " + std::generic_category().message(error);
}

// Removes the temporary file unless the rename has consumed it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void consumed() { path_.clear(); }

private:
    std::string path_;
};

void syncFolder(const std::filesystem::path& folder)
{
    // Makes the rename itself durable. Failure here cannot be acted on (the new contents are in
    // place either way), so it is not reported.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.get());
    }
}

}  // namespace

std::string replaceFileAtomically(const std::filesystem::path& requested, std::string_view contents)
{
    // Users who keep their configuration in a dotfiles repository link the file into place; the
    // link must survive, so the file it points to is the one replaced.
    std::filesystem::path target = requested;
    std::error_code error;
    if (std::filesystem::is_symlink(requested, error)) {
        if (std::filesystem::path resolved = std::filesystem::canonical(requested, error); !error) {
            target = std::move(resolved);
        }
    }

    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    std::filesystem::create_directories(folder, error);
    if (error) {
        return "cannot create " + folder.string() + ": " + error.message();
    }

    std::string pattern = target.string() + ".tmp-XXXXXX";
    UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd) {
        return failure("cannot create a temporary file next to", target, errno);
    }
    TemporaryFile temporary(pattern);

    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        ::fchmod(fd.get(), existing.st_mode & 07777);
    }
    if (!writeAll(fd.get(), contents)) {
        return failure("cannot write", pattern, errno);
    }
    if (::fsync(fd.get()) != 0) {
        return failure("cannot flush", pattern, errno);
    }
    if (!fd.close()) {
        return failure("cannot close", pattern, errno);
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        return failure("cannot replace", target, errno);
    }
    temporary.consumed();
    syncFolder(folder);
    return {};
}

}  // namespace korvane
