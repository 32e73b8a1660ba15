#pragma once

#include "core/updates/FeedFetching.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace korvane {

// Fetches the update feed with libcurl: https only (redirects too), the server's certificate and
// host name verified against the system's certificate authorities, a small size limit and time-outs
// so that a broken server can neither fill memory nor hold a background thread for long. Requests
// carry the user agent "Korvane/<version>", the only thing about the installation a check reveals.
class CurlFeedFetcher final : public FeedFetching {
public:
    struct Options {
        // A PEM file of certificate authorities to trust instead of the system's; tests point it at
        // the authority that signed their loopback server. Empty: the system's.
        std::string certificateAuthorityFile;
        std::int64_t maxBytes = 256 * 1024;
        std::chrono::seconds connectTimeout{15};
        std::chrono::seconds totalTimeout{30};
    };

    CurlFeedFetcher() = default;
    explicit CurlFeedFetcher(Options options) : options_(std::move(options)) {}

    // Any thread; blocks until the answer is in or the fetch gives up.
    FeedFetchResult fetch(const std::string& url) override;

private:
    Options options_;
};

}  // namespace korvane
