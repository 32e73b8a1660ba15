#pragma once

#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/wayland/HeadlessSway.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace korvane::testing {

// Korvane in a sway session, as a user of a wlroots desktop runs it: the real application as sway's
// user, on Wayland alone (no XWayland, no session bus), a model that decodes the desktop's phrase,
// and the shortcut a binding in sway's configuration that runs `korvane --toggle`, pressed through
// a virtual keyboard. The constructor returns once the model is loaded; throws std::runtime_error,
// with Korvane's log, when it does not.
class SwayDictation {
public:
    enum class Windows { wayland, xwayland };

    // `phrase`: what the desktop speaks and the model decodes. `recipe`: the model's shape; it is
    // made a scripted model of `phrase`. `windows`: with xwayland, sway runs XWayland and Korvane's
    // windows and clipboard go through it, as on most desktops.
    explicit SwayDictation(const std::string& phrase, modelgen::ModelRecipe recipe = {},
                           Windows windows = Windows::wayland);

    HeadlessSway& sway() { return *sway_; }
    RunningKorvane& app() { return *app_; }
    DictationDesktop& desktop() { return desktop_; }

    // Runs `korvane ARGUMENTS` once more in this session, as its user with its home, and returns
    // what it printed; throws when it fails.
    std::string runKorvane(const std::string& arguments) const;

    // The compositor's binding, pressed and released.
    void pressShortcut() const;
    // Presses it around the spoken phrase and returns the log line the dictation started from,
    // once it ended one way or another; throws when it does not end within a minute.
    std::size_t dictate();

    // What the single-line field of a fields client on this sway holds.
    static std::string fieldText(HeadlessSway::Client& client);
    // Reads until `read` gives `expected`, up to `timeout`; returns the last reading.
    static std::string eventually(const std::function<std::string()>& read, const std::string& expected,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    DictationDesktop desktop_;
    TempHome home_;
    std::unique_ptr<CatalogueModel> model_;
    AppForAnyUser toggle_;
    std::unique_ptr<HeadlessSway> sway_;
    std::unique_ptr<RunningKorvane> app_;
};

}  // namespace korvane::testing
