#include "core/settings/FileChangeWatcher.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace korvane {

namespace {

constexpr int kFolderRetryMilliseconds = 1000;
constexpr int kPollingFallbackMilliseconds = 2000;

// IN_CREATE and IN_MODIFY are left out on purpose: they arrive while a writer is still filling the
// file, and reading it then would see half a document. Every ordinary way of saving ends with a
// close after writing or a rename into place.
constexpr std::uint32_t kFileEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB;
constexpr std::uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

}  // namespace

FileChangeWatcher::FileChangeWatcher(std::filesystem::path file, std::function<void()> changed)
    : folder_(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path()),
      fileName_(file.filename().string()), changed_(std::move(changed)),
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

void FileChangeWatcher::run()
{
    int watch = -1;
    // The file may have changed between the owner's last look and the watch taking hold, or while
    // the folder was missing.
    bool lookNow = true;
    for (;;) {
        if (inotify_ && watch < 0) {
            watch = ::inotify_add_watch(inotify_.get(), folder_.c_str(), kFileEvents | kFolderGone | IN_ONLYDIR);
            lookNow = lookNow || watch >= 0;
        }
        if (lookNow) {
            notify();
            lookNow = false;
        }

        int timeout = -1;
        if (!inotify_) {
            timeout = kPollingFallbackMilliseconds;
        } else if (watch < 0) {
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
                notify();
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
        if (inotify_ && (fds[1].revents & POLLIN) != 0 && drainEvents(watch)) {
            lookNow = true;
        }
    }
}

bool FileChangeWatcher::drainEvents(int& watch)
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
            if (event.wd != watch) {
                continue;  // the tail of a watch given up earlier
            }
            if ((event.mask & kFolderGone) != 0) {
                // A moved folder keeps its watch under the new name; give it up and watch the path
                // again once something exists there.
                ::inotify_rm_watch(inotify_.get(), watch);
                watch = -1;
                relevant = true;
                continue;
            }
            if (event.len > 0 && fileName_ == name) {
                relevant = true;
            }
        }
    }
    return relevant;
}

}  // namespace korvane
