#include "platform/linux/updates/ExecutableWatch.h"

#include <QString>

namespace korvane {

ExecutableWatch::ExecutableWatch(std::filesystem::path executable, std::function<void()> onReplaced,
                                 std::chrono::milliseconds settle, QObject* parent)
    : QObject(parent), executable_(std::move(executable)), onReplaced_(std::move(onReplaced)),
      reported_(identifyExecutable(executable_))
{
    settle_.setSingleShot(true);
    settle_.setInterval(settle);
    connect(&settle_, &QTimer::timeout, this, &ExecutableWatch::look);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &ExecutableWatch::changed);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ExecutableWatch::changed);
    watcher_.addPath(QString::fromStdString(executable_.parent_path().string()));
    changed();
}

bool ExecutableWatch::isWatching() const
{
    return !watcher_.directories().isEmpty();
}

void ExecutableWatch::changed()
{
    // The file itself is watched too, so that writes into a new file restart the wait; a watch
    // follows an inode, so it is set again for whatever file the path names now.
    const QString file = QString::fromStdString(executable_.string());
    watcher_.removePath(file);
    watcher_.addPath(file);
    settle_.start();
}

void ExecutableWatch::look()
{
    const std::optional<ExecutableIdentity> current = identifyExecutable(executable_);
    if (!current || current == reported_) {
        return;
    }
    reported_ = current;
    if (onReplaced_) {
        onReplaced_();
    }
}

}  // namespace korvane
