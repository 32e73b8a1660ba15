#include "tests/support/http/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace korvane::testing {

namespace {

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("loopback HTTP server: ") + what + ": " + std::strerror(errno));
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// Sends everything unless the peer went away.
bool sendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace

HttpResponse HttpResponse::closingConnection() const
{
    HttpResponse copy = *this;
    copy.closeDelimited = true;
    return copy;
}

HttpResponse HttpResponse::stallingAfter(std::size_t bodyBytes) const
{
    HttpResponse copy = *this;
    copy.stallAfterBodyBytes = bodyBytes;
    return copy;
}

HttpResponse HttpResponse::stallingBeforeResponse() const
{
    HttpResponse copy = *this;
    copy.stallBeforeResponse = true;
    return copy;
}

HttpResponse HttpResponse::followedBy(std::string bytes) const
{
    HttpResponse copy = *this;
    copy.extraBytes = std::move(bytes);
    return copy;
}

HttpResponse ok(std::string body)
{
    return withStatus(200, std::move(body));
}

HttpResponse withStatus(int status, std::string body)
{
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        fail("pipe");
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        fail("socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        fail("bind");
    }
    if (::listen(listenFd_, 16) != 0) {
        fail("listen");
    }
    socklen_t length = sizeof address;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        fail("getsockname");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Closing the write end wakes every poll() that watches the read end, for good.
    ::close(wakeWrite_);
    acceptor_.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(mutex_);
        connections.swap(connections_);
    }
    for (auto& connection : connections) {
        connection.join();
    }
    ::close(listenFd_);
    ::close(wakeRead_);
}

std::string LoopbackHttpServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void LoopbackHttpServer::serve(const std::string& path, HttpResponse response)
{
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
}

void LoopbackHttpServer::redirect(const std::string& path, const std::string& location, int status)
{
    HttpResponse response;
    response.status = status;
    response.headers.emplace_back("Location", location);
    serve(path, std::move(response));
}

std::size_t LoopbackHttpServer::requestCount(std::string_view path) const
{
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& requested : requests_) {
        count += requested == path ? 1 : 0;
    }
    return count;
}

std::vector<std::string> LoopbackHttpServer::requestedPaths() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

HttpResponse LoopbackHttpServer::responseFor(const std::string& path)
{
    std::lock_guard lock(mutex_);
    requests_.push_back(path);
    if (const auto found = routes_.find(path); found != routes_.end()) {
        return found->second;
    }
    HttpResponse missing;
    missing.status = 404;
    missing.body = "not found";
    return missing;
}

void LoopbackHttpServer::acceptLoop()
{
    for (;;) {
        pollfd watched[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        std::lock_guard lock(mutex_);
        connections_.emplace_back([this, fd] {
            handleConnection(fd);
            ::close(fd);
        });
    }
}

bool LoopbackHttpServer::waitUntilStoppedOrClosed(int fd) const
{
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN | POLLRDHUP, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return true;
        }
        if (watched[1].revents != 0) {
            return true;
        }
        char scratch[512];
        if (::recv(fd, scratch, sizeof scratch, 0) <= 0) {
            return true;
        }
    }
}

void LoopbackHttpServer::handleConnection(int fd)
{
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0) {
            return;
        }
        char buffer[4096];
        const ssize_t received = ::recv(fd, buffer, sizeof buffer, 0);
        if (received <= 0) {
            return;
        }
        request.append(buffer, static_cast<std::size_t>(received));
    }
    // "GET /path HTTP/1.1"
    const std::size_t methodEnd = request.find(' ');
    const std::size_t targetEnd = request.find(' ', methodEnd + 1);
    if (methodEnd == std::string::npos || targetEnd == std::string::npos) {
        return;
    }
    std::string path = request.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    path = path.substr(0, path.find('?'));
    const HttpResponse response = responseFor(path);

    if (response.stallBeforeResponse) {
        waitUntilStoppedOrClosed(fd);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    head += "Connection: close\r\n";
    if (!response.closeDelimited) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "\r\n";
    if (!sendAll(fd, head)) {
        return;
    }
    std::string_view body = response.body;
    if (response.stallAfterBodyBytes && *response.stallAfterBodyBytes < body.size()) {
        if (sendAll(fd, body.substr(0, *response.stallAfterBodyBytes))) {
            waitUntilStoppedOrClosed(fd);
        }
        return;
    }
    if (sendAll(fd, body)) {
        sendAll(fd, response.extraBytes);
    }
    ::shutdown(fd, SHUT_WR);
}

}  // namespace korvane::testing
