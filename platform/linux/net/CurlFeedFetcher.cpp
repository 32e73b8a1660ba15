#include "platform/linux/net/CurlFeedFetcher.h"

#include "base/version/BuildVersion.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>

namespace korvane {

namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct Transfer {
    std::string body;
    std::int64_t maxBytes = 0;
    bool tooLarge = false;
};

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& transfer = *static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (static_cast<std::int64_t>(transfer.body.size() + bytes) > transfer.maxBytes) {
        transfer.tooLarge = true;
        return 0;
    }
    transfer.body.append(data, bytes);
    return bytes;
}

}  // namespace

FeedFetchResult CurlFeedFetcher::fetch(const std::string& url)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    FeedFetchResult result;
    const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle) {
        result.error = "cannot start a transfer";
        return result;
    }
    Transfer transfer;
    transfer.maxBytes = options_.maxBytes;
    std::array<char, CURL_ERROR_SIZE> errorText{};
    CURL* easy = handle.get();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    // The feed decides which page the browser opens: it must come from the server we asked,
    // unaltered, so plain http is refused even at the end of a redirect.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options_.certificateAuthorityFile.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, options_.certificateAuthorityFile.c_str());
    }
    // Signals cannot be used for time-outs in a multi-threaded process.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options_.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, static_cast<long>(options_.totalTimeout.count()));
    // The Updates pane tells the user that a check sends the app version; this is where it goes.
    const std::string userAgent = "Korvane/" + std::string(korvaneVersion());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText.data());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);

    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (transfer.tooLarge) {
        result.error = "the update feed is larger than " + std::to_string(options_.maxBytes) + " bytes";
    } else if (code != CURLE_OK) {
        result.error = errorText[0] != '\0' ? errorText.data() : curl_easy_strerror(code);
    } else if (status < 200 || status > 299) {
        result.error = "the update server answered HTTP " + std::to_string(status);
    } else {
        result.body = std::move(transfer.body);
    }
    return result;
}

}  // namespace korvane
