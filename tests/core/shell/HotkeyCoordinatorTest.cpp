// SPDX-License-Identifier: MIT
// The shell's shortcut decisions against a fake window system: which shortcut ends up stored and
// watched, what the status line and the alerts say, and the wait for the input permission on
// virtual time.
#include "core/shell/HotkeyCoordinator.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "core/settings/AppSettings.h"
#include "core/shell/HotkeyAlertTexts.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace korvane {
namespace {

constexpr ChordModifier kFunction = ChordModifier::function;
constexpr ChordModifier kControl = ChordModifier::control;
constexpr ChordModifier kOption = ChordModifier::option;
constexpr ChordModifier kShift = ChordModifier::shift;
constexpr std::uint16_t kSpace = 49;

const HotkeyBinding kCtrlShiftSpace = HotkeyBinding::keyCombo({kControl, kShift}, kSpace);  // ⌃⇧Space
const HotkeyBinding kOptionSpace = HotkeyBinding::keyCombo({kOption}, kSpace);              // ⌥Space
const HotkeyBinding kGlobeOption = HotkeyBinding::modifierChord({kFunction, kOption});      // 🌐⌥
const HotkeyBinding kGlobeControl = HotkeyBinding::modifierChord({kFunction, kControl});    // 🌐⌃
const HotkeyBinding kBareSpace = HotkeyBinding::keyCombo({}, kSpace);                       // invalid

// The window system as the backends see it: chords need the permission, key combinations fail when
// another client holds them. Every start and stop is journalled.
struct FakeDesktop {
    bool trusted = true;
    bool busy = false;
    bool refuseEverything = false;
    std::set<std::string> heldByOthers;
    std::vector<std::string> journal;
    // The last backend's settled observer: the desktop's later word, where it binds the keys.
    HotkeyBackend::SettledObserver settle;

    class Backend final : public HotkeyBackend {
    public:
        Backend(FakeDesktop& desktop, HotkeyBinding binding) : desktop_(desktop), binding_(binding) {}
        bool start() override
        {
            desktop_.journal.push_back("start " + binding_.displayText());
            if (desktop_.refuseEverything) {
                return false;
            }
            return binding_.isModifierChord() ? desktop_.trusted
                                              : desktop_.heldByOthers.count(binding_.displayText()) == 0;
        }
        void stop() override { desktop_.journal.push_back("stop " + binding_.displayText()); }
        void setSettledObserver(SettledObserver observer) override { desktop_.settle = std::move(observer); }

    private:
        FakeDesktop& desktop_;
        HotkeyBinding binding_;
    };

    int starts() const
    {
        return static_cast<int>(std::count_if(journal.begin(), journal.end(),
                                              [](const std::string& entry) { return entry.rfind("start", 0) == 0; }));
    }
};

struct FakeAlerts final : ShellAlerts {
    std::vector<ShellAlert> shown;
    std::deque<std::size_t> answers;  // chosen buttons, in order; "Not Now"/"OK" when none is left
    int settingsOpened = 0;

    std::size_t runWarning(const ShellAlert& alert) override
    {
        shown.push_back(alert);
        if (answers.empty()) {
            return alert.buttons.size() - 1;
        }
        const std::size_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void openAccessibilitySettings() override { ++settingsOpened; }
};

class HotkeyCoordinatorTest : public ::testing::Test {
protected:
    void store(const HotkeyBinding& binding) { ASSERT_TRUE(settings.setHotkeyBinding(binding)); }

    std::shared_ptr<HotkeyCoordinator> makeCoordinator()
    {
        HotkeyCoordinator::Ports ports;
        ports.mainQueue = queue;
        ports.makeBackend = [this](const HotkeyBinding& binding) -> std::shared_ptr<HotkeyBackend> {
            if (!binding.isValid()) {
                return nullptr;
            }
            return std::make_shared<FakeDesktop::Backend>(desktop, binding);
        };
        ports.isTrusted = [this] { return desktop.trusted; };
        ports.isBusy = [this] { return desktop.busy; };
        ports.setStatusLine = [this](const std::string& line) { statusLines.push_back(line); };
        ports.alerts = alerts;
        ports.log = log.sink();
        ports.boundByCompositor = boundByCompositor;
        return HotkeyCoordinator::create(settings, std::move(ports));
    }

