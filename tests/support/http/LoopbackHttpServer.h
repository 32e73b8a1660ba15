#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

struct ssl_ctx_st;

namespace korvane::testing {

// The certificate and private key (PEM files) a TLS server presents; see TestCertificates.
struct TlsIdentity {
    std::string certificateFile;
    std::string keyFile;
};

// What the server answers for one path.
struct HttpResponse {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // sent after the standard ones

    // Send nothing at all (the request is read) and hold the connection open until the client
    // gives up or the server stops.
    bool stallBeforeResponse = false;
    // Send the headers and this many body bytes, then hold the connection open, silent.
    std::optional<std::size_t> stallAfterBodyBytes;
    // Leave out Content-Length and end the body by closing the connection.
    bool closeDelimited = false;
    // Bytes sent after the body, beyond the announced Content-Length.
    std::string extraBytes;

    // Copies with one more trait, so cases read as one expression: ok(body).closingConnection().
    HttpResponse closingConnection() const;
    HttpResponse stallingAfter(std::size_t bodyBytes) const;
    HttpResponse stallingBeforeResponse() const;
    HttpResponse followedBy(std::string bytes) const;
};

HttpResponse ok(std::string body);
HttpResponse withStatus(int status, std::string body = {});

// A small HTTP/1.1 server on 127.0.0.1 and an ephemeral port for tests: serves configured GET paths
// with the configured answers (404 for anything else), one connection per request, each on its own
// thread. Starts in the constructor; the destructor stops it, unblocks stalled connections and joins
// every thread. Given a TLS identity it speaks HTTPS instead (the stall traits are meant for plain
// HTTP).
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    // Throws std::runtime_error when the certificate or key cannot be loaded.
    explicit LoopbackHttpServer(const TlsIdentity& tls);
    ~LoopbackHttpServer();

    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return port_; }

    // "http://127.0.0.1:<port>/", or "https://…" for a TLS server.
    std::string baseUrl() const;

    // Waits up to `timeout` until `count` TLS connections ended before a request arrived (the
    // client refused the certificate); false when fewer did. The client learns of the refusal
    // before this server's side of the connection does, so a test must wait for it.
    bool waitForFailedHandshakes(std::size_t count, std::chrono::milliseconds timeout) const;

    // Answers GET `path` (starting with '/', without query) with `response` from now on.
    void serve(const std::string& path, HttpResponse response);

    // Answers GET `path` with a redirect to `location` (absolute URL or path).
    void redirect(const std::string& path, const std::string& location, int status = 302);

    // How many requests reached `path`, and every requested path in order.
    std::size_t requestCount(std::string_view path) const;
    std::vector<std::string> requestedPaths() const;
    // The value of header `name` (case-insensitive) in each request to `path`, in order; empty for a
    // request without it.
    std::vector<std::string> headerValues(std::string_view path, std::string_view name) const;

private:
    class Stream;

    void start();
    void acceptLoop();
    void handleConnection(int fd);
    bool waitUntilStoppedOrClosed(int fd) const;
    // Waits until `fd` is ready for `events`; false when the server is stopping.
    bool waitFor(int fd, short events) const;
    struct Request {
        std::string path;
        std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    };

    HttpResponse responseFor(Request request);

    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable handshakeFailed_;
    std::map<std::string, HttpResponse, std::less<>> routes_;
    std::vector<Request> requests_;
    std::size_t failedHandshakes_ = 0;
    ssl_ctx_st* tls_ = nullptr;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace korvane::testing
