#include "base/files/FileChangeWatcher.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <system_error>
#include <unistd.h>

namespace korvane {

namespace {

constexpr int kFolderRetryMilliseconds = 1000;
constexpr int kPollingFallbackMilliseconds = 2000;
// The kernel's own limit on a chain of symbolic links.
constexpr int kMaximumLinkHops = 40;

// IN_MODIFY is left out on purpose: it arrives while a writer is still filling the file, and
// reading it then would see half a document. Every ordinary way of saving ends with a close after
// writing or a rename into place. IN_CREATE only counts for a symbolic link (see
// namesWatchedFile): a new link is whole the moment it exists, a new regular file is still empty.
constexpr std::uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB | IN_CREATE;
constexpr std::uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

// Where the chain of symbolic links that starts at `path` ends; nothing when `path` is no link or
// the chain loops.
std::optional<std::filesystem::path> linkDestination(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
        return std::nullopt;
    }
    if (std::filesystem::path resolved = std::filesystem::canonical(path, error); !error) {
        return resolved;
    }
    // The file at the end is missing (an editor replacing it, or not created yet): follow the links
    // by hand, so that its folder is watched for it to come back.
    std::filesystem::path current = path;
    for (int hop = 0; hop < kMaximumLinkHops; ++hop) {
        std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) {
            // `current` is no link (or does not exist): the end of the chain.
            return current.lexically_normal();
        }
        current = next.is_absolute() ? std::move(next) : current.parent_path() / next;
    }
    return std::nullopt;
}

}  // namespace

FileChangeWatcher::FileChangeWatcher(std::filesystem::path file, std::function<void()> changed)
    : file_{folderOf(file), file.filename().string()}, changed_(std::move(changed)),
      inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (!wake_) {
        // Without a way to wake the thread it could never be joined; the owner works without watching.
        return;
    }
    thread_ = std::thread([this] { run(); });
}

FileChangeWatcher::~FileChangeWatcher()
{
    if (thread_.joinable()) {
        stopping_.store(true);
        lookAgain();
        thread_.join();
    }
}

void FileChangeWatcher::lookAgain()
{
    if (!wake_) {
        return;
    }
    const std::uint64_t one = 1;
    while (::write(wake_.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void FileChangeWatcher::notify()
{
    try {
        changed_();
    } catch (...) {
        // A failing reload must not take the watcher (and with it the process) down.
    }
}

bool FileChangeWatcher::establish(Watch& watch)
{
    if (!inotify_ || watch.folder.empty() || watch.descriptor >= 0) {
        return false;
    }
    // For a folder already watched for the other name the kernel hands back that same watch.
    watch.descriptor =
        ::inotify_add_watch(inotify_.get(), watch.folder.c_str(), kFileEvents | kFolderGone | IN_ONLYDIR);
    return watch.descriptor >= 0;
}

void FileChangeWatcher::abandon(Watch& watch)
{
    const Watch& other = &watch == &file_ ? target_ : file_;
    if (watch.descriptor >= 0 && watch.descriptor != other.descriptor) {
        ::inotify_rm_watch(inotify_.get(), watch.descriptor);
    }
    watch.descriptor = -1;
}

void FileChangeWatcher::followLink()
{
    Watch wanted;
    if (const std::optional<std::filesystem::path> destination = linkDestination(file_.folder / file_.name)) {
        wanted.folder = folderOf(*destination);
        wanted.name = destination->filename().string();
    }
    if (wanted.folder == target_.folder && wanted.name == target_.name) {
        return;
    }
    abandon(target_);
    target_ = std::move(wanted);
}

void FileChangeWatcher::run()
{
    // The file may have changed between the owner's last look and the watches taking hold, or while
    // a folder was missing.
    bool lookNow = true;
    for (;;) {
        if (establish(file_)) {
            // The link, if it is one, may have been changed while its folder was not watched.
            followLink();
            lookNow = true;
        }
        if (establish(target_)) {
            lookNow = true;
        }
        if (lookNow) {
            notify();
            lookNow = false;
        }

        int timeout = -1;
        if (!inotify_) {
            timeout = kPollingFallbackMilliseconds;
        } else if (file_.descriptor < 0 || (!target_.folder.empty() && target_.descriptor < 0)) {
            timeout = kFolderRetryMilliseconds;
        }
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {inotify_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, inotify_ ? 2 : 1, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (ready == 0) {
            if (!inotify_) {
                lookNow = true;
            } else {
                // A folder is still missing; the link may lead elsewhere by now.
                followLink();
            }
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t requests = 0;
            while (::read(wake_.get(), &requests, sizeof requests) < 0 && errno == EINTR) {
            }
            if (stopping_.load()) {
                return;
            }
            lookNow = true;
        }
        if (inotify_ && (fds[1].revents & POLLIN) != 0 && drainEvents()) {
            // The event may have been the link itself being replaced.
            followLink();
            lookNow = true;
        }
    }
}

bool FileChangeWatcher::namesWatchedFile(const Watch& watch, const char* name, std::uint32_t mask) const
{
    if (watch.name != name) {
        return false;
    }
    if ((mask & IN_CREATE) == 0) {
        return true;
    }
    std::error_code error;
    return std::filesystem::is_symlink(watch.folder / watch.name, error);
}

bool FileChangeWatcher::drainEvents()
{
    bool relevant = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(inotify_.get(), buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < got;) {
            inotify_event event{};
            std::memcpy(&event, buffer + offset, sizeof event);
            const char* name = buffer + offset + static_cast<ssize_t>(sizeof event);
            offset += static_cast<ssize_t>(sizeof event + event.len);

            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                relevant = true;
                continue;
            }
            const bool aboutFile = event.wd == file_.descriptor;
            const bool aboutTarget = event.wd == target_.descriptor;
            if (!aboutFile && !aboutTarget) {
                continue;  // the tail of a watch given up earlier
            }
            if ((event.mask & kFolderGone) != 0) {
                // A moved folder keeps its watch under the new name; give it up and watch the path
                // again once something exists there.
                ::inotify_rm_watch(inotify_.get(), event.wd);
                if (aboutFile) {
                    file_.descriptor = -1;
                }
                if (aboutTarget) {
                    target_.descriptor = -1;
                }
                relevant = true;
                continue;
            }
            if (event.len > 0 && ((aboutFile && namesWatchedFile(file_, name, event.mask)) ||
                                  (aboutTarget && namesWatchedFile(target_, name, event.mask)))) {
                relevant = true;
            }
        }
    }
    return relevant;
}

}  // namespace korvane