    std::string lastStatusLine() const { return statusLines.empty() ? std::string() : statusLines.back(); }
    std::size_t logged(const std::string& line) const
    {
        const auto lines = log.lines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    testing::TemporaryDirectory folder{"korvane-shell"};
    AppSettings settings{folder.path() / "settings.json"};
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    FakeDesktop desktop;
    std::shared_ptr<FakeAlerts> alerts = std::make_shared<FakeAlerts>();
    std::vector<std::string> statusLines;
    testing::RecordingLog log;
    bool boundByCompositor = false;
};

const std::string kWaiting = "Waiting for Accessibility before registering modifier-only hotkey";
const std::string kGaveUp = "Stopped waiting for Accessibility -- menu open will re-check";
const std::string kGranted = "Accessibility granted -- hotkey registered";

struct ApplyCase {
    const char* name;
    HotkeyBinding stored;
    bool trusted;
    std::set<std::string> heldByOthers;
    std::optional<HotkeyBinding> applied;
    // What follows.
    std::string statusLine;  // empty: the shortcut wiring wrote none
    HotkeyBinding storedAfter;
    bool registered;
    std::string hint;  // what the ready status line ends with
    std::optional<ShellAlert> alert;
    bool waiting;
};

void PrintTo(const ApplyCase& c, std::ostream* out)
{
    *out << c.name;
}

class ApplyHotkey : public HotkeyCoordinatorTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(ApplyHotkey, StoresRegistersAndReports)
{
    const ApplyCase& c = GetParam();
    store(c.stored);
    auto coordinator = makeCoordinator();
    ASSERT_TRUE(coordinator->registerStoredHotkey());
    desktop.trusted = c.trusted;
    desktop.heldByOthers = c.heldByOthers;
    statusLines.clear();

    coordinator->applyHotkey(c.applied);

