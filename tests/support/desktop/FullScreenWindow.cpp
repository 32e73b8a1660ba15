// SPDX-License-Identifier: MIT
// A full-screen X11 window in one plain colour that reports the mouse buttons pressed on it, for the
// desktop tests of what must show above a full-screen application and let clicks through to it.
//   korvane_fullscreen_window RRGGBB
// It asks for the full-screen state before it is mapped, as editors and browsers do, so the window
// manager takes it on full-screen. Prints, one line each:
//   ready WINDOW          once the window is mapped (WINDOW in decimal)
//   press BUTTON X Y      for each button press on it (root window coordinates)
// It runs until it is ended.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

void say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::uint32_t colour = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 16)) : 0;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber; ++index) {
        xcb_screen_next(&screens);
    }
    const xcb_screen_t* screen = screens.data;

    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {colour, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);

    const char windowClass[] = "korvane-fullscreen\0KorvaneFullScreen";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof windowClass, windowClass);
    const char title[] = "Full screen";
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof title - 1, title);
    const xcb_atom_t fullScreen = atom(connection, "_NET_WM_STATE_FULLSCREEN");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                        1, &fullScreen);
    xcb_map_window(connection, window);
    xcb_flush(connection);

    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        switch (event->response_type & 0x7F) {
        case XCB_MAP_NOTIFY:
            say("ready " + std::to_string(window));
            break;
        case XCB_BUTTON_PRESS: {
            const auto* press = reinterpret_cast<const xcb_button_press_event_t*>(event);
            say("press " + std::to_string(press->detail) + " " + std::to_string(press->root_x) + " " +
                std::to_string(press->root_y));
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
    return 0;
}
