// SPDX-License-Identifier: MIT
// The uinput paste keyboard: its device set-up through a recording control, the events it writes,
// read back from a pipe, and the keys it finds for keysyms in layouts from the installed xkb data.
#include "platform/linux/uinput/UinputKeyboard.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/ScopedEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAreArray;

using Event = std::tuple<int, int, int>;  // type, code, value

// What the device went through; the test keeps it while the keyboard owns the control.
struct Record {
    std::vector<int> eventTypes, keys, calls;  // calls: 1 setup, 2 create, 3 destroy
    uinput_setup setup{};
    std::string failingStep;                         // "evbit", "keybit", "setup" or "create"
    int failingWrite = -1, failures = 0, error = 0;  // attempts [failingWrite, +failures) fail
    int writes = 0;
};

class RecordingControl final : public UinputDeviceControl {
public:
    explicit RecordingControl(Record& record) : r_(record) {}
    bool enableEventType(int, int type) override { return r_.eventTypes.push_back(type), ok("evbit"); }
    bool enableKey(int, int code) override { return r_.keys.push_back(code), ok("keybit"); }
    bool describe(int, const uinput_setup& setup) override
    {
        return r_.setup = setup, r_.calls.push_back(1), ok("setup");
    }
    bool create(int) override { return r_.calls.push_back(2), ok("create"); }
    void destroy(int) override { r_.calls.push_back(3); }
    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        const int attempt = r_.writes++;
        if (attempt >= r_.failingWrite && attempt < r_.failingWrite + r_.failures) {
            return errno = r_.error, -1;
        }
        return ::write(fd, data, size);
    }

private:
    bool ok(const std::string& step) { return errno = EPERM, r_.failingStep != step; }
    Record& r_;
};

// A layout where Control_L sits on Caps Lock (ctrl:swapcaps) and "y" has no key.
std::optional<unsigned> fakeLayout(const std::string& name)
{
    const std::map<std::string, unsigned> codes{{"v", KEY_V}, {"Insert", KEY_INSERT}, {"Control_L", KEY_CAPSLOCK}};
    const auto found = codes.find(name);
    return found != codes.end() ? std::optional(found->second) : std::nullopt;
}

// The keyboard on the write end of a pipe, its events read back from the other.
struct Fixture {
    Record record;
    testing::RecordingLog log;
    std::array<int, 2> pipe{};
    std::unique_ptr<UinputKeyboard> keyboard;

    explicit Fixture(std::string failingStep = "")
    {
        record.failingStep = std::move(failingStep);
        EXPECT_EQ(::pipe2(pipe.data(), O_CLOEXEC | O_NONBLOCK), 0);
        keyboard = UinputKeyboard::create(UniqueFd(pipe[1]), std::make_unique<RecordingControl>(record), fakeLayout,
                                          log.sink());
    }
    ~Fixture() { ::close(pipe[0]); }

    std::vector<Event> events() const
    {
        std::vector<Event> read;
        for (input_event event{}; ::read(pipe[0], &event, sizeof event) == sizeof event;) {
            read.emplace_back(event.type, event.code, event.value);
        }
        return read;
    }
};

// Each key event followed by the report that delivers it.
std::vector<Event> frames(const std::vector<std::pair<int, int>>& keys)
{
    std::vector<Event> events;
    for (const auto& [code, value] : keys) {
        events.insert(events.end(), {{EV_KEY, code, value}, {EV_SYN, SYN_REPORT, 0}});
    }
    return events;
}

TEST(UinputKeyboard, CreatesAKeyboardWithEveryKeyALayoutMayNeedAndDestroysItAtTheEnd)
{
    Fixture fixture;
    ASSERT_NE(fixture.keyboard, nullptr);
    EXPECT_THAT(fixture.record.eventTypes, ElementsAreArray({EV_KEY, EV_SYN}));
    const std::set<int> keys(fixture.record.keys.begin(), fixture.record.keys.end());
    for (int key : {KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_LEFTALT, KEY_LEFTMETA, KEY_A, KEY_Z, KEY_M, KEY_0, KEY_9,
                    KEY_INSERT, KEY_DOT, KEY_CAPSLOCK, KEY_F5, KEY_F12}) {
        EXPECT_TRUE(keys.contains(key)) << key;
    }
    EXPECT_STREQ(fixture.record.setup.name, "Korvane paste keys");
    EXPECT_EQ(fixture.record.setup.id.bustype, BUS_VIRTUAL);
    fixture.keyboard.reset();
    EXPECT_THAT(fixture.record.calls, ElementsAreArray({1, 2, 3}));
}

TEST(UinputKeyboard, GivesUpWhenASetUpStepFailsAndDestroysNothingItDidNotCreate)
{
    for (const std::string step : {"evbit", "keybit", "setup", "create"}) {
        Fixture fixture(step);
        EXPECT_EQ(fixture.keyboard, nullptr) << step;
        EXPECT_FALSE(std::ranges::count(fixture.record.calls, 3)) << step;
        EXPECT_THAT(fixture.log.text(), ::testing::HasSubstr("cannot create the paste keyboard")) << step;
    }
}

