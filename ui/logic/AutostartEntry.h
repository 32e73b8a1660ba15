#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The desktop entry that starts Korvane when the user logs in (the XDG autostart rules), and what
// the login-time launcher reads back from one.
struct AutostartEntry {
    bool hidden = false;              // Hidden=true: the entry is switched off (and hides others of its name)
    bool disabledByDesktop = false;   // X-GNOME-Autostart-enabled=false, written by GNOME's startup list
    std::optional<std::string> exec;  // the Exec value as written (escapes and quotes still in)

    // Whether the session starts the entry.
    bool isActive() const { return !hidden && !disabledByDesktop; }
};

// The entry that starts `executable` (an absolute path), or that switches off an entry of the same
// name further down the search path when `hidden`.
std::string autostartEntryText(const std::filesystem::path& executable, bool hidden = false);

// One argument of an Exec line: always in double quotes, with the characters the desktop entry
// rules reserve escaped, so a path with spaces, quotes, dollars or percent signs survives.
std::string quotedExecArgument(std::string_view argument);

// The keys of the [Desktop Entry] group that matter here; other groups, comments and unknown keys
// are skipped, localized keys (Name[de]) too.
AutostartEntry parseAutostartEntry(std::string_view text);

// Splits an Exec value into its arguments as a launcher does: string escapes first (\\ \s \n \t
// \r), then quoting, then %% as a literal percent sign. Nothing when quotes are unbalanced, an
// escape inside quotes is not one of \" \` \$ \\, or a field code other than %% appears.
std::optional<std::vector<std::string>> splitExec(std::string_view value);

}  // namespace korvane
