// SPDX-License-Identifier: MIT
// The command line's decisions: which action a start takes, what it refuses and why, the words on
// the instance socket, where the instance is looked for, and what --help promises.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <ostream>
#include <string>
#include <vector>

namespace korvane {

// Messages in failure output as their line, not as bytes.
inline void PrintTo(const InstanceMessage& message, std::ostream* out)
{
    *out << '"' << requestLine(message) << '"';
}

namespace {

struct ParseCase {
    const char* name;
    std::vector<std::string> arguments;
    CommandAction action;
    std::string error;  // empty: accepted
};

void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << c.name;
}

class CommandLineParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineParsing, PicksTheActionOrSaysWhatIsWrong)
{
    const ParseCase& c = GetParam();
    const ParsedCommandLine parsed = parseCommandLine(c.arguments);
    EXPECT_EQ(parsed.error, c.error);
    if (c.error.empty()) {
        EXPECT_EQ(parsed.action, c.action);
        EXPECT_EQ(parsed.verbose, std::ranges::count(c.arguments, "--verbose") > 0);
        EXPECT_EQ(parsed.openSettings, std::ranges::count(c.arguments, "--settings") > 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineParsing,
    ::testing::Values(
        ParseCase{"NoArguments", {}, CommandAction::run, ""}, ParseCase{"Help", {"--help"}, CommandAction::help, ""},
        ParseCase{"ShortHelp", {"-h"}, CommandAction::help, ""},
        ParseCase{"BothHelpSpellings", {"-h", "--help"}, CommandAction::help, ""},
        ParseCase{"Version", {"--version"}, CommandAction::version, ""},
        ParseCase{"VersionVerbose", {"--verbose", "--version"}, CommandAction::version, ""},
        ParseCase{"VerboseAlone", {"--verbose"}, CommandAction::run, "--verbose goes with --version"},
        ParseCase{"VerboseToggle", {"--toggle", "--verbose"}, CommandAction::run, "--verbose goes with --version"},
        ParseCase{"Toggle", {"--toggle"}, CommandAction::toggle, ""},
        ParseCase{"Start", {"--start"}, CommandAction::start, ""},
        ParseCase{"Stop", {"--stop"}, CommandAction::stop, ""},
        ParseCase{"CopyLast", {"--copy-last"}, CommandAction::copyLast, ""},
        ParseCase{"Settings", {"--settings"}, CommandAction::run, ""},
        ParseCase{"SelfTest", {"--self-test"}, CommandAction::selfTest, ""},
        ParseCase{"RepeatedOption", {"--toggle", "--toggle"}, CommandAction::toggle, ""},
        // Qt's options and their values are Qt's business, before or after ours.
        ParseCase{"QtPlatform", {"-platform", "offscreen"}, CommandAction::run, ""},
        ParseCase{"QtOptionThenVerb", {"-platform", "offscreen", "--stop"}, CommandAction::stop, ""},
        ParseCase{"SessionRestart", {"-session", "10d4a1f2", "--settings"}, CommandAction::run, ""},
        ParseCase{"QtFlagWithoutValue", {"-reverse", "--start"}, CommandAction::start, ""},
        ParseCase{"TwoActions", {"--toggle", "--stop"}, CommandAction::run, "choose one of --toggle and --stop"},
        ParseCase{"VersionAndVerb",
                  {"--version", "--copy-last"},
                  CommandAction::run,
                  "choose one of --version and --copy-last"},
        ParseCase{"UnknownOption", {"--frobnicate"}, CommandAction::run, "unknown option '--frobnicate'"},
        ParseCase{
            "QtOptionWithTwoDashes", {"--platform", "offscreen"}, CommandAction::run, "unknown option '--platform'"},
        ParseCase{"OptionWithValue", {"--toggle=1"}, CommandAction::run, "unknown option '--toggle=1'"},
        ParseCase{"VerbWithoutDashes",
                  {"toggle"},
                  CommandAction::run,
                  "unexpected argument 'toggle' (did you mean --toggle?)"},
        ParseCase{"CopyLastWithoutDashes",
                  {"copy-last"},
                  CommandAction::run,
                  "unexpected argument 'copy-last' (did you mean --copy-last?)"},
        ParseCase{"StrayWord", {"hello"}, CommandAction::run, "unexpected argument 'hello'"},
        ParseCase{"SecondWordAfterQtOption",
                  {"-platform", "offscreen", "extra"},
                  CommandAction::run,
                  "unexpected argument 'extra'"},
        ParseCase{"WordAfterOurOption",
                  {"--toggle", "stop"},
                  CommandAction::run,
                  "unexpected argument 'stop' (did you mean --stop?)"},
        ParseCase{"LoneDash", {"-"}, CommandAction::run, "unexpected argument '-'"}),
    [](const ::testing::TestParamInfo<ParseCase>& param) { return std::string(param.param.name); });

TEST(InstanceRequests, EachActionSendsItsOwnWordAndOnlyExactWordsAreTaken)
{
    struct Row {
        CommandAction action;
        std::optional<InstanceRequest> request;
        std::string word;
    };
    const std::vector<Row> rows{
        {CommandAction::run, InstanceRequest::showSettings, "show-settings"},
        {CommandAction::toggle, InstanceRequest::toggle, "toggle"},
        {CommandAction::start, InstanceRequest::start, "start"},
        {CommandAction::stop, InstanceRequest::stop, "stop"},
        {CommandAction::copyLast, InstanceRequest::copyLast, "copy-last"},
        {CommandAction::help, std::nullopt, ""},
        {CommandAction::version, std::nullopt, ""},
        {CommandAction::selfTest, std::nullopt, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(requestFor(row.action), row.request);
        if (row.request) {
            EXPECT_EQ(requestWord(*row.request), row.word);
            EXPECT_EQ(parseRequestWord(row.word), row.request);
        }
    }
    for (const std::string line : {"", "TOGGLE", "toggle ", " toggle", "toggle\r", "copy_last", "quit"}) {
        EXPECT_EQ(parseRequestWord(line), std::nullopt) << '"' << line << '"';
    }
}

TEST(InstanceRequests, TokensTravelAfterTheWordAndABareWordStaysAsItWas)
{
    const InstanceMessage bare{InstanceRequest::showSettings, {}};
    const InstanceMessage launched{InstanceRequest::showSettings, {"xterm-4242-host-korvane-0_TIME81234", ""}};
    const InstanceMessage both{InstanceRequest::showSettings, {"id-1_TIME5", "wl:token/7"}};
    const InstanceMessage waylandOnly{InstanceRequest::showSettings, {"", "wl:token/7"}};
    struct Row {
        std::string line;
        std::optional<InstanceMessage> message;  // nothing: refused
        bool sent = true;                        // also what requestLine writes for the message
    };
    const std::vector<Row> rows{
        {"show-settings", bare},
        {"show-settings startup-id=xterm-4242-host-korvane-0_TIME81234", launched},
        {"show-settings startup-id=id-1_TIME5 activation-token=wl:token/7", both},
        {"show-settings activation-token=wl:token/7", waylandOnly},
        {"toggle", InstanceMessage{InstanceRequest::toggle, {}}},
        // A field a later version may add is passed over; the value may hold '='.
        {"show-settings colour=blue startup-id=a=b", InstanceMessage{InstanceRequest::showSettings, {"a=b", ""}},
         false},
        {"show-settings startup-id=", std::nullopt, false},
        {"show-settings =x", std::nullopt, false},
        {"show-settings startup-id", std::nullopt, false},
        {"show-settings  startup-id=x", std::nullopt, false},
        {"show-settings startup-id=x ", std::nullopt, false},
        {"show-settings startup-id=\"x\"", std::nullopt, false},
        {"show-settings startup-id=x\ty", std::nullopt, false},
        {"show-settings startup-id=" + std::string(kMaxActivationTokenBytes + 1, 'x'), std::nullopt, false},
        {"show-settings startup-id=" + std::string(kMaxActivationTokenBytes, 'x'),
         InstanceMessage{InstanceRequest::showSettings, {std::string(kMaxActivationTokenBytes, 'x'), ""}}},
        {"settings startup-id=x", std::nullopt, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(parseRequestLine(row.line), row.message);
        if (row.message && row.sent) {
            EXPECT_EQ(requestLine(*row.message), row.line);
        }
    }
}

TEST(InstanceRequests, OnlyTokensThatFitOneWordAreHandedOnAndTheStartupTimeIsRead)
{
    EXPECT_EQ(activationTokensFrom("xterm-4242_TIME81234", "wl:token/7"),
              (ActivationTokens{"xterm-4242_TIME81234", "wl:token/7"}));
    EXPECT_EQ(activationTokensFrom(nullptr, nullptr), ActivationTokens{});
    EXPECT_EQ(activationTokensFrom("with space", "ok"), (ActivationTokens{"", "ok"}));
    EXPECT_EQ(activationTokensFrom("ok", "caf\xc3\xa9"), (ActivationTokens{"ok", ""}));
    EXPECT_EQ(activationTokensFrom("back\\slash", "new\nline"), ActivationTokens{});

    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> times{
        {"xterm-4242-host-korvane-0_TIME81234", 81234u},
        {"gnome-shell/korvane/2917-3-host_TIME4294967295", 4294967295u},
        {"a_TIME1_TIME77", 77u},
        {"no-time-here", std::nullopt},
        {"x_TIME", std::nullopt},
        {"x_TIME0", std::nullopt},
        {"x_TIME12a", std::nullopt},
        {"x_TIME-5", std::nullopt},
        {"x_TIME4294967296", std::nullopt},
    };
    for (const auto& [id, time] : times) {
        EXPECT_EQ(startupIdTime(id), time) << id;
    }
}

TEST(InstanceRequests, TheMessageWithoutAnInstanceSaysWhatFailedAndWhatToDo)
{
    const std::vector<std::pair<CommandAction, std::string>> rows{
        {CommandAction::toggle, "start or stop a dictation"},
        {CommandAction::start, "start a dictation"},
        {CommandAction::stop, "stop a dictation"},
        {CommandAction::copyLast, "copy the last transcript"},
    };
    for (const auto& [action, what] : rows) {
        const std::string message = noInstanceMessage(action);
        EXPECT_EQ(message, "korvane: Korvane is not running, so it cannot " + what + ". Start it first (run korvane).");
    }
}

TEST(InstanceDirectory, TheSessionRuntimeFolderComesFirstWhenItIsAnAbsolutePath)
{
    struct Row {
        const char* xdgRuntimeDir;
        std::vector<std::filesystem::path> expected;
    };
    const std::vector<Row> rows{
        {"/run/user/1000", {"/run/user/1000", "/tmp/korvane-1000"}},
        {nullptr, {"/tmp/korvane-1000"}},
        {"", {"/tmp/korvane-1000"}},
        {"run/user/1000", {"/tmp/korvane-1000"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(instanceDirectoryCandidates(row.xdgRuntimeDir, 1000), row.expected)
            << (row.xdgRuntimeDir ? row.xdgRuntimeDir : "(unset)");
    }
    EXPECT_EQ(instanceDirectoryCandidates(nullptr, 0), std::vector<std::filesystem::path>{"/tmp/korvane-0"});
}

TEST(HelpText, NamesEveryOptionTheLocationsAndTheEnvironmentRead)
{
    HelpLocations locations;
    locations.settingsFile = "/home/ada/.config/korvane/settings.json";
    locations.logFile = "/home/ada/.config/korvane/debug.log";
    locations.modelsDirectory = "/home/ada/.local/share/Korvane/models";
    locations.autostartFile = "/home/ada/.config/autostart/korvane.desktop";
    locations.instanceSocket = "/run/user/1000/korvane.socket";
    const std::string help = helpText(locations);

    // Every option the parser takes is explained, and none that it refuses.
    for (const std::string option :
         {"--help", "-h", "--version", "--toggle", "--start", "--stop", "--copy-last", "--settings", "--self-test"}) {
        EXPECT_TRUE(parseCommandLine({option}).error.empty()) << option;
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    for (const std::filesystem::path& path : {locations.settingsFile, locations.logFile, locations.modelsDirectory,
                                              locations.autostartFile, locations.instanceSocket}) {
        EXPECT_NE(help.find(path.string()), std::string::npos) << path;
    }
    for (const std::string variable :
         {"KORVANE_MODEL_CATALOGUE", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_SESSION_TYPE",
          "DISPLAY", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN", "PULSE_SERVER"}) {
        EXPECT_NE(help.find("  " + variable + " "), std::string::npos) << variable;
    }
    EXPECT_EQ(help.rfind("Usage: korvane [OPTION]\n", 0), 0u);
    EXPECT_EQ(versionLine("0.1.0", ""), "Korvane 0.1.0\n");
    EXPECT_EQ(versionLine("0.1.0", "1a2b3c4-dirty"), "Korvane 0.1.0 (1a2b3c4-dirty)\n");
}

}  // namespace
}  // namespace korvane
