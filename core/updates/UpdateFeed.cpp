#include "core/updates/UpdateFeed.h"

#include "core/updates/VersionNumber.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace korvane {

namespace {

// A host name of dot-separated labels of letters, digits and hyphens, or a bracketed IPv6 literal:
// what libcurl and a browser both read the same way.
bool isWellFormedHost(std::string_view host)
{
    const auto isHex = [](char c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); };
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        const std::string_view inside = host.substr(1, host.size() - 2);
        return inside.find(':') != std::string_view::npos &&
               std::all_of(inside.begin(), inside.end(), [&](char c) { return isHex(c) || c == ':' || c == '.'; });
    }
    if (host.empty() || host.size() > 253) {
        return false;
    }
    std::size_t label = 0;
    for (const char c : host) {
        if (c == '.') {
            if (label == 0) {
                return false;
            }
            label = 0;
        } else if ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c == '-' && label > 0)) {
            ++label;
        } else {
            return false;
        }
    }
    return label > 0;
}

// A scheme we may hand to the browser, followed by a well-formed host, and no characters that would
// let the address be read two ways.
bool isBrowsableHttpsUrl(std::string_view url)
{
    constexpr std::string_view scheme = "https://";
    if (url.size() <= scheme.size() ||
        !std::equal(scheme.begin(), scheme.end(), url.begin(),
                    [](char expected, char actual) { return expected == (actual | 0x20); })) {
        return false;
    }
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f || c == '\\'; })) {
        return false;
    }
    const std::string host = urlHost(url);
    if (!isWellFormedHost(host)) {
        return false;
    }
    // After the host only a port may follow: "[::1]484" or "a.b:port" would be read as another
    // address, or refused, by whoever opens the page.
    std::string_view authority = url.substr(scheme.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    // urlHost read the host from the start of what follows the last '@'.
    const std::size_t userEnd = authority.rfind('@');
    const std::size_t hostStart = userEnd == std::string_view::npos ? 0 : userEnd + 1;
    const std::string_view afterHost = authority.substr(hostStart + host.size());
    if (afterHost.empty()) {
        return true;
    }
    const std::string_view port = afterHost.substr(1);
    return afterHost.front() == ':' && !port.empty() && port.size() <= 5 &&
           std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string urlHost(std::string_view url)
{
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) {
        return {};
    }
    std::string_view rest = url.substr(schemeEnd + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        rest.remove_prefix(at + 1);
    }
    if (!rest.empty() && rest.front() == '[') {
        // An IPv6 literal keeps its brackets; drop only a port after them.
        const std::size_t close = rest.find(']');
        return close == std::string_view::npos ? std::string() : std::string(rest.substr(0, close + 1));
    }
    return std::string(rest.substr(0, rest.find(':')));
}

std::variant<UpdateOffer, std::string> parseUpdateFeed(std::string_view body)
{
    const nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_discarded()) {
        return std::string("the update feed is not JSON");
    }
    if (!document.is_object()) {
        return std::string("the update feed is not a JSON object");
    }
    const auto version = document.find("version");
    if (version == document.end() || !version->is_string() ||
        !VersionNumber::parse(version->get_ref<const std::string&>())) {
        return std::string("the update feed has no valid \"version\"");
    }
    const auto page = document.find("releasePage");
    if (page == document.end() || !page->is_string() || !isBrowsableHttpsUrl(page->get_ref<const std::string&>())) {
        return std::string("the update feed has no https \"releasePage\"");
    }
    UpdateOffer offer;
    offer.version = version->get<std::string>();
    offer.releasePage = page->get<std::string>();
    if (const auto notes = document.find("notes"); notes != document.end()) {
        if (!notes->is_string()) {
            return std::string("the update feed's \"notes\" are not text");
        }
        offer.notes = notes->get<std::string>();
    }
    return offer;
}

}  // namespace korvane