    EXPECT_EQ(lastStatusLine(), c.statusLine);
    EXPECT_EQ(settings.hotkeyBinding(), c.storedAfter) << settings.hotkeyBinding().displayText();
    EXPECT_EQ(coordinator->isRegistered(), c.registered);
    EXPECT_EQ(coordinator->hotkeyHint(), c.hint);
    if (c.alert) {
        ASSERT_EQ(alerts->shown.size(), 1U);
        EXPECT_EQ(alerts->shown[0].message, c.alert->message);
        EXPECT_EQ(alerts->shown[0].informativeText, c.alert->informativeText);
        EXPECT_EQ(alerts->shown[0].buttons, std::vector<std::string>{"OK"});
    } else {
        EXPECT_TRUE(alerts->shown.empty()) << alerts->shown[0].message;
    }
    EXPECT_EQ(coordinator->isWaitingForAccessibility(), c.waiting);
    EXPECT_EQ(logged(kWaiting), c.waiting ? 1U : 0U) << log.text();
}

const std::string kChordAdvice = "A modifier-only shortcut needs Accessibility permission. On Linux Korvane has it "
                                 "only in an X11 session whose X server offers the XInput2 and XTEST extensions; a "
                                 "Wayland session does not give it. Log in to an X11 session, then try again.";

INSTANTIATE_TEST_SUITE_P(
    Branches, ApplyHotkey,
    ::testing::Values(
        ApplyCase{"NothingReRegistersTheStoredOne",
                  kCtrlShiftSpace,
                  true,
                  {},
                  std::nullopt,
                  "",
                  kCtrlShiftSpace,
                  true,
                  " — press Ctrl+Shift+Space",
                  std::nullopt,
                  false},
        ApplyCase{"TheStoredOneOnlyReRegisters",
                  kCtrlShiftSpace,
                  true,
                  {},
                  kCtrlShiftSpace,
                  "",
                  kCtrlShiftSpace,
                  true,
                  " — press Ctrl+Shift+Space",
                  std::nullopt,
                  false},
        ApplyCase{"NothingWithTheStoredChordNowUntrusted",
                  kGlobeControl,
                  false,
                  {},
                  std::nullopt,
                  "Status: Hotkey unavailable (Ctrl+Super)",
                  kGlobeControl,
                  false,
                  "",
                  std::nullopt,
                  true},
        ApplyCase{"AFreeKeyCombinationIsSet",
                  kCtrlShiftSpace,
                  true,
                  {},
                  kOptionSpace,
                  "Status: Hotkey set to Alt+Space",
                  kOptionSpace,
                  true,
                  " — press Alt+Space",
                  std::nullopt,
                  false},
        ApplyCase{"AChordWithThePermissionIsSet",
                  kCtrlShiftSpace,
                  true,
                  {},
                  kGlobeOption,
                  "Status: Hotkey set to Alt+Super",
                  kGlobeOption,
                  true,
                  " — press Alt+Super",
                  std::nullopt,
                  false},
        ApplyCase{"AKeyCombinationHeldElsewhereKeepsTheOldOne",
                  kCtrlShiftSpace,
                  true,
                  {"⌥Space"},
                  kOptionSpace,
                  "Status: Alt+Space unavailable -- kept Ctrl+Shift+Space",
                  kCtrlShiftSpace,
                  true,
                  " — press Ctrl+Shift+Space",
                  ShellAlert{"Could not register Alt+Space",
                             "Another app is probably already using that shortcut.\n\nStill using Ctrl+Shift+Space.",
                             {"OK"}},
                  false},
        ApplyCase{
            "AChordWithoutThePermissionKeepsTheOldKeyCombination",
            kCtrlShiftSpace,
            false,
            {},
            kGlobeOption,
            "Status: Alt+Super unavailable -- kept Ctrl+Shift+Space",
            kCtrlShiftSpace,
            true,
            " — press Ctrl+Shift+Space",
            ShellAlert{"Could not register Alt+Super", kChordAdvice + "\n\nStill using Ctrl+Shift+Space.", {"OK"}},
            false},
        ApplyCase{"TwoChordsWithoutThePermissionStartTheWait",
                  kGlobeControl,
                  false,
                  {},
                  kGlobeOption,
                  "Status: Hotkey unavailable (Ctrl+Super)",
                  kGlobeControl,
                  false,
                  "",
                  ShellAlert{"Could not register Alt+Super", kChordAdvice + "\n\nStill using Ctrl+Super.", {"OK"}},
                  true},
        ApplyCase{"BothKeyCombinationsHeldElsewhereDoNotWait",
                  kCtrlShiftSpace,
                  true,
                  {"⌥Space", "⌃⇧Space"},
                  kOptionSpace,
                  "Status: Hotkey unavailable (Ctrl+Shift+Space)",
                  kCtrlShiftSpace,
                  false,
                  "",
                  ShellAlert{"Could not register Alt+Space",
                             "Another app is probably already using that shortcut.\n\nStill using Ctrl+Shift+Space.",
                             {"OK"}},
                  false},
        // The store refuses a binding without modifiers; the old shortcut registering again must
        // not read as "set to" the refused one.
        ApplyCase{"ARefusedBindingIsReportedNotSet",
                  kCtrlShiftSpace,
                  true,
                  {},
                  kBareSpace,
                  "Status: Space unavailable -- kept Ctrl+Shift+Space",
                  kCtrlShiftSpace,
                  true,
                  " — press Ctrl+Shift+Space",
                  ShellAlert{"Could not register Space",
                             "Another app is probably already using that shortcut.\n\nStill using Ctrl+Shift+Space.",
                             {"OK"}},
                  false}),
    [](const ::testing::TestParamInfo<ApplyCase>& param) { return std::string(param.param.name); });

TEST_F(HotkeyCoordinatorTest, LaunchWithAFreeShortcutRegistersItQuietly)
{
    auto coordinator = makeCoordinator();
    EXPECT_TRUE(coordinator->registerStoredHotkey());
    EXPECT_TRUE(coordinator->isRegistered());
    EXPECT_TRUE(statusLines.empty());
    EXPECT_EQ(desktop.journal, std::vector<std::string>{"start ⌃⇧Space"});
}

TEST_F(HotkeyCoordinatorTest, LaunchWithAHeldKeyCombinationSaysSoAndDoesNotWait)
{
    desktop.heldByOthers = {"⌃⇧Space"};
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    EXPECT_FALSE(coordinator->registerStoredHotkey());
    EXPECT_EQ(statusLines, std::vector<std::string>{"Status: Hotkey unavailable (Ctrl+Shift+Space)"});
    EXPECT_FALSE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(queue->pendingCount(), 0U);
}

TEST_F(HotkeyCoordinatorTest, WhereTheDesktopBindsTheKeysItsWordDecidesWhatIsShownAndAFailureIsSaid)
{
    auto coordinator = makeCoordinator();
    ASSERT_TRUE(coordinator->registerStoredHotkey());
    auto firstBackendsWord = desktop.settle;
    desktop.settle({true, "Super+D", ""});
    EXPECT_EQ(coordinator->hotkeyHint(), " — press Super+D");
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey set to Super+D");

    // While a dictation runs the alert waits; the status line says it at once.
    desktop.busy = true;
    desktop.settle({false, "", "The desktop ended the shortcut"});
    EXPECT_EQ(coordinator->hotkeyHint(), "");
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey unavailable (Ctrl+Shift+Space)");
    EXPECT_TRUE(alerts->shown.empty());
    desktop.busy = false;
    queue->advance(HotkeyCoordinator::kBusyWarningDeferral);
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].message, "Could not register Ctrl+Shift+Space");
    EXPECT_THAT(alerts->shown[0].informativeText, ::testing::StartsWith("The desktop ended the shortcut.\n\n"));

