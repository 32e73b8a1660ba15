#include "core/settings/AppSettings.h"
#include "base/logging/Logger.h"
#include "core/settings/SettingsStore.h"
#include "tests/support/StderrCapture.h"
#include "tests/support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using testing::readFile;
using testing::TempHome;
using testing::writeFile;

class AppSettingsTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return home.path() / "config" / "korvane" / "settings.json"; }

    // Settings over a file that holds exactly `document`.
    std::unique_ptr<AppSettings> settingsWith(const std::string& document)
    {
        writeFile(file(), document);
        return std::make_unique<AppSettings>(file());
    }

    nlohmann::json storedDocument() const { return nlohmann::json::parse(readFile(file())); }

    TempHome home;
};

TEST_F(AppSettingsTest, FreshInstallationReadsDefaultsAndCreatesNothing)
{
    AppSettings settings(file());

    EXPECT_EQ(settings.modelSize(), "small");
    EXPECT_EQ(settings.hotkeyMode(), HotkeyMode::toggle);
    EXPECT_EQ(settings.hotkeyKeyCode(), 49);
    EXPECT_THAT(settings.hotkeyModifiers(), ElementsAre("ctrl", "shift"));
    EXPECT_EQ(settings.settingsTab(), SettingsTab::general);
    EXPECT_EQ(settings.vocabularyPrompt(), std::nullopt);
    EXPECT_FALSE(settings.debugLogging());
    EXPECT_FALSE(std::filesystem::exists(file().parent_path()));
}

TEST_F(AppSettingsTest, ModelSizeAcceptsOnlyKnownModels)
{
    EXPECT_EQ(settingsWith(R"({"modelSize": "large"})")->modelSize(), "small");
    EXPECT_EQ(settingsWith(R"({"modelSize": "Medium"})")->modelSize(), "small");
    EXPECT_EQ(settingsWith(R"({"modelSize": 3})")->modelSize(), "small");
    EXPECT_EQ(settingsWith(R"({"modelSize": "turbo"})")->modelSize(), "turbo");

    auto settings = settingsWith("{}");
    settings->setModelSize("medium");
    EXPECT_EQ(settings->modelSize(), "medium");
    EXPECT_EQ(storedDocument()["modelSize"], "medium");
}

TEST_F(AppSettingsTest, ModelSizeFollowsTheOfferedModelsAndKeepsTheStoredName)
{
    auto settings = settingsWith(R"({"modelSize": "own", "modelCatalogue": "/opt/models/catalogue.json"})");
    EXPECT_EQ(settings->modelSize(), "small");
    EXPECT_EQ(settings->modelCatalogue(), "/opt/models/catalogue.json");

    settings->offerModels(ModelNameRule({"tiny-test", "own"}));
    EXPECT_EQ(settings->modelSize(), "own");
    settings->setModelSize("medium");
    EXPECT_EQ(settings->modelSize(), "tiny-test");
    EXPECT_EQ(storedDocument()["modelSize"], "medium") << "only reading applies the rule";
}

TEST_F(AppSettingsTest, HotkeyModeIsHoldOnlyForExactlyHold)
{
    EXPECT_EQ(settingsWith(R"({"hotkeyMode": "hold"})")->hotkeyMode(), HotkeyMode::hold);
    EXPECT_EQ(settingsWith(R"({"hotkeyMode": "Hold"})")->hotkeyMode(), HotkeyMode::toggle);
    EXPECT_EQ(settingsWith(R"({"hotkeyMode": "press"})")->hotkeyMode(), HotkeyMode::toggle);
    EXPECT_EQ(settingsWith(R"({"hotkeyMode": true})")->hotkeyMode(), HotkeyMode::toggle);

    auto settings = settingsWith("{}");
    settings->setHotkeyMode(HotkeyMode::hold);
    EXPECT_EQ(storedDocument()["hotkeyMode"], "hold");
    EXPECT_EQ(settings->hotkeyMode(), HotkeyMode::hold);
    settings->setHotkeyMode(HotkeyMode::toggle);
    EXPECT_EQ(storedDocument()["hotkeyMode"], "toggle");
}

TEST_F(AppSettingsTest, HotkeyKeyCodeFallsBackToSpaceUnlessAnIntegerInRange)
{
    const std::pair<const char*, int> cases[] = {
        {"70000", 49},
        {"-1", 49},
        {"65536", 49},
        {"\"36\"", 49},
        {"36.5", 49},
        {"true", 49},
        {"null", 49},
        {"[36]", 49},
        {"0", 0},
        {"65535", 65535},
        {"18446744073709551615", 49},
        {"36", 36},
    };
    for (const auto& [stored, expected] : cases) {
        SCOPED_TRACE(stored);
        EXPECT_EQ(settingsWith(std::string(R"({"hotkeyKeyCode": )") + stored + "}")->hotkeyKeyCode(), expected);
    }
}

