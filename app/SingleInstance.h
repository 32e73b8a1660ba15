#pragma once

#include "app/CommandLine.h"
#include "base/logging/LogSink.h"

#include <QObject>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace korvane {

// Where this user's running Korvane is found: a lock file that the running instance holds for its
// whole life, and the socket it listens on beside it.
struct InstancePaths {
    std::filesystem::path lockFile;
    std::filesystem::path socket;
};

// The first of instanceDirectoryCandidates() that is usable: a directory (not a link) owned by this
// user that nobody else may enter; the /tmp fallback is created so when missing. Nothing when none
// is usable (`problem` then says why); the caller runs without a single instance.
std::optional<InstancePaths> findInstancePaths(std::string& problem);

// The instance lock (flock). The kernel lets go of it when its holder ends in any way, so a lock
// nobody holds means no instance runs, whatever socket file a killed one left behind; and of two
// starts at the same moment exactly one gets it.
class InstanceLock {
public:
    explicit InstanceLock(std::filesystem::path file);
    ~InstanceLock();

    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock when nobody holds it; true while this process holds it.
    bool tryAcquire();
    bool held() const { return held_; }
    // Whether the lock file can be opened at all; without it there is no single instance.
    bool usable() { return open(); }
    // Whether another process holds it. Only looks: a free lock is let go again at once.
    bool heldElsewhere();

private:
    bool open();

    std::filesystem::path file_;
    int fd_ = -1;
    bool held_ = false;
};

enum class InstanceReply {
    answered,    // the running instance took the request
    notRunning,  // no instance runs (or, for a start that may take over, this process is it now)
    noAnswer,    // an instance holds the lock but did not answer in time
    refused,     // it answered that it does not know the request (an older version still running)
};

// Sends `message` to the running instance and waits for its answer, at most `patience` in all. An
// instance that holds the lock but is still starting is waited for. With `takeOver`, a start that
// finds no instance takes the lock itself and gets notRunning: it is the instance from then on. An
// instance that refuses a message with tokens (a version from before them) is asked again without.
InstanceReply askRunningInstance(const InstancePaths& paths, const InstanceMessage& message,
                                 std::chrono::milliseconds patience, InstanceLock* takeOver = nullptr);

// The running instance's end: listens on the socket and hands each request to `handler` on the
// main thread, after the requester has its answer (so a window that takes its time to open never
// keeps the other process waiting). Main thread.
class InstanceServer final : public QObject {
public:
    using Handler = std::function<void(const InstanceMessage&)>;

    InstanceServer(InstancePaths paths, Handler handler, LogSink log = defaultLogSink());
    ~InstanceServer() override;

    InstanceServer(const InstanceServer&) = delete;
    InstanceServer& operator=(const InstanceServer&) = delete;

    // Listens, replacing a socket file that a dead instance left behind. Only while holding the
    // instance lock; false (and logged) when the socket cannot be had.
    bool listen();

private:
    void accept();
    void answer(QLocalSocket* client, const QByteArray& line);

    InstancePaths paths_;
    Handler handler_;
    LogSink log_;
    QLocalServer* server_ = nullptr;
};

}  // namespace korvane
