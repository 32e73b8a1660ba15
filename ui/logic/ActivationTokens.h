#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What a launcher hands a program it starts, so that the window the program then shows may take the
// focus on a desktop that prevents focus stealing: the startup-notification id (DESKTOP_STARTUP_ID,
// X11) and the activation token (XDG_ACTIVATION_TOKEN, Wayland). A second start of Korvane passes
// them on to the running one, whose settings window is what comes forward. Either may be empty.
struct ActivationTokens {
    std::string startupId;
    std::string activationToken;

    bool empty() const { return startupId.empty() && activationToken.empty(); }
    bool operator==(const ActivationTokens&) const = default;
};

// Longer tokens are not taken: real ones are a few dozen characters.
inline constexpr std::size_t kMaxActivationTokenBytes = 256;

// `token` when it can be passed on as it is: printable ASCII without spaces, quotes or backslashes,
// at most kMaxActivationTokenBytes long. Anything else gives an empty string: it could travel
// neither as one word on the instance socket nor unquoted in a startup-notification message, and a
// token the desktop did not issue is worth nothing anyway.
std::string usableActivationToken(std::string_view token);

// Both tokens as a start finds them in its environment (null when unset), unusable ones left out.
ActivationTokens activationTokensFrom(const char* startupId, const char* activationToken);

// The X server time a startup id ends with ("..._TIME<decimal>"), the time of the user's action
// that started the program; window managers compare it with the user's later actions. Nothing when
// the id carries no such time.
std::optional<std::uint32_t> startupIdTime(std::string_view startupId);

}  // namespace korvane