TEST_F(AppSettingsTest, KeyCodeWrittenWithAFractionPartSurvivesTheLaunchMigration)
{
    // A hand edit or another tool may write every number with a fraction part.
    auto settings = settingsWith(R"({"hotkeyModifiers": ["ctrl", "alt"], "hotkeyKeyCode": 36.0})");
    EXPECT_EQ(settings->hotkeyKeyCode(), 36);

    ASSERT_TRUE(settings->migrateHotkeyBindingIfNeeded());
    EXPECT_EQ(settings->hotkeyBinding().keyCode(), 36);
    EXPECT_EQ(storedDocument()["hotkeyKeyCode"], 36);
}

TEST_F(AppSettingsTest, HotkeyModifiersComeBackAsStoredOrAsTheDefaultPair)
{
    EXPECT_THAT(settingsWith(R"({"hotkeyModifiers": ["Command", "OPTION", "fn"]})")->hotkeyModifiers(),
                ElementsAre("Command", "OPTION", "fn"));
    EXPECT_THAT(settingsWith(R"({"hotkeyModifiers": []})")->hotkeyModifiers(), ElementsAre());
    EXPECT_THAT(settingsWith(R"({"hotkeyModifiers": ["ctrl", 3]})")->hotkeyModifiers(), ElementsAre("ctrl", "shift"));
    EXPECT_THAT(settingsWith(R"({"hotkeyModifiers": "ctrl"})")->hotkeyModifiers(), ElementsAre("ctrl", "shift"));

    auto settings = settingsWith("{}");
    settings->setHotkeyModifiers({"cmd", "alt"});
    settings->setHotkeyKeyCode(36);
    EXPECT_EQ(storedDocument(), nlohmann::json::parse(R"({"hotkeyModifiers": ["cmd", "alt"], "hotkeyKeyCode": 36})"));
}

TEST_F(AppSettingsTest, SettingsTabStoresTheCaseNameAndReadsUnknownAsGeneral)
{
    EXPECT_EQ(settingsWith(R"({"settingsTab": "updates"})")->settingsTab(), SettingsTab::updates);
    EXPECT_EQ(settingsWith(R"({"settingsTab": "Updates"})")->settingsTab(), SettingsTab::general);
    EXPECT_EQ(settingsWith(R"({"settingsTab": "advanced"})")->settingsTab(), SettingsTab::general);

    auto settings = settingsWith("{}");
    for (SettingsTab tab : kSettingsTabs) {
        settings->setSettingsTab(tab);
        EXPECT_EQ(storedDocument()["settingsTab"], storedForm(tab));
        EXPECT_EQ(settings->settingsTab(), tab);
    }
}

TEST_F(AppSettingsTest, HandSetKeysNeedTheirOwnType)
{
    auto settings = settingsWith(R"({"vocabularyPrompt": "Korvane, PipeWire", "debugLogging": true})");
    EXPECT_EQ(settings->vocabularyPrompt(), "Korvane, PipeWire");
    EXPECT_TRUE(settings->debugLogging());

    EXPECT_EQ(settingsWith(R"({"vocabularyPrompt": ["a"]})")->vocabularyPrompt(), std::nullopt);
    EXPECT_FALSE(settingsWith(R"({"debugLogging": "true"})")->debugLogging());
    EXPECT_FALSE(settingsWith(R"({"debugLogging": 1})")->debugLogging());

    using Keys = std::map<std::string, std::string>;
    EXPECT_EQ(settingsWith(R"({"pasteKeys": {"Emacs": "ctrl+y", "Vim": 3, "st": "shift+Insert"}})")->pasteKeys(),
              (Keys{{"Emacs", "ctrl+y"}, {"st", "shift+Insert"}}));
    EXPECT_EQ(settingsWith(R"({"pasteKeys": ["ctrl+y"]})")->pasteKeys(), Keys{});
    EXPECT_EQ(settingsWith("{}")->pasteKeys(), Keys{});
}

TEST_F(AppSettingsTest, DefaultFileFollowsXdgConfigHome)
{
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(AppSettings::defaultFile(), "/somewhere/config/korvane/settings.json");
    // The XDG rules ignore a relative base, and an empty one.
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(AppSettings::defaultFile(), home.path() / ".config/korvane/settings.json");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AppSettings::defaultFile(), home.path() / ".config/korvane/settings.json");
}

