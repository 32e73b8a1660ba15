#include "transcription/models/ModelUrl.h"

#include "transcription/models/CurlUrlHandle.h"

#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <memory>
#include <optional>

namespace korvane {

namespace {

std::optional<std::string> urlPart(CURLU* url, CURLUPart part)
{
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) {
        return std::nullopt;
    }
    std::string copy(text);
    curl_free(text);
    return copy;
}

bool isLoopbackHost(std::string host)
{
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char character) { return static_cast<char>(std::tolower(character)); });
    if (host == "localhost" || host == "[::1]") {
        return true;
    }
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
        return false;
    }
    return (ntohl(address.s_addr) >> 24) == 127;
}

}  // namespace

ModelUrlKind classifyModelUrl(const std::string& url)
{
    // libcurl reads a C string: a NUL would end the address it checks early, while the log showed the
    // rest. Spaces and control characters have no place in an address either.
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; })) {
        return ModelUrlKind::refused;
    }
    const CurlUrlHandle parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return ModelUrlKind::refused;
    }
    // Credentials would end up in the debug log with the address.
    if (urlPart(parsed.get(), CURLUPART_USER) || urlPart(parsed.get(), CURLUPART_PASSWORD)) {
        return ModelUrlKind::refused;
    }
    const std::optional<std::string> scheme = urlPart(parsed.get(), CURLUPART_SCHEME);
    const std::optional<std::string> host = urlPart(parsed.get(), CURLUPART_HOST);
    if (!scheme || !host || host->empty()) {
        return ModelUrlKind::refused;
    }
    // libcurl also takes "https:/host" and "https:///host", which other readers of the address
    // would not.
    if (url.size() <= scheme->size() + 3 || url.compare(scheme->size(), 3, "://") != 0 ||
        url[scheme->size() + 3] == '/') {
        return ModelUrlKind::refused;
    }
    if (*scheme == "https") {
        return ModelUrlKind::https;
    }
    if (*scheme == "http" && isLoopbackHost(*host)) {
        return ModelUrlKind::loopbackHttp;
    }
    return ModelUrlKind::refused;
}

}  // namespace korvane
