#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace korvane {

// The newest release as the update feed describes it.
struct UpdateOffer {
    std::string version;      // as the feed writes it, e.g. "0.2.0"
    std::string releasePage;  // an https:// page to open in the browser
    std::string notes;        // plain text, may be empty

    bool operator==(const UpdateOffer&) const = default;
};

// The feed is one JSON object:
//   {"version": "0.2.0", "releasePage": "https://…/releases/0.2.0", "notes": "What changed."}
// "version" must be a version (see VersionNumber) and "releasePage" an https address with a host,
// since the page is handed to the browser; "notes" is optional; other members are ignored.
// Returns the offer, or a short reason (for the log and the "Check Now…" failure message) why the
// document was not accepted.
std::variant<UpdateOffer, std::string> parseUpdateFeed(std::string_view body);

// The host of an absolute URL ("korvane.app" for "https://korvane.app/updates/linux.json"); empty
// when the text has no "scheme://host" part.
std::string urlHost(std::string_view url);

}  // namespace korvane