    // A new registration's backend is the one that counts.
    coordinator->applyHotkey(std::nullopt);
    firstBackendsWord({true, "F1", ""});
    EXPECT_EQ(coordinator->hotkeyHint(), " — press Ctrl+Shift+Space");
    desktop.settle({true, "", ""});
    EXPECT_EQ(coordinator->hotkeyHint(), " — press Ctrl+Shift+Space");
}

TEST_F(HotkeyCoordinatorTest, WhereTheCompositorBindsTheShortcutNothingIsRegisteredAndANewOneIsOnlyStored)
{
    boundByCompositor = true;
    auto coordinator = makeCoordinator();
    EXPECT_TRUE(coordinator->registerStoredHotkey());
    EXPECT_EQ(lastStatusLine(), "Status: Shortcut from your compositor's settings (korvane --toggle)");
    coordinator->applyHotkey(kOptionSpace);
    coordinator->menuWillOpen();
    EXPECT_EQ(desktop.starts(), 0);
    EXPECT_EQ(settings.hotkeyBinding(), kOptionSpace);
    EXPECT_EQ(coordinator->hotkeyHint(), "");
    EXPECT_TRUE(alerts->shown.empty());
}

TEST_F(HotkeyCoordinatorTest, PauseStopsTheBackendAndApplyingNothingTakesItUpAgain)
{
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    coordinator->pauseHotkey();
    coordinator->applyHotkey(std::nullopt);
    EXPECT_EQ(desktop.journal,
              (std::vector<std::string>{"start ⌃⇧Space", "stop ⌃⇧Space", "stop ⌃⇧Space", "start ⌃⇧Space"}));
    EXPECT_TRUE(coordinator->isRegistered());
}

TEST_F(HotkeyCoordinatorTest, APermissionGrantedDuringTheWaitRegistersTheChordWithinTwoSeconds)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    EXPECT_FALSE(coordinator->registerStoredHotkey());
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey unavailable (Alt+Super)");
    EXPECT_EQ(logged(kWaiting), 1U);

    queue->advance(10.5);
    EXPECT_FALSE(coordinator->isRegistered());
    desktop.trusted = true;
    queue->advance(1.5);  // the check at 12 s
    EXPECT_TRUE(coordinator->isRegistered());
    EXPECT_FALSE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey ready (Alt+Super)");
    EXPECT_EQ(logged(kGranted), 1U) << log.text();

    // The wait is over: no further checks, no second registration, no alert later.
    const int starts = desktop.starts();
    queue->advance(300);
    EXPECT_EQ(desktop.starts(), starts);
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_EQ(queue->pendingCount(), 0U);
}

TEST_F(HotkeyCoordinatorTest, TheWaitEndsAfterTwoMinutesWithOneWarning)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();

    queue->advance(119.9);
    EXPECT_TRUE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(logged(kGaveUp), 0U);
    EXPECT_TRUE(alerts->shown.empty());

    queue->advance(0.1);
    EXPECT_FALSE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(logged(kGaveUp), 1U) << log.text();
    ASSERT_EQ(alerts->shown.size(), 1U);
    EXPECT_EQ(alerts->shown[0], hotkeyInactiveAlert(kGlobeOption));
    EXPECT_EQ(alerts->shown[0].message, "Alt+Super is not active");
    EXPECT_EQ(alerts->shown[0].buttons, (std::vector<std::string>{"Open Accessibility Settings", "Not Now"}));
    EXPECT_EQ(alerts->shown[0].informativeText.rfind("A shortcut that uses Super needs Accessibility permission.", 0),
              0U);
    EXPECT_NE(alerts->shown[0].informativeText.find("\n\nThe shortcut starts working the next time you open the "
                                                    "Korvane menu. Until then, use Start Dictation from the menu."),
              std::string::npos);
    EXPECT_EQ(alerts->settingsOpened, 0);  // "Not Now"
    EXPECT_EQ(queue->pendingCount(), 0U);
}

