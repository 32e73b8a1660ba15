#pragma once

#include <string>

namespace korvane {

// How asking the desktop for keyboard input (the portal's remote desktop session) ended. A refusal
// is the user's choice and worth remembering; a failure is not, and the next launch may ask again.
struct RemoteDesktopStart {
    enum class Outcome { started, refused, failed };

    Outcome outcome = Outcome::failed;
    // started: what reopens the session without asking the user at the next launch; empty when
    // the portal keeps no grant.
    std::string restoreToken;
    // refused or failed: why, in words for the log.
    std::string reason;
};

}  // namespace korvane