TEST_F(AppSettingsTest, MicrophoneAndIdleUnloadKeysReadOnlyUsableValuesAndKeepWhatIsStored)
{
    struct Case {
        const char* document;
        std::optional<std::string> inputDevice;
        std::optional<std::int64_t> minutes;
        bool logged;  // a value that is there but unusable says so
    };
    const std::vector<Case> cases = {
        {"{}", std::nullopt, std::nullopt, false},
        {R"({"inputDevice": "alsa_input.usb-mic", "unloadModelAfterMinutes": 15})", "alsa_input.usb-mic", 15, false},
        {R"({"unloadModelAfterMinutes": 30.0})", std::nullopt, 30, false},
        {R"({"inputDevice": 7, "unloadModelAfterMinutes": -3})", std::nullopt, std::nullopt, true},
        {R"({"unloadModelAfterMinutes": 0})", std::nullopt, std::nullopt, true},
        {R"({"unloadModelAfterMinutes": 2.5})", std::nullopt, std::nullopt, true},
        {R"({"unloadModelAfterMinutes": "ten"})", std::nullopt, std::nullopt, true},
        {R"({"inputDevice": ""})", "", std::nullopt, false},
    };
    Logger::setEnabled(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        auto settings = settingsWith(c.document);
        std::optional<std::int64_t> minutes;
        std::string logged;
        {
            const testing::StderrCapture capture;
            minutes = settings->unloadModelAfterMinutes();
            logged = capture.text();
        }
        EXPECT_EQ(settings->inputDevice(), c.inputDevice);
        EXPECT_EQ(minutes, c.minutes);
        EXPECT_EQ(logged.find("Ignoring \"unloadModelAfterMinutes\"") != std::string::npos, c.logged) << logged;
        EXPECT_EQ(storedDocument(), nlohmann::json::parse(c.document)) << "reading never rewrites the value";
    }
    Logger::setEnabled(false);
}

TEST_F(AppSettingsTest, GpuStaysOnUnlessABooleanFalseIsStored)
{
    struct Case {
        const char* document;
        bool useGpu;
    };
    const Case cases[] = {
        {"{}", true},
        {R"({"useGPU": true})", true},
        {R"({"useGPU": false})", false},
        {R"({"useGPU": "false"})", true},
        {R"({"useGPU": 0})", true},
        {R"({"useGPU": null})", true},
        {R"({"usegpu": false})", true},
    };
    for (const Case& c : cases) {
        auto settings = settingsWith(c.document);
        EXPECT_EQ(settings->useGpu(), c.useGpu) << c.document;
        EXPECT_EQ(storedDocument(), nlohmann::json::parse(c.document)) << "never written";
    }
}

TEST_F(AppSettingsTest, RemoteDesktopGrantIsRememberedAndGarbageReadsAsNeverAsked)
{
    struct Case {
        const char* document;
        std::string token;
        bool refused;
    };
    const Case cases[] = {
        {"{}", "", false},
        {R"({"remoteDesktopRestoreToken": "3f2a-token", "remoteDesktopRefused": true})", "3f2a-token", true},
        {R"({"remoteDesktopRestoreToken": 42, "remoteDesktopRefused": "yes"})", "", false},
        {R"({"remoteDesktopRestoreToken": ["a"], "remoteDesktopRefused": 1})", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document);
        auto settings = settingsWith(c.document);
        EXPECT_EQ(settings->remoteDesktopRestoreToken(), c.token);
        EXPECT_EQ(settings->remoteDesktopRefused(), c.refused);
    }

    auto settings = settingsWith(R"({"remoteDesktopRestoreToken": 42})");
    ASSERT_TRUE(settings->setRemoteDesktopRestoreToken("new-token"));
    ASSERT_TRUE(settings->setRemoteDesktopRefused(true));
    EXPECT_EQ(storedDocument(),
              nlohmann::json::parse(R"({"remoteDesktopRestoreToken": "new-token", "remoteDesktopRefused": true})"));
    EXPECT_EQ(AppSettings(file()).remoteDesktopRestoreToken(), "new-token");
}

class LogSwitchTest : public AppSettingsTest {
protected:
    void SetUp() override { Logger::setEnabled(false); }
    void TearDown() override { Logger::setEnabled(false); }
};

TEST_F(LogSwitchTest, DrivingInstanceKeepsTheLoggerInStepWithDebugLogging)
{
    writeFile(file(), R"({"debugLogging": true})");
    auto driving = std::make_unique<AppSettings>(file(), AppSettings::LogSwitch::drive);
    EXPECT_TRUE(Logger::isEnabled());

    writeFile(file(), R"({"debugLogging": false})");
    driving->defaults().reloadIfChanged();
    EXPECT_FALSE(Logger::isEnabled());

    writeFile(file(), R"({"debugLogging": true, "modelSize": "base"})");
    driving->defaults().reloadIfChanged();
    EXPECT_TRUE(Logger::isEnabled());

    // Once the store that owns the switch is gone, nobody can keep it on.
    driving.reset();
    EXPECT_FALSE(Logger::isEnabled());
}

TEST_F(LogSwitchTest, OtherInstancesLeaveTheSwitchAlone)
{
    writeFile(file(), R"({"debugLogging": true})");
    AppSettings other(file());
    EXPECT_TRUE(other.debugLogging());
    EXPECT_FALSE(Logger::isEnabled());
}

}  // namespace
}  // namespace korvane
