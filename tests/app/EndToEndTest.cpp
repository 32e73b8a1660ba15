// SPDX-License-Identifier: MIT
// One dictation through the real application, as a user makes it: Korvane runs on a private desktop
// with a tray host and a private sound server, its model (generated, decoding a fixed phrase) comes
// from a model catalogue file and a loopback download. The shortcut is pressed with XTest while a
// Qt text field is focused, a sentence is spoken into the microphone, and the cleaned transcript
// must land in the field with the user's clipboard given back and every step in the debug log.
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/desktop/TestClipboard.h"
#include "tests/support/models/GeneratedModels.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::FieldsClient;
using ::testing::StartsWith;
using ::testing::UnorderedElementsAre;

// What the generated model "hears", and what cleaning leaves of it: the sound tag goes and the
// spoken symbol name becomes the symbol.
const std::string kRawPhrase = " Meet me at noon question mark (music)";
const std::string kDelivered = "Meet me at noon?";
const std::string kUsersClipboard = "the user's own clipboard: quartzite invoice";

struct Mode {
    const char* name;
    const char* setting;  // "hotkeyMode"
};

void PrintTo(const Mode& mode, std::ostream* out)
{
    *out << mode.name;
}

// Every file below `folder`, as a path relative to it.
std::vector<std::string> filesUnder(const std::filesystem::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
        }
    }
    return files;
}

class EndToEndDictation : public ::testing::TestWithParam<Mode> {
protected:
    // The steps of one dictation in the order the debug log must show them. The first captured
    // block is logged by the capture thread, before or after "Recording started", so it is
    // checked on its own.
    static std::vector<std::string> dictationSteps(const std::string& target)
    {
        return {"Recording started",
                "Status changed: transcribing",
                "Captured ",
                "Target app: " + target,
                "Sending ",
                "Transcription complete",
                "Transcribed " + std::to_string(kDelivered.size()) + " characters",
                "Leading space added: false",
                "Clipboard snapshot",
                "Cmd+V sent via CGEvent",
                "Paste sent to " + target + ": " + std::to_string(kDelivered.size()) + " chars"};
    }

    // The first step missing from `log` in that order, or "" when all are there.
    static std::string firstMissingStep(const std::string& log, const std::vector<std::string>& steps)
    {
        std::size_t at = 0;
        for (const std::string& step : steps) {
            at = log.find(step, at);
            if (at == std::string::npos) {
                return step;
            }
            at += step.size();
        }
        return "";
    }
};

TEST_P(EndToEndDictation, EndToEndShortcutSpeechAndPasteIntoTheFocusedField)
{
    const Mode mode = GetParam();
    testing::DictationDesktop desktop("Meet me at noon.");
    testing::TempHome home;
    const testing::CatalogueModel model("scripted", testing::scriptedModel(kRawPhrase), home.path(), true);
    testing::RunningKorvane app(home.path(),
                                std::string(R"({"debugLogging": true, "hotkeyMode": ")") + mode.setting + R"("})",
                                model.catalogueFile());
    ASSERT_TRUE(app.waitForLine("Model loaded: scripted", 60s)) << app.output();
    ASSERT_TRUE(app.waitForLine("Carbon hotkey registered", 5s)) << app.output();
    EXPECT_EQ(model.downloads(), 1u);

    FieldsClient client(FieldsClient::Toolkit::qt);
    client.activate();
    client.focus("single");
    testing::ClipboardOwnerProcess owner({{"text/plain", kUsersClipboard}});
    ASSERT_EQ(testing::readClipboard("text/plain"), kUsersClipboard);

    const std::size_t before = app.lineCount();
    if (std::string(mode.setting) == "hold") {
        testing::xdotool({"keydown", "ctrl+shift+space"});
    } else {
        testing::xdotool({"key", "ctrl+shift+space"});
    }
    ASSERT_TRUE(app.waitForLine("Recording started", 10s, before)) << app.output();
    desktop.speak();
    if (std::string(mode.setting) == "hold") {
        testing::xdotool({"keyup", "ctrl+shift+space"});
    } else {
        testing::xdotool({"key", "ctrl+shift+space"});
    }

    // Any end of the dictation, so a failure shows at once with the log that explains it.
    const auto ended =
        app.waitForAnyLine({"Status changed: pasteSent", "Status changed: copiedToClipboard",
                            "Status changed: notDelivered", "Status changed: error", "Status changed: noSpeech"},
                           60s, before);
    ASSERT_TRUE(ended) << app.output();
    ASSERT_EQ(app.line(*ended).text.substr(9), "Status changed: pasteSent(" + std::to_string(kDelivered.size()) + ")")
        << app.output();
    EXPECT_TRUE(testing::waitFor([&] { return client.text("single") == kDelivered; }, 10s))
        << "field holds \"" << client.text("single") << "\"\n"
        << app.output();
    // The restore follows the target's read of the transcript, a second after the key press; the
    // user's text then comes from Korvane, which took the clipboard over to paste.
    EXPECT_TRUE(testing::waitFor([&] { return testing::readClipboard("text/plain") == kUsersClipboard; }, 10s))
        << "clipboard holds \"" << testing::readClipboard("text/plain").value_or("(nothing)") << "\"\n"
        << app.output();
    EXPECT_FALSE(owner.ownsClipboard());

    const std::string log = testing::readFile(app.debugLog());
    EXPECT_EQ(firstMissingStep(log, dictationSteps(client.windowClass())), "") << log;
    // The download's progress is one line, however many percent it reported.
    std::size_t downloadLines = 0;
    for (std::size_t at = log.find("Status changed: downloading"); at != std::string::npos;
         at = log.find("Status changed: downloading", at + 1)) {
        ++downloadLines;
    }
    EXPECT_EQ(downloadLines, 1u) << log;
    // The log keeps counts and lengths, never a word that was said or that the clipboard held, and
    // the settings, the log and the model are all that Korvane wrote (the sound server's client
    // library keeps its authentication cookie beside them).
    for (const char* word : {"Meet", "noon", "question", "music", "quartzite"}) {
        EXPECT_EQ(log.find(word), std::string::npos) << word << " is in the log:\n" << log;
    }
    EXPECT_THAT(filesUnder(home.path()),
                UnorderedElementsAre(".config/korvane/settings.json", ".config/korvane/debug.log",
                                     ".config/pulse/cookie", StartsWith(".local/share/Korvane/models/")));
    EXPECT_EQ(
        firstMissingStep(log, {"Carbon hotkey pressed", "First audio block captured", "Status changed: transcribing"}),
        "")
        << log;
}

INSTANTIATE_TEST_SUITE_P(Modes, EndToEndDictation, ::testing::Values(Mode{"Toggle", "toggle"}, Mode{"Hold", "hold"}),
                         [](const ::testing::TestParamInfo<Mode>& mode) { return std::string(mode.param.name); });

}  // namespace
}  // namespace korvane
