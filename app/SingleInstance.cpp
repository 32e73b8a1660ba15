#include "app/SingleInstance.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A request is a word and at most two tokens, an answer one short word; anything longer is not ours.
constexpr qsizetype maxRequestBytes = 64 + 2 * (32 + kMaxActivationTokenBytes);
constexpr std::size_t maxAnswerBytes = 64;
// A client that connects and says nothing is dropped after this long.
constexpr int silentClientMs = 2000;

constexpr std::string_view answerOk = "ok";
constexpr std::string_view answerUnknown = "unknown";

// Usable for the lock and the socket: a real directory of this user that nobody else may enter.
bool isPrivateDirectory(const std::filesystem::path& directory, std::string& problem)
{
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0) {
        problem = directory.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = directory.string() + " is not a directory";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        problem = directory.string() + " belongs to another user";
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        problem = directory.string() + " is open to other users";
        return false;
    }
    return true;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A connected socket to the instance, or -1 when nobody listens there.
int connectTo(const std::filesystem::path& socket)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket.string();
    if (path.size() >= sizeof(address.sun_path)) {
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    // A local connect completes or fails at once; there is nothing to wait for.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Milliseconds left until `deadline`, for poll(); 0 once it passed.
int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Sends the request line and reads the answer line on a connected socket.
InstanceReply exchange(int fd, const InstanceMessage& message, Clock::time_point deadline)
{
    const std::string line = requestLine(message) + "\n";
    std::size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t written = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return InstanceReply::noAnswer;
        }
        sent += static_cast<std::size_t>(written);
    }
    std::string received;
    while (received.find('\n') == std::string::npos && received.size() < maxAnswerBytes) {
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return InstanceReply::noAnswer;
        }
        char buffer[maxAnswerBytes];
        const ssize_t count = ::recv(fd, buffer, sizeof(buffer), 0);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return InstanceReply::noAnswer;
        }
        received.append(buffer, static_cast<std::size_t>(count));
    }
    const std::string answer = received.substr(0, received.find('\n'));
    if (answer == answerOk) {
        return InstanceReply::answered;
    }
    return answer == answerUnknown ? InstanceReply::refused : InstanceReply::noAnswer;
}

}  // namespace

std::optional<InstancePaths> findInstancePaths(std::string& problem)
{
    const std::vector<std::filesystem::path> candidates =
        instanceDirectoryCandidates(std::getenv("XDG_RUNTIME_DIR"), ::getuid());
    std::string problems;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const std::filesystem::path& directory = candidates[i];
        if (i + 1 == candidates.size()) {
            // Our own fallback folder: made private from the start. An existing one is checked
            // below like any other, so another user cannot plant one for us.
            ::mkdir(directory.c_str(), 0700);
        }
        std::string why;
        if (isPrivateDirectory(directory, why)) {
            return InstancePaths{directory / "korvane.lock", directory / "korvane.socket"};
        }
        problems += (problems.empty() ? "" : "; ") + why;
    }
    problem = problems;
    return std::nullopt;
}

InstanceLock::InstanceLock(std::filesystem::path file) : file_(std::move(file))
{
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0) {
        ::close(fd_);  // lets go of the lock
    }
}

