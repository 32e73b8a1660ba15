// SPDX-License-Identifier: MIT
// Another client holding the Wayland clipboard through wlroots' data control, for the clipboard
// tests: a password manager, or an application copying an image with a text version.
//   korvane_data_control_owner --format MIME=FILE ... [--stall MIME]
// Each format's bytes come from a file. Prints "ready" once the compositor holds its contents and
// "read MIME" for each request it serves; a request for the --stall format is never answered (an
// owner that hangs). Exits when it loses the clipboard ("cancelled") or at end of standard input.
#include "data-control-client-protocol.h"
#include <wayland-client.h>

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Owner {
    std::vector<std::pair<std::string, std::string>> formats;
    std::string stalled;
    std::vector<int> held;  // the stalled requests' descriptors, kept open
    wl_seat* seat = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;
    bool cancelled = false;
};

void say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void serve(Owner& owner, const char* type, int fd)
{
    say(std::string("read ") + type);
    if (type == owner.stalled) {
        owner.held.push_back(fd);
        return;
    }
    for (const auto& [mime, data] : owner.formats) {
        if (mime == type) {
            for (std::size_t at = 0; at < data.size();) {
                const ssize_t written = ::write(fd, data.data() + at, data.size() - at);
                if (written <= 0) {
                    break;  // the reader went away
                }
                at += static_cast<std::size_t>(written);
            }
        }
    }
    ::close(fd);
}

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
            auto& owner = *static_cast<Owner*>(data);
            if (std::strcmp(interface, wl_seat_interface.name) == 0 && owner.seat == nullptr) {
                owner.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
            } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
                owner.manager = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
                    registry, name, &zwlr_data_control_manager_v1_interface, version < 2 ? version : 2));
            }
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

// The compositor shows every selection to the device, ours included; the owner reads none of them.
void forget(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer)
{
    if (offer != nullptr) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
}

const zwlr_data_control_device_v1_listener kDeviceListener = {
    .data_offer = [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {},
    .selection = forget,
    .finished = [](void*, zwlr_data_control_device_v1*) {},
    .primary_selection = forget,
};

const zwlr_data_control_source_v1_listener kSourceListener = {
    .send = [](void* data, zwlr_data_control_source_v1*, const char* type,
               std::int32_t fd) { serve(*static_cast<Owner*>(data), type, fd); },
    .cancelled = [](void* data, zwlr_data_control_source_v1*) { static_cast<Owner*>(data)->cancelled = true; },
};

}  // namespace

int main(int argc, char** argv)
{
    // A reader that gives up must not end us.
    std::signal(SIGPIPE, SIG_IGN);
    Owner owner;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--stall") {
            owner.stalled = value;
        } else if (option == "--format" && value.rfind('=') != std::string::npos) {
            // The MIME type may hold '=' itself (a charset); the file name does not.
            const std::size_t split = value.rfind('=');
            std::ifstream file(value.substr(split + 1), std::ios::binary);
            std::ostringstream bytes;
            bytes << file.rdbuf();
            owner.formats.emplace_back(value.substr(0, split), bytes.str());
        } else {
            std::fprintf(stderr, "usage: %s --format MIME=FILE ... [--stall MIME]\n", argv[0]);
            return 2;
        }
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::perror("wl_display_connect");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &owner);
    wl_display_roundtrip(display);
    if (owner.seat == nullptr || owner.manager == nullptr) {
        std::fprintf(stderr, "the compositor offers no seat or no wlroots data control\n");
        return 1;
    }
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(owner.manager);
    zwlr_data_control_source_v1_add_listener(source, &kSourceListener, &owner);
    for (const auto& format : owner.formats) {
        zwlr_data_control_source_v1_offer(source, format.first.c_str());
    }
    zwlr_data_control_device_v1* device = zwlr_data_control_manager_v1_get_data_device(owner.manager, owner.seat);
    zwlr_data_control_device_v1_add_listener(device, &kDeviceListener, &owner);
    zwlr_data_control_device_v1_set_selection(device, source);
    if (wl_display_roundtrip(display) < 0) {
        return 1;
    }
    say("ready");

    while (!owner.cancelled) {
        wl_display_flush(display);
        pollfd watched[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            continue;
        }
        char ignored[256];
        if (watched[1].revents != 0 && ::read(STDIN_FILENO, ignored, sizeof ignored) <= 0) {
            break;
        }
        if (watched[0].revents != 0 && wl_display_dispatch(display) < 0) {
            return 1;
        }
    }
    if (owner.cancelled) {
        say("cancelled");
    }
    for (const int fd : owner.held) {
        ::close(fd);
    }
    zwlr_data_control_source_v1_destroy(source);
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_manager_v1_destroy(owner.manager);
    wl_seat_destroy(owner.seat);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
