#include "platform/linux/SessionEnvironment.h"

#include "core/session/SessionMethods.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace korvane {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

SessionEnvironment currentSessionEnvironment()
{
    return SessionEnvironment{variable("XDG_SESSION_TYPE"), variable("WAYLAND_DISPLAY"), variable("DISPLAY"),
                              variable("XDG_CURRENT_DESKTOP")};
}

std::vector<char*> qtArgumentsFor(const SessionFacts& session, int argc, char** argv)
{
    std::vector<char*> arguments(argv, argv + argc);
    bool chosen = !variable("QT_QPA_PLATFORM").empty();
    for (int i = 1; i < argc; ++i) {
        chosen = chosen || std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0;
    }
    if (!chosen) {
        static char option[] = "-platform";
        static char xcb[] = "xcb";
        static char wayland[] = "wayland";
        arguments.push_back(option);
        arguments.push_back(std::strcmp(qtPlatformFor(session), "wayland") == 0 ? wayland : xcb);
    }
    arguments.push_back(nullptr);
    return arguments;
}

}  // namespace korvane
