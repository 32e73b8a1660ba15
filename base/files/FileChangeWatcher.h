#pragma once

#include "base/files/PosixFile.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace korvane {

// Watches the folder that holds one file and calls `changed` on its own thread whenever that file
// may have been written, replaced (editors often save by renaming a new file over the old one),
// renamed away or deleted, by this process or another. The callback decides what actually changed;
// it may also run once right after start, whenever the watch had to be re-established, and when
// asked to through lookAgain().
//
// When the file is a symbolic link (dotfile managers link settings into place), the folder of the
// file it leads to is watched as well, so that editing that file directly is seen too; the link is
// followed again each time it changes.
//
// A folder may be missing or vanish later: the watcher then retries once a second until it
// appears. If the kernel refuses an inotify instance it falls back to calling `changed` every two
// seconds. The thread stops, and is joined, when the watcher is destroyed.
class FileChangeWatcher {
public:
    FileChangeWatcher(std::filesystem::path file, std::function<void()> changed);
    ~FileChangeWatcher();

    FileChangeWatcher(const FileChangeWatcher&) = delete;
    FileChangeWatcher& operator=(const FileChangeWatcher&) = delete;

    // Has the thread call `changed` once more soon even though no event came. Any thread; does not
    // wait.
    void lookAgain();

private:
    // One name in one folder, and the inotify watch on that folder (-1 while there is none). Two
    // watches of the same folder share one descriptor: the kernel keeps one watch per folder.
    struct Watch {
        std::filesystem::path folder;
        std::string name;
        int descriptor = -1;
    };

    void run();
    // Watches the folder when it is not watched yet; true when that took hold just now.
    bool establish(Watch& watch);
    void abandon(Watch& watch);
    // Points target_ at the file that file_ leads to, or at nothing when file_ is no link.
    void followLink();
    // Reads the pending inotify events; true when one concerns a watched name or a watch was lost.
    bool drainEvents();
    bool namesWatchedFile(const Watch& watch, const char* name, std::uint32_t mask) const;
    void notify();

    Watch file_;
    Watch target_;
    std::function<void()> changed_;
    UniqueFd inotify_;
    UniqueFd wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace korvane
