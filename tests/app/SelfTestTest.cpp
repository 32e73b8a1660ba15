// SPDX-License-Identifier: MIT
// Runs `korvane --self-test` against a private desktop, sound server and generated model, then takes
// each dependency away in turn: the matching line fails and the exit status says so.
#include "tests/app/ForeignKeyGrab.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/desktop/DesktopSession.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/portal/PortalTestBus.h"
#include "tests/support/pulse/PulseTestDaemon.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace korvane {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string output;
};

// `variables` are `env` arguments: "-u NAME" or "NAME=value" (no spaces in values).
Outcome runSelfTest(const std::string& variables)
{
    const std::string command = "env " + variables + " '" KORVANE_APP_PATH "' --self-test 2>/dev/null";
    Outcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        outcome.output.append(buffer, count);
    }
    const int wait = ::pclose(pipe);
    outcome.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return outcome;
}

bool hasLine(const std::string& output, const std::string& prefix)
{
    return output.starts_with(prefix) || output.find("\n" + prefix) != std::string::npos;
}

class SelfTestRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop_ = std::make_unique<testing::DesktopSession>();
        sound_ = std::make_unique<testing::PulseTestDaemon>(
            std::vector<testing::PulseTestDaemon::Sink>{{"speaker", 48000, 2}});
        home_ = std::make_unique<testing::TempHome>();
        const fs::path models = home_->path() / ".local/share/Korvane/models";
        fs::create_directories(models);
        const ModelDefinition model =
            testing::writeGeneratedModel(models, "ggml-test.bin", testing::scriptedModel("hello"));
        writeCatalogue(home_->path() / "present.json", model.fileName, model);
        writeCatalogue(home_->path() / "missing.json", "ggml-absent.bin", model);
        catalogue_ = std::make_unique<testing::ScopedEnvironment>("KORVANE_MODEL_CATALOGUE",
                                                                  (home_->path() / "present.json").string());
    }

    static void TearDownTestSuite()
    {
        catalogue_.reset();
        home_.reset();
        sound_.reset();
        desktop_.reset();
    }

    static void writeCatalogue(const fs::path& file, const std::string& fileName, const ModelDefinition& model)
    {
        testing::writeFile(file, R"({"version":1,"models":[{"name":"test","file":")" + fileName + R"(","bytes":)" +
                                     std::to_string(model.expectedBytes) + R"(,"sha256":")" + model.sha256 +
                                     R"(","url":"http://127.0.0.1:9/)" + fileName + R"("}]})");
    }

    static fs::path home() { return home_->path(); }

private:
    static inline std::unique_ptr<testing::DesktopSession> desktop_;
    static inline std::unique_ptr<testing::PulseTestDaemon> sound_;
    static inline std::unique_ptr<testing::TempHome> home_;
    static inline std::unique_ptr<testing::ScopedEnvironment> catalogue_;
};

TEST_F(SelfTestRun, passesWithEverythingThereAndFailsTheMatchingCheckForEachMissingPart)
{
    struct Case {
        const char* name;
        std::string variables;
        std::vector<std::string> failing;
        std::string remedy = {};  // a line the report must hold; it names the button the pane has
    };
    const std::vector<Case> cases = {
        {"everything there", "", {}},
        {"no X server", "-u DISPLAY", {"FAIL  X11 session", "FAIL  Shortcut"}},
        {"no sound server", "PULSE_SERVER=unix:/nonexistent/socket", {"FAIL  Microphone"}},
        {"no model",
         "KORVANE_MODEL_CATALOGUE=" + (home() / "missing.json").string(),
         {"FAIL  Model"},
         "      -> start Korvane: it downloads the chosen model; or press Download and Use in Settings… > General"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = runSelfTest(c.variables);
        SCOPED_TRACE(outcome.output);
        EXPECT_EQ(outcome.status, c.failing.empty() ? 0 : 1);
        for (const std::string& line : c.failing) {
            EXPECT_TRUE(hasLine(outcome.output, line)) << line;
        }
        if (!c.remedy.empty()) {
            EXPECT_TRUE(hasLine(outcome.output, c.remedy)) << c.remedy;
        }
        std::size_t seen = 0;
        for (std::size_t at = outcome.output.find("FAIL  "); at != std::string::npos;
             at = outcome.output.find("FAIL  ", at + 1)) {
            ++seen;
        }
        EXPECT_EQ(seen, c.failing.size()) << "only the missing part fails";
        // The rest of the report is still there: every check has its line.
        for (const char* check :
             {"X11 session", "Shortcut", "Tray", "Accessibility bus", "Microphone", "Model", "Models folder"}) {
            EXPECT_NE(outcome.output.find(std::string(check) + ": "), std::string::npos) << check;
        }
    }
}

TEST_F(SelfTestRun, failsTheShortcutWhenAnotherClientHoldsIt)
{
    Outcome outcome;
    {
        const testing::ForeignKeyGrab other;
        outcome = runSelfTest("");
    }

    EXPECT_EQ(outcome.status, 1) << outcome.output;
    EXPECT_TRUE(hasLine(outcome.output, "FAIL  Shortcut: Ctrl+Shift+Space could not be registered")) << outcome.output;
    EXPECT_TRUE(hasLine(outcome.output, "ok    X11 session")) << outcome.output;
}

TEST_F(SelfTestRun, saysWhatAWaylandSessionGivesAndHowToBindTheShortcutWithoutAPortal)
{
    struct Case {
        const char* what;
        testing::PortalTestBus::Options options;
        const char* desktop;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"portal",
         {},
         "KDE",
         {"ok    Session: wayland (KDE), Korvane's windows on XWayland",
          "ok    Shortcut: Ctrl+Alt+D through the desktop portal (version 1)", "warn  Paste keys: "}},
        {"no portal",
         {.globalShortcuts = false},
         "sway",
         {"ok    Session: wayland (sway)", "warn  Shortcut: this desktop offers no global shortcuts portal",
          "      -> bind korvane --toggle in your compositor: bindsym Ctrl+Shift+space exec korvane --toggle"}},
    };
    for (const Case& c : cases) {
        testing::PortalTestBus portal(c.options);
        if (c.options.globalShortcuts) {
            portal.setBindAnswer(0, "Ctrl+Alt+D");
        }
        const Outcome outcome = runSelfTest(std::string("XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-test "
                                                        "XDG_CURRENT_DESKTOP=") +
                                            c.desktop);
        for (const std::string& line : c.lines) {
            EXPECT_TRUE(hasLine(outcome.output, line)) << c.what << ": " << line << "\n" << outcome.output;
        }
    }
}

}  // namespace
}  // namespace korvane
