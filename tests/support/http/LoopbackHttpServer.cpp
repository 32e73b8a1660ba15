#include "tests/support/http/LoopbackHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
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

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// "Name: value" lines after the request line, up to the blank line; names in lower case.
std::vector<std::pair<std::string, std::string>> parseHeaders(const std::string& request)
{
    std::vector<std::pair<std::string, std::string>> headers;
    const std::size_t end = request.find("\r\n\r\n");
    std::size_t line = request.find("\r\n");
    while (line != std::string::npos && line < end) {
        const std::size_t start = line + 2;
        line = request.find("\r\n", start);
        const std::string_view text(request.data() + start, std::min(line, end) - start);
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string_view value = text.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') {
            value.remove_prefix(1);
        }
        headers.emplace_back(lowerCase(text.substr(0, colon)), std::string(value));
    }
    return headers;
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

// One accepted connection: plain bytes on a blocking socket, or TLS on a non-blocking one so that
// every wait (the handshake included) also ends when the server stops.
class LoopbackHttpServer::Stream {
public:
    Stream(const LoopbackHttpServer& server, int fd) : server_(server), fd_(fd)
    {
        if (server.tls_ != nullptr) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ssl_ = SSL_new(server.tls_);
            SSL_set_fd(ssl_, fd);
        }
    }
    ~Stream()
    {
        if (ssl_ != nullptr) {
            SSL_free(ssl_);
        }
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Completes the TLS handshake; always true for plain HTTP.
    bool handshake()
    {
        return ssl_ == nullptr || retrying([this] { return SSL_accept(ssl_); }) > 0;
    }

    // Up to `size` bytes once some arrive; 0 at end of stream, on an error or when the server stops.
    std::size_t receive(char* buffer, std::size_t size)
    {
        if (ssl_ != nullptr) {
            const int received = retrying([&] { return SSL_read(ssl_, buffer, static_cast<int>(size)); });
            return received > 0 ? static_cast<std::size_t>(received) : 0;
        }
        if (!server_.waitFor(fd_, POLLIN)) {
            return 0;
        }
        const ssize_t received = ::recv(fd_, buffer, size, 0);
        return received > 0 ? static_cast<std::size_t>(received) : 0;
    }

    // Sends everything unless the peer went away.
    bool sendAll(std::string_view data)
    {
        if (ssl_ == nullptr) {
            return korvane::testing::sendAll(fd_, data);
        }
        while (!data.empty()) {
            const int sent = retrying([&] {
                return SSL_write(ssl_, data.data(), static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20)));
            });
            if (sent <= 0) {
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Ends what this side sends: a TLS close_notify, then the socket's write side.
    void finish()
    {
        if (ssl_ != nullptr) {
            SSL_shutdown(ssl_);
        }
        ::shutdown(fd_, SHUT_WR);
    }

private:
    // Repeats a TLS call while it only waits for the socket; its result, or 0 when the server stops.
    template <class Call>
    int retrying(Call call)
    {
        for (;;) {
            const int result = call();
            if (result > 0) {
                return result;
            }
            const int error = SSL_get_error(ssl_, result);
            const short events = error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
            if (events == 0 || !server_.waitFor(fd_, events)) {
                ERR_clear_error();
                return result < 0 ? result : 0;
            }
        }
    }

    const LoopbackHttpServer& server_;
    int fd_;
    SSL* ssl_ = nullptr;
};

LoopbackHttpServer::LoopbackHttpServer()
{
    start();
}

LoopbackHttpServer::LoopbackHttpServer(const TlsIdentity& tls)
{
    // OpenSSL writes with write(), not send(MSG_NOSIGNAL): a client that hangs up on a refused
    // certificate would otherwise end the whole test process with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    tls_ = SSL_CTX_new(TLS_server_method());
    if (tls_ == nullptr || SSL_CTX_use_certificate_chain_file(tls_, tls.certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tls_, tls.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(tls_);
        throw std::runtime_error("loopback HTTP server: cannot load the TLS certificate " + tls.certificateFile);
    }
    start();
}

void LoopbackHttpServer::start()
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
    SSL_CTX_free(tls_);
}

std::string LoopbackHttpServer::baseUrl() const
{
    return std::string(tls_ != nullptr ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/";
}

bool LoopbackHttpServer::waitForFailedHandshakes(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return handshakeFailed_.wait_for(lock, timeout, [&] { return failedHandshakes_ >= count; });
}

bool LoopbackHttpServer::waitFor(int fd, short events) const
{
    for (;;) {
        pollfd watched[2] = {{fd, events, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        return watched[1].revents == 0;
    }
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
        count += requested.path == path ? 1 : 0;
    }
    return count;
}

std::vector<std::string> LoopbackHttpServer::requestedPaths() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& requested : requests_) {
        paths.push_back(requested.path);
    }
    return paths;
}

std::vector<std::string> LoopbackHttpServer::headerValues(std::string_view path, std::string_view name) const
{
    const std::string wanted = lowerCase(name);
    std::lock_guard lock(mutex_);
    std::vector<std::string> values;
    for (const auto& requested : requests_) {
        if (requested.path != path) {
            continue;
        }
        std::string value;
        for (const auto& [header, headerValue] : requested.headers) {
            if (header == wanted) {
                value = headerValue;
            }
        }
        values.push_back(value);
    }
    return values;
}

HttpResponse LoopbackHttpServer::responseFor(Request request)
{
    std::lock_guard lock(mutex_);
    const std::string path = request.path;
    requests_.push_back(std::move(request));
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
    Stream stream(*this, fd);
    if (!stream.handshake()) {
        {
            std::lock_guard lock(mutex_);
            ++failedHandshakes_;
        }
        handshakeFailed_.notify_all();
        return;
    }
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        char buffer[4096];
        const std::size_t received = stream.receive(buffer, sizeof buffer);
        if (received == 0) {
            return;
        }
        request.append(buffer, received);
    }
    // "GET /path HTTP/1.1"
    const std::size_t methodEnd = request.find(' ');
    const std::size_t targetEnd = request.find(' ', methodEnd + 1);
    if (methodEnd == std::string::npos || targetEnd == std::string::npos) {
        return;
    }
    std::string path = request.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    path = path.substr(0, path.find('?'));
    const HttpResponse response = responseFor({path, parseHeaders(request)});

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
    if (!stream.sendAll(head)) {
        return;
    }
    std::string_view body = response.body;
    if (response.stallAfterBodyBytes && *response.stallAfterBodyBytes < body.size()) {
        if (stream.sendAll(body.substr(0, *response.stallAfterBodyBytes))) {
            waitUntilStoppedOrClosed(fd);
        }
        return;
    }
    if (stream.sendAll(body)) {
        stream.sendAll(response.extraBytes);
    }
    stream.finish();
}

}  // namespace korvane::testing
