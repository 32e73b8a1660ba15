#pragma once

#include "core/files/PosixFile.h"

#include <atomic>
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
// The folder may be missing or vanish later: the watcher then retries once a second until it
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
    void run();
    // Reads the pending inotify events; true when one concerns the file or the watch was lost.
    bool drainEvents(int& watch);
    void notify();

    std::filesystem::path folder_;
    std::string fileName_;
    std::function<void()> changed_;
    UniqueFd inotify_;
    UniqueFd wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace korvane
