// SPDX-License-Identifier: MIT
// Another X client for the hotkey tests: grabs one key combination on the root window, exactly as
// named (no lock variants added), or the whole keyboard, as a menu or a password prompt does;
// prints "grabbed" or "refused <X error code or grab status>", and keeps the grab until its
// standard input closes.
//
//   korvane_hotkey_grab_client KEYSYM [shift|lock|control|mod1..mod5|numlock]...
//   korvane_hotkey_grab_client --keyboard
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int lastError = 0;

int recordError(Display*, XErrorEvent* event)
{
    lastError = event->error_code;
    return 0;
}

// The modifier bit of the Num Lock key in the current modifier map; 0 when it has none.
unsigned numLockMask(Display* display)
{
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned mask = 0;
    for (int bit = 0; bit < 8; ++bit) {
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            if (numLock != 0 && map->modifiermap[bit * map->max_keypermod + slot] == numLock) {
                mask = 1U << bit;
            }
        }
    }
    XFreeModifiermap(map);
    return mask;
}

}  // namespace

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr || argc < 2) {
        std::puts("usage: korvane_hotkey_grab_client KEYSYM [MODIFIER]...");
        return 2;
    }
    const std::string names[] = {"shift", "lock", "control", "mod1", "mod2", "mod3", "mod4", "mod5"};
    unsigned state = 0;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "numlock") == 0) {
            state |= numLockMask(display);
        }
        for (unsigned bit = 0; bit < 8; ++bit) {
            if (names[bit] == argv[i]) {
                state |= 1U << bit;
            }
        }
    }
    XSetErrorHandler(recordError);
    if (std::strcmp(argv[1], "--keyboard") == 0) {
        const int status =
            XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        lastError = status == GrabSuccess ? 0 : status;
    } else {
        const KeyCode key = XKeysymToKeycode(display, XStringToKeysym(argv[1]));
        XGrabKey(display, key, state, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    }
    XSync(display, False);
    if (lastError != 0) {
        std::printf("refused %d\n", lastError);
    } else {
        std::puts("grabbed");
    }
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
    }
    XCloseDisplay(display);
    return 0;
}