bool InstanceLock::open()
{
    if (fd_ < 0) {
        fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    return fd_ >= 0;
}

bool InstanceLock::tryAcquire()
{
    if (!held_ && open()) {
        held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    return held_;
}

bool InstanceLock::heldElsewhere()
{
    if (held_) {
        return false;
    }
    if (!open()) {
        return false;  // no lock file can exist there, so nobody holds one
    }
    if (::flock(fd_, LOCK_SH | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK;
    }
    ::flock(fd_, LOCK_UN);
    return false;
}

InstanceReply askRunningInstance(const InstancePaths& paths, const InstanceMessage& message,
                                 std::chrono::milliseconds patience, InstanceLock* takeOver)
{
    const Clock::time_point deadline = Clock::now() + patience;
    InstanceLock probe(paths.lockFile);
    if (takeOver != nullptr && !takeOver->usable()) {
        return InstanceReply::notRunning;  // nobody can hold a lock that cannot be opened
    }
    while (true) {
        if (takeOver != nullptr && takeOver->tryAcquire()) {
            return InstanceReply::notRunning;
        }
        const Descriptor socket(connectTo(paths.socket));
        if (socket.get() >= 0) {
            const InstanceReply reply = exchange(socket.get(), message, deadline);
            if (reply != InstanceReply::refused || message.tokens.empty()) {
                return reply;
            }
            // An older instance knows the request but not the tokens: the request matters more.
            const Descriptor again(connectTo(paths.socket));
            return again.get() >= 0 ? exchange(again.get(), InstanceMessage{message.request, {}}, deadline)
                                    : InstanceReply::noAnswer;
        }
        // Nobody listens. Without a lock holder no instance runs (a socket file left there is a
        // dead one's); with one, it is still starting and will listen shortly.
        if (takeOver == nullptr && !probe.heldElsewhere()) {
            return InstanceReply::notRunning;
        }
        if (Clock::now() >= deadline) {
            return InstanceReply::noAnswer;
        }
        std::this_thread::sleep_for(50ms);
    }
}

InstanceServer::InstanceServer(InstancePaths paths, Handler handler, LogSink log)
    : paths_(std::move(paths)), handler_(std::move(handler)), log_(std::move(log)), server_(new QLocalServer(this))
{
    // Only this user may connect, whatever the folder's permissions turn out to be.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(server_, &QLocalServer::newConnection, this, [this] { accept(); });
}

InstanceServer::~InstanceServer() = default;

bool InstanceServer::listen()
{
    const QString name = QString::fromStdString(paths_.socket.string());
    // Holding the lock means no live instance listens here; a socket file is a dead one's.
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) {
        log_("Single instance: cannot listen on " + paths_.socket.string() + ": " +
             server_->errorString().toStdString());
        return false;
    }
    log_("Single instance: listening on " + paths_.socket.string());
    return true;
}

void InstanceServer::accept()
{
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        // The socket's folder and mode keep other users out; the kernel's word on who connected
        // holds even where they were loosened.
        ucred peer{};
        socklen_t length = sizeof(peer);
        if (::getsockopt(static_cast<int>(client->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
            peer.uid != ::getuid()) {
            log_("Single instance: refusing a connection from user " + std::to_string(peer.uid));
            client->abort();
            client->deleteLater();
            continue;
        }
        struct Pending {
            QByteArray received;
            bool answered = false;
        };
        auto pending = std::make_shared<Pending>();
        QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QObject::connect(client, &QLocalSocket::readyRead, this, [this, client, pending] {
            if (pending->answered) {
                client->readAll();  // one request per connection
                return;
            }
            pending->received.append(client->readAll());
            const qsizetype end = pending->received.indexOf('\n');
            if (end < 0 && pending->received.size() <= maxRequestBytes) {
                return;  // the rest of the line is still on its way
            }
            pending->answered = true;
            answer(client, pending->received.left(end < 0 ? maxRequestBytes : end));
        });
        QTimer::singleShot(silentClientMs, client, [client] {
            client->abort();
            client->deleteLater();
        });
    }
}

void InstanceServer::answer(QLocalSocket* client, const QByteArray& line)
{
    const std::string text = line.toStdString();
    const std::optional<InstanceMessage> message = parseRequestLine(text);
    if (!message) {
        std::string shown = text.substr(0, 32);
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
                c = '?';
            }
        }
        log_("Refusing to act on an instance request that is not one: \"" + shown + "\"");
        client->write(QByteArray::fromStdString(std::string(answerUnknown) + "\n"));
        client->disconnectFromServer();
        return;
    }
    // Which tokens came along, not their values: they are only good for the one activation.
    std::string carried;
    if (!message->tokens.startupId.empty()) {
        carried += " with a startup id";
    }
    if (!message->tokens.activationToken.empty()) {
        carried += carried.empty() ? " with an activation token" : " and an activation token";
    }
    log_("Instance request: " + std::string(requestWord(message->request)) + carried);
    client->write(QByteArray::fromStdString(std::string(answerOk) + "\n"));
    client->disconnectFromServer();
    QTimer::singleShot(0, this, [this, chosen = *message] { handler_(chosen); });
}

}  // namespace korvane
