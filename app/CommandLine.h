#pragma once

#include "ui/logic/ActivationTokens.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// What one start of the korvane executable is asked to do.
enum class CommandAction {
    run,       // no option or --settings: run in the tray, or open the running instance's settings window
    help,      // --help, -h
    version,   // --version
    toggle,    // --toggle: what the shortcut does in toggle mode
    start,     // --start: a press of the shortcut in hold mode
    stop,      // --stop: its release
    copyLast,  // --copy-last: the last transcript back on the clipboard
    selfTest,  // --self-test: check what a dictation needs and print one line per check
};

struct ParsedCommandLine {
    CommandAction action = CommandAction::run;
    // Not empty when the arguments were refused: one line saying why (the caller adds the hint
    // towards --help and exits with usageStatus).
    std::string error;
    // --verbose: with --version, the libraries Korvane is built on and their licences too.
    bool verbose = false;
    // --settings: a start that becomes the running instance opens its settings window at once
    // instead of waiting in the tray (a plain start, as at login, stays in the tray).
    bool openSettings = false;
};

// Exit statuses of the command line.
inline constexpr int usageStatus = 2;       // arguments refused
inline constexpr int noInstanceStatus = 1;  // a request found no running instance, or none answered

// Reads the arguments after the program name. Options of our own start with two dashes (and -h);
// at most one of them is given. Arguments with a single dash belong to Qt (-platform offscreen,
// -session ID when a session manager restarts us) and are left to it, together with the word that
// directly follows one of them (its value). Any other word is refused, so that "korvane toggle"
// says what is wrong instead of starting a second tray application.
ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The requests a running instance answers, one per line on its socket.
enum class InstanceRequest { showSettings, toggle, start, stop, copyLast };

// The word on the wire for each request ("show-settings", "toggle", "start", "stop", "copy-last").
std::string_view requestWord(InstanceRequest request);
// The request a received word names; nothing for any other text.
std::optional<InstanceRequest> parseRequestWord(std::string_view word);

// One request as it travels, with the tokens of the start that sent it (for the settings window).
struct InstanceMessage {
    InstanceRequest request = InstanceRequest::showSettings;
    ActivationTokens tokens;

    bool operator==(const InstanceMessage&) const = default;
};

// The line for `message`, without its newline: the request word, then " startup-id=<id>" and
// " activation-token=<token>" for the tokens it carries. Without tokens it is the bare word, which
// is all that instances before the tokens understand.
std::string requestLine(const InstanceMessage& message);
// The message a received line (without its newline) carries: a request word, then any number of
// "name=value" fields, one space before each. Fields of names not known here are passed over, so a
// later version may add some; nothing for a line with any other shape or a token that is not usable.
std::optional<InstanceMessage> parseRequestLine(std::string_view line);

// The request a start sends to an instance that already runs: the plain start opens its settings
// window, the verbs their dictation call; nothing for the others, which never ask it.
std::optional<InstanceRequest> requestFor(CommandAction action);

// The line printed on standard error when a verb finds no instance running: what could not be
// done and what to do about it.
std::string noInstanceMessage(CommandAction action);

// Where this user's files are, as --help shows them.
struct HelpLocations {
    std::filesystem::path settingsFile;
    std::filesystem::path logFile;
    std::filesystem::path modelsDirectory;
    std::filesystem::path autostartFile;
    std::filesystem::path instanceSocket;
};

// The folders that may hold the running instance's socket and lock, best first: $XDG_RUNTIME_DIR
// when it is an absolute path (the session's private folder), then /tmp/korvane-<uid>, which the
// caller creates private to the user. A start under `su` or `sudo -E` may carry another user's
// runtime folder; the caller skips one that is not the user's own.
std::vector<std::filesystem::path> instanceDirectoryCandidates(const char* xdgRuntimeDir, unsigned int uid);

// The text of --help: usage, the verbs, the locations and the environment variables read.
std::string helpText(const HelpLocations& locations);

// The line --version prints: "Korvane 0.1.0", with the build ("Korvane 0.1.0 (1a2b3c4)") when one
// is known.
std::string versionLine(std::string_view version, std::string_view build);

}  // namespace korvane
