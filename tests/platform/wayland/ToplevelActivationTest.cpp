// SPDX-License-Identifier: MIT
// Which toplevel window is in front, from the app ids and states a compositor announces.
#include "platform/linux/wayland/ToplevelActivation.h"

#include <gtest/gtest.h>

#include <sstream>

namespace korvane {
namespace {

// Plays a script of events, separated by spaces: "1app=term" (window 1's app id), "1+" and "1-" (its
// state with and without activated), "1done", "1closed".
void play(ToplevelActivation& activation, const std::string& script)
{
    std::istringstream events(script);
    std::string event;
    while (events >> event) {
        const std::size_t end = event.find_first_not_of("0123456789");
        const auto id = static_cast<ToplevelActivation::Id>(std::stoul(event.substr(0, end)));
        const std::string what = event.substr(end);
        if (what.starts_with("app=")) {
            activation.setAppId(id, what.substr(4));
        } else if (what == "+" || what == "-") {
            activation.setActivated(id, what == "+");
        } else if (what == "done") {
            activation.done(id);
        } else {
            ASSERT_EQ(what, "closed");
            activation.closed(id);
        }
    }
}

std::string front(const ToplevelActivation& activation)
{
    const std::optional<ActiveApplication> active = activation.active();
    return active ? active->bundleId : "-";
}

TEST(ToplevelActivationTest, FindsTheWindowInFront)
{
    const struct {
        const char* script;
        const char* front;
    } cases[] = {
        {"1app=term 1+", "-"},  // nothing counts before done
        {"1app=term 1+ 1done", "term"},
        {"1+ 1done", "-"},  // a window without an app id names no application
        {"1app=term 1+ 1done 2app=web 2- 2done", "term"},
        {"1app=term 1+ 1done 1- 1done 2app=web 2+ 2done", "web"},
        {"1app=term 1+ 1done 1closed", "-"},
        {"1app=term 1+ 1done 1app=shell 1done", "shell"},
        // Two seats: the window activated last is in front, the other one again once it is not.
        {"1app=term 1+ 1done 2app=web 2+ 2done", "web"},
        {"1app=term 1+ 1done 2app=web 2+ 2done 2- 2done", "term"},
        {"1app=term 1+ 1done 2app=web 2+ 2done 1+ 1done", "web"},  // still active is no new activation
        {"1app=term 1+ 1done 2app=web 2+ 2done 2closed", "term"},
    };
    for (const auto& row : cases) {
        ToplevelActivation activation;
        play(activation, row.script);
        EXPECT_EQ(front(activation), row.front) << row.script;
    }
}

TEST(ToplevelActivationTest, TellsEachChangeOfTheWindowInFrontOnce)
{
    ToplevelActivation activation;
    play(activation, "1app=term 1+ 1done 2app=term 2- 2done");
    EXPECT_TRUE(activation.takeChange());
    EXPECT_FALSE(activation.takeChange());
    play(activation, "1- 1done 2+ 2done");  // the same application, another window
    EXPECT_TRUE(activation.takeChange());
    play(activation, "2closed 2app=term 2+ 2done");  // a closed window's id may come back
    EXPECT_TRUE(activation.takeChange());
    play(activation, "2closed");
    EXPECT_TRUE(activation.takeChange());
    EXPECT_FALSE(activation.takeChange());
}

TEST(ToplevelActivationTest, BringsBackTheApplicationsWindowThatWasActiveLast)
{
    struct Case {
        const char* script;
        const char* appId;
        std::optional<ToplevelActivation::Id> window;
    };
    for (const Case& c : {
             Case{"1app=term 1done 2app=term 2+ 2done 2- 2done 3app=edit 3+ 3done", "term", 2},
             Case{"1app=term 1+ 1done 1- 1done 2app=term 2+ 2done 2- 2done", "term", 2},
             Case{"1app=term 1done", "term", 1},
             Case{"1app=term 1+ 1done 1closed", "term", std::nullopt},
             Case{"1app=term 1done", "edit", std::nullopt},
         }) {
        ToplevelActivation activation;
        play(activation, c.script);
        EXPECT_EQ(activation.windowOf(c.appId), c.window) << c.script;
    }
}

}  // namespace
}  // namespace korvane
