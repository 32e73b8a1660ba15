#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <utility>

namespace korvane {

namespace {

struct OptionName {
    std::string_view name;
    CommandAction action;
};

constexpr std::array<OptionName, 9> options{{
    {"--help", CommandAction::help},
    {"-h", CommandAction::help},
    {"--version", CommandAction::version},
    {"--toggle", CommandAction::toggle},
    {"--start", CommandAction::start},
    {"--stop", CommandAction::stop},
    {"--copy-last", CommandAction::copyLast},
    {"--settings", CommandAction::run},
    {"--self-test", CommandAction::selfTest},
}};

constexpr std::array<std::pair<InstanceRequest, std::string_view>, 5> requestWords{{
    {InstanceRequest::showSettings, "show-settings"},
    {InstanceRequest::toggle, "toggle"},
    {InstanceRequest::start, "start"},
    {InstanceRequest::stop, "stop"},
    {InstanceRequest::copyLast, "copy-last"},
}};

constexpr std::string_view startupIdField = "startup-id";
constexpr std::string_view activationTokenField = "activation-token";

std::optional<CommandAction> ownOption(std::string_view argument)
{
    for (const OptionName& option : options) {
        if (option.name == argument) {
            return option.action;
        }
    }
    return std::nullopt;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    std::optional<std::string> chosen;  // the option that picked the action, for the error text
    std::optional<CommandAction> chosenAction;
    bool afterQtOption = false;
    for (const std::string& argument : arguments) {
        const bool wasAfterQtOption = std::exchange(afterQtOption, false);
        if (argument == "--verbose") {
            parsed.verbose = true;
            continue;
        }
        if (const std::optional<CommandAction> action = ownOption(argument)) {
            if (chosenAction && *chosenAction != *action) {
                parsed.error = "choose one of " + *chosen + " and " + argument;
                return parsed;
            }
            chosen = argument;
            chosenAction = action;
            parsed.action = *action;
            parsed.openSettings = parsed.openSettings || argument == "--settings";
            continue;
        }
        if (startsWith(argument, "--")) {
            parsed.error = "unknown option '" + argument + "'";
            return parsed;
        }
        if (startsWith(argument, "-") && argument.size() > 1) {
            afterQtOption = true;  // Qt's; a word right after it may be its value
            continue;
        }
        if (!wasAfterQtOption) {
            const bool looksLikeVerb = ownOption("--" + argument).has_value();
            parsed.error = "unexpected argument '" + argument + "'" +
                           (looksLikeVerb ? " (did you mean --" + argument + "?)" : std::string());
            return parsed;
        }
    }
    if (parsed.verbose && parsed.action != CommandAction::version) {
        parsed.error = "--verbose goes with --version";
    }
    return parsed;
}

std::string_view requestWord(InstanceRequest request)
{
    for (const auto& [candidate, word] : requestWords) {
        if (candidate == request) {
            return word;
        }
    }
    return {};
}

std::optional<InstanceRequest> parseRequestWord(std::string_view word)
{
    for (const auto& [request, candidate] : requestWords) {
        if (candidate == word) {
            return request;
        }
    }
    return std::nullopt;
}

std::string requestLine(const InstanceMessage& message)
{
    std::string line(requestWord(message.request));
    if (!message.tokens.startupId.empty()) {
        line += " " + std::string(startupIdField) + "=" + message.tokens.startupId;
    }
    if (!message.tokens.activationToken.empty()) {
        line += " " + std::string(activationTokenField) + "=" + message.tokens.activationToken;
    }
    return line;
}

std::optional<InstanceMessage> parseRequestLine(std::string_view line)
{
    const std::size_t wordEnd = std::min(line.find(' '), line.size());
    const std::optional<InstanceRequest> request = parseRequestWord(line.substr(0, wordEnd));
    if (!request) {
        return std::nullopt;
    }
    InstanceMessage message{*request, {}};
    std::string_view rest = line.substr(wordEnd);
    while (!rest.empty()) {
        rest.remove_prefix(1);  // the space before the field
        const std::string_view field = rest.substr(0, std::min(rest.find(' '), rest.size()));
        rest.remove_prefix(field.size());
        const std::size_t equals = field.find('=');
        if (equals == 0 || equals == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view name = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        std::string* token = name == startupIdField         ? &message.tokens.startupId
                             : name == activationTokenField ? &message.tokens.activationToken
                                                            : nullptr;
        if (token == nullptr) {
            continue;
        }
        if (value.empty() || usableActivationToken(value) != value) {
            return std::nullopt;
        }
        *token = std::string(value);
    }
    return message;
}

std::optional<InstanceRequest> requestFor(CommandAction action)
{
    switch (action) {
    case CommandAction::run:
        return InstanceRequest::showSettings;
    case CommandAction::toggle:
        return InstanceRequest::toggle;
    case CommandAction::start:
        return InstanceRequest::start;
    case CommandAction::stop:
        return InstanceRequest::stop;
    case CommandAction::copyLast:
        return InstanceRequest::copyLast;
    case CommandAction::help:
    case CommandAction::version:
    case CommandAction::selfTest:
        break;
    }
    return std::nullopt;
}

std::string noInstanceMessage(CommandAction action)
{
    std::string what;
    switch (action) {
    case CommandAction::toggle:
        what = "start or stop a dictation";
        break;
    case CommandAction::start:
        what = "start a dictation";
        break;
    case CommandAction::stop:
        what = "stop a dictation";
        break;
    case CommandAction::copyLast:
        what = "copy the last transcript";
        break;
    case CommandAction::run:
    case CommandAction::help:
    case CommandAction::version:
    case CommandAction::selfTest:
        what = "answer";
        break;
    }
    return "korvane: Korvane is not running, so it cannot " + what + ". Start it first (run korvane).";
}

std::vector<std::filesystem::path> instanceDirectoryCandidates(const char* xdgRuntimeDir, unsigned int uid)
{
    std::vector<std::filesystem::path> candidates;
    if (xdgRuntimeDir != nullptr && std::filesystem::path(xdgRuntimeDir).is_absolute()) {
        candidates.emplace_back(xdgRuntimeDir);
    }
    candidates.push_back(std::filesystem::path("/tmp") / ("korvane-" + std::to_string(uid)));
    return candidates;
}

std::string helpText(const HelpLocations& locations)
{
    std::string text;
    text += "Usage: korvane [OPTION]\n";
    text += "Local speech-to-text dictation from the system tray: press the shortcut (Ctrl+Shift+Space\n";
    text += "unless you chose another), speak, and the text is pasted where you were typing.\n";
    text += "\n";
    text += "Without an option Korvane starts in the tray. When it is running already, the running\n";
    text += "Korvane opens its settings window instead and this start ends.\n";
    text += "\n";
    text += "Options that ask the running Korvane (the exit status is 0 when it answered, 1 when none\n";
    text += "is running); bind them to keys in your desktop's own keyboard settings:\n";
    text += "  --toggle      start a dictation, or stop the one that is recording\n";
    text += "                (what the shortcut does in toggle mode)\n";
    text += "  --start       start a dictation (pressing the shortcut in hold mode)\n";
    text += "  --stop        stop the dictation and transcribe it (releasing it in hold mode)\n";
    text += "  --copy-last   put the last transcript on the clipboard again\n";
    text += "  --settings    open the settings window, starting Korvane if needed\n";
    text += "\n";
    text += "Other options:\n";
    text += "  --self-test   check what a dictation needs (X server, shortcut, tray, microphone,\n";
    text += "                model) and print one line per check; 0 when nothing is missing\n";
    text += "  -h, --help    show this help and exit\n";
    text += "  --version     show the version and exit; with --verbose also the libraries Korvane\n";
    text += "                is built on and their licences\n";
    text += "Options with a single dash (-platform NAME, -display DISPLAY ...) are Qt's.\n";
    text += "\n";
    text += "Files:\n";
    text += "  settings          " + locations.settingsFile.string() + "\n";
    text += "  debug log         " + locations.logFile.string() + "\n";
    text += "                    (written only while \"debugLogging\" is true in the settings)\n";
    text += "  speech models     " + locations.modelsDirectory.string() + "\n";
    text += "  start at login    " + locations.autostartFile.string() + "\n";
    text += "  running instance  " + locations.instanceSocket.string() + "\n";
    text += "\n";
    text += "Environment:\n";
    text += "  KORVANE_MODEL_CATALOGUE  a model catalogue file whose models replace the built-in ones\n";
    text += "  HOME                     your home folder, under which the files above live by default\n";
    text += "  XDG_CONFIG_HOME          the folder of the settings and the autostart entry (~/.config)\n";
    text += "  XDG_DATA_HOME            the folder of the speech models (~/.local/share)\n";
    text += "  XDG_RUNTIME_DIR          where the running instance listens\n";
    text += "  XDG_SESSION_TYPE         \"wayland\": transcripts stay on the clipboard, nothing is pasted\n";
    text += "  DISPLAY                  the X server for the shortcut, the focus and the paste\n";
    text += "  DESKTOP_STARTUP_ID       set by the launcher; a start that finds Korvane running hands it\n";
    text += "  XDG_ACTIVATION_TOKEN     and this one on, so the settings window may take the focus\n";
    text += "  PULSE_SERVER             the sound server to record from (PulseAudio or PipeWire)\n";
    text += "  QT_QPA_PLATFORM          Qt's platform (\"offscreen\" runs without a display)\n";
    return text;
}

std::string versionLine(std::string_view version, std::string_view build)
{
    std::string line = "Korvane " + std::string(version);
    if (!build.empty()) {
        line += " (" + std::string(build) + ")";
    }
    return line + "\n";
}

}  // namespace korvane