TEST(UinputKeyboard, PressesModifiersThenTheKeyAndReleasesWhatItTriedToPressInReverse)
{
    const KeyModifier ctrl = KeyModifier::control, shift = KeyModifier::shift;
    const int caps = KEY_CAPSLOCK, lshift = KEY_LEFTSHIFT, v = KEY_V, ins = KEY_INSERT;  // caps: Control_L
    struct Case {
        KeyChord chord;
        bool sent;
        std::vector<Event> events;
        int failingWrite = -1, failures = 1, error = EIO;
    };
    const std::vector<Case> cases{
        {{{ctrl}, "v"}, true, frames({{caps, 1}, {v, 1}, {v, 0}, {caps, 0}})},
        {{{shift}, "Insert"}, true, frames({{lshift, 1}, {ins, 1}, {ins, 0}, {lshift, 0}})},
        {{{ctrl, shift}, "v"}, true, frames({{caps, 1}, {lshift, 1}, {v, 1}, {v, 0}, {lshift, 0}, {caps, 0}})},
        {{{ctrl}, "y"}, false, {}},                                                     // no key gives "y"
        {{{ctrl, shift}, "v"}, false, frames({{caps, 1}, {lshift, 0}, {caps, 0}}), 1},  // shift down failed
        {{{ctrl}, "v"}, false, frames({{caps, 1}, {v, 0}, {caps, 0}}), 1},              // v down failed
        {{{ctrl}, "v"}, false, frames({{caps, 1}, {v, 1}, {caps, 0}}), 2},              // v up failed
        {{{}, "Insert"}, true, frames({{ins, 1}, {ins, 0}}), 0, 2, EAGAIN},             // a full device, briefly
        {{{}, "Insert"}, false, frames({{ins, 0}}), 0, 3, EAGAIN},                      // ... and for too long
    };
    for (const auto& [chord, sent, events, failingWrite, failures, error] : cases) {
        Fixture fixture;
        fixture.record.failingWrite = failingWrite;
        fixture.record.failures = failures;
        fixture.record.error = error;
        EXPECT_EQ(fixture.keyboard->sendChord(chord), sent) << chord.key << " failing write " << failingWrite;
        EXPECT_THAT(fixture.events(), ElementsAreArray(events)) << chord.key << " failing write " << failingWrite;
    }
}

TEST(UinputKeyboard, ReleasesModifiersFromItsOwnDeviceAndSeesNoneHeld)
{
    Fixture fixture;
    EXPECT_TRUE(fixture.keyboard->heldModifiers().empty());
    EXPECT_TRUE(fixture.keyboard->releaseModifiers({KeyModifier::alt, KeyModifier::super}));
    EXPECT_THAT(fixture.events(), ElementsAreArray(frames({{KEY_LEFTALT, 0}, {KEY_LEFTMETA, 0}})));
}

TEST(LayoutKeyCodes, FindsTheKeyThatGivesTheKeysymInTheFirstLayout)
{
    const KeyboardLayoutNames us{"", "us", "", ""};
    const KeyboardLayoutNames dvorak{"pc105", "us", "dvorak", ""};
    const KeyboardLayoutNames swapcaps{"", "us", "", "ctrl:swapcaps"};
    const std::vector<std::tuple<KeyboardLayoutNames, std::string, std::optional<unsigned>>> cases{
        {us, "v", KEY_V},
        {us, "V", KEY_V},         // the shifted level, when no key gives it unshifted
        {us, "less", KEY_102ND},  // unshifted there, rather than shifted on the comma key
        {us, "Insert", KEY_INSERT},
        {us, "Control_L", KEY_LEFTCTRL},
        {us, "no_such_keysym", std::nullopt},
        {dvorak, "v", KEY_DOT},
        {{"", "de,us", "", ""}, "y", KEY_Z},  // the first layout decides
        {swapcaps, "Control_L", KEY_CAPSLOCK},
        {{"", "ru", "", ""}, "v", KEY_V},              // the US layout's key, as toolkits match shortcuts
        {{"", "no-such-layout", "", ""}, "v", KEY_V},  // a layout that does not compile: the US one
    };
    // Names we chose are compiled as they are: xkbcommon fills no gap in them from the environment.
    const testing::ScopedEnvironment options("XKB_DEFAULT_OPTIONS", "ctrl:swapcaps");
    for (const auto& [names, keysym, expected] : cases) {
        testing::RecordingLog log;
        EXPECT_EQ(keyCodesFor(names, log.sink())(keysym), expected) << names.layout << " " << keysym;
    }
}

}  // namespace
}  // namespace korvane
