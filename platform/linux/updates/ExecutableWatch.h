#pragma once

#include "core/updates/ExecutableIdentity.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

namespace korvane {

// Tells when the installed executable has been replaced by another file (a package upgrade), so the
// update controller can offer to relaunch into it. Watches the executable's folder, because the
// upgrade renames a new file into it; reports once the new file has stayed put for `settle`, so that
// a file still being written is never run. Each new file is reported once; the original coming back
// reports nothing. Main thread only.
class ExecutableWatch final : public QObject {
    Q_OBJECT

public:
    ExecutableWatch(std::filesystem::path executable, std::function<void()> onReplaced,
                    std::chrono::milliseconds settle = std::chrono::seconds(2), QObject* parent = nullptr);

    // False when the folder cannot be watched (the watch then reports nothing).
    bool isWatching() const;

private:
    void changed();
    void look();

    std::filesystem::path executable_;
    std::function<void()> onReplaced_;
    std::optional<ExecutableIdentity> reported_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace korvane
