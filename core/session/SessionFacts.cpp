#include "core/session/SessionFacts.h"

#include <array>
#include <string_view>
#include <vector>

namespace korvane {

namespace {

// Names in XDG_CURRENT_DESKTOP that stand for a desktop, rather than for a distribution's flavour
// of one ("ubuntu", "pop") or a session's variant ("Unity7", "wlroots").
constexpr std::array<std::string_view, 14> kDesktops{"KDE",    "GNOME", "sway",          "Hyprland",   "river",
                                                     "XFCE",   "LXQt",  "MATE",          "X-Cinnamon", "Budgie",
                                                     "COSMIC", "Unity", "Enlightenment", "i3"};

std::vector<std::string_view> entriesOf(std::string_view list)
{
    std::vector<std::string_view> entries;
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view entry = list.substr(0, colon);
        if (!entry.empty()) {
            entries.push_back(entry);
        }
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return entries;
}

std::string desktopOf(std::string_view currentDesktop)
{
    const std::vector<std::string_view> entries = entriesOf(currentDesktop);
    for (const std::string_view entry : entries) {
        for (const std::string_view known : kDesktops) {
            if (entry == known) {
                return std::string(entry);
            }
        }
    }
    return entries.empty() ? std::string() : std::string(entries.front());
}

}  // namespace

SessionFacts sessionFactsFrom(const SessionEnvironment& environment)
{
    SessionFacts facts;
    facts.desktop = desktopOf(environment.currentDesktop);
    if (environment.sessionType == "wayland" || !environment.waylandDisplay.empty()) {
        facts.kind = SessionKind::wayland;
        facts.xwayland = !environment.display.empty();
    }
    return facts;
}

const char* sessionKindName(SessionKind kind)
{
    return kind == SessionKind::wayland ? "wayland" : "x11";
}

}  // namespace korvane
