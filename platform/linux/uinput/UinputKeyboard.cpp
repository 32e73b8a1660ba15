#include "platform/linux/uinput/UinputKeyboard.h"

#include <linux/input-event-codes.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

namespace korvane {

namespace {

constexpr const char* kDevicePath = "/dev/uinput";
constexpr const char* kDeviceName = "Korvane paste keys";

// The keys the device declares, and so the only ones the kernel lets through. The typing block
// (Escape to the keypad, which holds every letter, digit and punctuation key in any layout: Dvorak
// gives "v" from the "." key), the function keys and the navigation block with Insert, for the
// chords a user may configure, and the left Super key (the other modifiers sit in the typing block).
constexpr std::array<std::pair<int, int>, 4> kKeyRanges{{
    {KEY_ESC, KEY_KPDOT},
    {KEY_102ND, KEY_F12},
    {KEY_HOME, KEY_DELETE},
    {KEY_LEFTMETA, KEY_LEFTMETA},
}};

bool declared(unsigned code)
{
    for (const auto& [first, last] : kKeyRanges) {
        if (code >= static_cast<unsigned>(first) && code <= static_cast<unsigned>(last)) {
            return true;
        }
    }
    return false;
}

// The modifier's left key by keysym, for the layout to place (ctrl:swapcaps puts Control_L on the
// Caps Lock key), and the evdev key that carries it in every standard layout.
std::pair<const char*, unsigned> modifierKey(KeyModifier modifier)
{
    switch (modifier) {
    case KeyModifier::shift:
        return {"Shift_L", KEY_LEFTSHIFT};
    case KeyModifier::control:
        return {"Control_L", KEY_LEFTCTRL};
    case KeyModifier::alt:
        return {"Alt_L", KEY_LEFTALT};
    case KeyModifier::super:
        break;
    }
    return {"Super_L", KEY_LEFTMETA};
}

// A full pipe or a busy device clears within milliseconds; longer than that, the paste is late
// anyway and is better reported as failed.
constexpr int kWriteAttempts = 3;
constexpr std::chrono::milliseconds kRetryPause{2};

}  // namespace

bool UinputKeyboard::deviceWritable()
{
    return ::access(kDevicePath, W_OK) == 0;
}

std::unique_ptr<UinputKeyboard> UinputKeyboard::open(LogSink log)
{
    UniqueFd fd(::open(kDevicePath, O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        log(std::string("uinput: cannot open ") + kDevicePath + ": " + std::strerror(errno));
        return nullptr;
    }
    KeyCodeLookup keyCodes = sessionKeyCodes(log);
    return create(std::move(fd), systemUinputControl(), std::move(keyCodes), std::move(log));
}

std::unique_ptr<UinputKeyboard> UinputKeyboard::create(UniqueFd fd, std::unique_ptr<UinputDeviceControl> control,
                                                       KeyCodeLookup keyCodes, LogSink log)
{
    std::unique_ptr<UinputKeyboard> keyboard(
        new UinputKeyboard(std::move(fd), std::move(control), std::move(keyCodes), std::move(log)));
    if (const char* failedStep = keyboard->setUp()) {
        keyboard->log_(std::string("uinput: cannot create the paste keyboard (") + failedStep +
                       "): " + std::strerror(errno));
        return nullptr;
    }
    return keyboard;
}

UinputKeyboard::UinputKeyboard(UniqueFd fd, std::unique_ptr<UinputDeviceControl> control, KeyCodeLookup keyCodes,
                               LogSink log)
    : fd_(std::move(fd)), control_(std::move(control)), keyCodes_(std::move(keyCodes)), log_(std::move(log))
{
}

UinputKeyboard::~UinputKeyboard()
{
    if (created_) {
        control_->destroy(fd_.get());
    }
}

const char* UinputKeyboard::setUp()
{
    const int fd = fd_.get();
    if (!control_->enableEventType(fd, EV_KEY) || !control_->enableEventType(fd, EV_SYN)) {
        return "UI_SET_EVBIT";
    }
    for (const auto& [first, last] : kKeyRanges) {
        for (int code = first; code <= last; ++code) {
            if (!control_->enableKey(fd, code)) {
                return "UI_SET_KEYBIT";
            }
        }
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, kDeviceName, UINPUT_MAX_NAME_SIZE - 1);
    if (!control_->describe(fd, setup)) {
        return "UI_DEV_SETUP";
    }
    if (!control_->create(fd)) {
        return "UI_DEV_CREATE";
    }
    created_ = true;
    return nullptr;
}

unsigned UinputKeyboard::modifierCode(KeyModifier modifier) const
{
    const auto [keysymName, standardCode] = modifierKey(modifier);
    const std::optional<unsigned> code = keyCodes_(keysymName);
    return code && declared(*code) ? *code : standardCode;
}

bool UinputKeyboard::sendKey(unsigned code, bool down)
{
    std::array<input_event, 2> events{};
    events[0].type = EV_KEY;
    events[0].code = static_cast<decltype(events[0].code)>(code);
    events[0].value = down ? 1 : 0;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    for (int attempt = 1;; ++attempt) {
        const ssize_t written = control_->write(fd_.get(), events.data(), sizeof(events));
        if (written == static_cast<ssize_t>(sizeof(events))) {
            return true;
        }
        const bool transient = written < 0 && (errno == EAGAIN || errno == EINTR);
        if (!transient || attempt == kWriteAttempts) {
            log_(std::string("uinput: a key event was not sent: ") +
                 (written < 0 ? std::strerror(errno) : "the device took only part of it"));
            return false;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

std::vector<KeyModifier> UinputKeyboard::heldModifiers()
{
    return {};
}

bool UinputKeyboard::releaseModifiers(const std::vector<KeyModifier>& modifiers)
{
    bool sent = true;
    for (const KeyModifier modifier : modifiers) {
        sent = sendKey(modifierCode(modifier), false) && sent;
    }
    return sent;
}

bool UinputKeyboard::sendChord(const KeyChord& chord)
{
    const std::optional<unsigned> key = keyCodes_(chord.key);
    if (!key || !declared(*key)) {
        log_("uinput: no key of the paste keyboard gives " + chord.key + " in this layout");
        return false;
    }
    // Whatever we tried to press goes up again, in reverse, also after a failure: a key-up for a
    // key that never went down is dropped by the kernel, a key left down would repeat forever.
    std::vector<unsigned> pressed;
    bool sent = true;
    for (const KeyModifier modifier : chord.modifiers) {
        pressed.push_back(modifierCode(modifier));
        if (!sendKey(pressed.back(), true)) {
            sent = false;
            break;
        }
    }
    if (sent) {
        pressed.push_back(*key);
        sent = sendKey(*key, true);
    }
    for (auto code = pressed.rbegin(); code != pressed.rend(); ++code) {
        sent = sendKey(*code, false) && sent;
    }
    return sent;
}

}  // namespace korvane
