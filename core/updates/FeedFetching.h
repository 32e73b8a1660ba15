#pragma once

#include <optional>
#include <string>

namespace korvane {

// What one fetch of the update feed brought back.
struct FeedFetchResult {
    // The response body of a 2xx answer; nothing when the fetch failed.
    std::optional<std::string> body;
    // Why it failed (refused certificate, unreachable host, HTTP status, oversized answer...).
    std::string error;
};

// Fetches the update feed over HTTPS. Blocks until the answer is in or the fetch gives up; called on
// the background queue, never on the main thread. Implementations must verify the server's
// certificate and refuse anything but https.
class FeedFetching {
public:
    virtual ~FeedFetching() = default;
    virtual FeedFetchResult fetch(const std::string& url) = 0;
};

}  // namespace korvane