TEST_F(HotkeyCoordinatorTest, TheWarningWaitsWhileDictatingAndNeverComesTwice)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    alerts->answers = {0};  // "Open Accessibility Settings"

    desktop.busy = true;
    queue->advance(120 + 14.9);  // the warning came due and was put off twice
    EXPECT_TRUE(alerts->shown.empty());
    desktop.busy = false;
    queue->advance(0.1);  // the third 5 s step
    ASSERT_EQ(alerts->shown.size(), 1U);
    EXPECT_DOUBLE_EQ(queue->now(), 135.0);

    // The button opened the settings and started a new wait, which ends without a second alert.
    EXPECT_EQ(alerts->settingsOpened, 1);
    EXPECT_TRUE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(logged(kWaiting), 2U);
    queue->advance(120);
    EXPECT_EQ(logged(kGaveUp), 2U) << log.text();
    EXPECT_EQ(alerts->shown.size(), 1U);
    EXPECT_EQ(queue->pendingCount(), 0U);
}

TEST_F(HotkeyCoordinatorTest, ADeferredWarningIsDroppedWhenTheShortcutGetsRegistered)
{
    store(kGlobeOption);
    desktop.trusted = false;
    desktop.busy = true;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    queue->advance(121);
    desktop.trusted = true;
    coordinator->menuWillOpen();
    desktop.busy = false;
    queue->advance(30);
    EXPECT_TRUE(coordinator->isRegistered());
    EXPECT_TRUE(alerts->shown.empty());
}

TEST_F(HotkeyCoordinatorTest, OpeningTheMenuRegistersTheChordOnceThePermissionCame)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    queue->advance(200);  // the wait has ended
    ASSERT_FALSE(coordinator->isWaitingForAccessibility());

    coordinator->menuWillOpen();  // still no permission: nothing
    EXPECT_FALSE(coordinator->isRegistered());
    const int startsBefore = desktop.starts();
    EXPECT_EQ(startsBefore, 1);

    desktop.trusted = true;
    coordinator->menuWillOpen();
    EXPECT_TRUE(coordinator->isRegistered());
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey ready (Alt+Super)");
    EXPECT_EQ(logged(kGranted), 1U);

    coordinator->menuWillOpen();  // registered: nothing more
    EXPECT_EQ(desktop.starts(), startsBefore + 1);
}

TEST_F(HotkeyCoordinatorTest, OpeningTheMenuDuringTheWaitEndsIt)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    queue->advance(3);
    desktop.trusted = true;
    coordinator->menuWillOpen();
    EXPECT_TRUE(coordinator->isRegistered());
    EXPECT_FALSE(coordinator->isWaitingForAccessibility());
    queue->advance(200);
    EXPECT_EQ(desktop.starts(), 2);
    EXPECT_EQ(logged(kGranted), 1U);
}

TEST_F(HotkeyCoordinatorTest, AGrantThatStillCannotRegisterSaysUnavailable)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    desktop.trusted = true;
    desktop.refuseEverything = true;  // say, the keyboard watch could not be set up
    queue->advance(2);
    EXPECT_FALSE(coordinator->isRegistered());
    EXPECT_FALSE(coordinator->isWaitingForAccessibility());
    EXPECT_EQ(lastStatusLine(), "Status: Hotkey unavailable (Alt+Super)");
    EXPECT_EQ(logged(kGranted), 0U);
}

TEST_F(HotkeyCoordinatorTest, AWaitOutlivingItsCoordinatorDoesNothing)
{
    store(kGlobeOption);
    desktop.trusted = false;
    auto coordinator = makeCoordinator();
    coordinator->registerStoredHotkey();
    coordinator.reset();
    desktop.trusted = true;
    queue->advance(200);
    EXPECT_EQ(desktop.starts(), 1);
    EXPECT_TRUE(alerts->shown.empty());
}

}  // namespace
}  // namespace korvane
