#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane {

// Whether Korvane starts at login, as the login item reports it.
enum class LoginItemStatus {
    notRegistered,     // no active entry: Korvane does not start at login
    enabled,           // an active entry starts Korvane at login
    requiresApproval,  // an entry exists but the desktop waits for the user's consent
    notFound,          // there is nowhere to keep an entry (no home folder)
};

// Start at Login through the XDG autostart rules: an entry korvane.desktop in the user's autostart
// folder ($XDG_CONFIG_HOME/autostart) starts Korvane at login; one there with Hidden=true switches
// off an entry of the same name in the system's folders ($XDG_CONFIG_DIRS/autostart, such as one a
// package installs). The status is read from the files on every call, so an entry changed by hand
// or by the desktop's own startup settings shows at once. Desktops never ask for approval here.
class LoginItem {
public:
    static constexpr const char* kEntryName = "korvane.desktop";

    // `executable` is what the entry launches; `systemFolders` are searched after `userFolder`, in
    // order, as the rules say.
    LoginItem(std::filesystem::path userFolder, std::vector<std::filesystem::path> systemFolders,
              std::filesystem::path executable);

    // The folders of this session: $XDG_CONFIG_HOME/autostart (else ~/.config/autostart) and each
    // folder of $XDG_CONFIG_DIRS (else /etc/xdg) with /autostart appended.
    static LoginItem forSession(std::filesystem::path executable);

    LoginItemStatus status() const;

    // Writes the user's entry (replacing any other entry of the name there). Returns an empty
    // string on success, else what went wrong, for the user.
    std::string registerEntry();

    // Removes the user's entry, or, when a system folder still holds an active entry of the name,
    // writes a user entry with Hidden=true over it. Returns an empty string on success, else what
    // went wrong.
    std::string unregisterEntry();

    // The folder the desktop's startup settings show: the user's autostart folder.
    const std::filesystem::path& folder() const { return userFolder_; }
    std::filesystem::path entryPath() const;

private:
    // The entry the session would use: the user's when there is one, else the first system one.
    std::filesystem::path effectiveEntryPath() const;
    bool systemEntryActive() const;

    std::filesystem::path userFolder_;
    std::vector<std::filesystem::path> systemFolders_;
    std::filesystem::path executable_;
};

}  // namespace korvane
