// SPDX-License-Identifier: MIT
// The autostart entry's text: the Exec line survives any executable path, and reading an entry
// finds whether it is switched off.
#include "ui/logic/AutostartEntry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

TEST(AutostartEntry, TheExecLineGivesBackTheExecutablePathWhateverItHolds)
{
    const std::vector<std::string> paths{
        "/usr/bin/korvane",
        "/home/ann/My Programs/korvane",
        R"(/opt/"quoted"/$HOME/`tick`/back\slash/100%/korvane)",
        "/tmp/tab\there/new\nline/korvane",
        "/home/ünïcødé/korvane",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const AutostartEntry entry = parseAutostartEntry(autostartEntryText(path));
        ASSERT_TRUE(entry.exec.has_value());
        EXPECT_EQ(entry.exec->find('\n'), std::string::npos) << "one line per key";
        EXPECT_EQ(splitExec(*entry.exec), std::optional(std::vector<std::string>{path}));
        EXPECT_TRUE(entry.isActive());
    }
}

TEST(AutostartEntry, SplittingFollowsTheQuotingRules)
{
    using Args = std::vector<std::string>;
    EXPECT_EQ(splitExec("korvane --flag  \"two words\""), std::optional(Args{"korvane", "--flag", "two words"}));
    EXPECT_EQ(splitExec(R"("a\\\\b")"), std::optional(Args{"a\\b"}));
    EXPECT_EQ(splitExec(R"("\\$HOME")"), std::optional(Args{"$HOME"}));
    EXPECT_EQ(splitExec("100%%"), std::optional(Args{"100%"}));
    EXPECT_EQ(splitExec("\"unbalanced"), std::nullopt);
    EXPECT_EQ(splitExec("korvane %u"), std::nullopt);
    EXPECT_EQ(splitExec(R"("\\q")"), std::nullopt);
}

TEST(AutostartEntry, ReadingFindsWhetherTheEntryIsSwitchedOff)
{
    struct Case {
        const char* text;
        bool active;
    };
    const std::vector<Case> cases{
        {"[Desktop Entry]\nExec=korvane\n", true},
        {"[Desktop Entry]\nHidden=true\n", false},
        {"[Desktop Entry]\nHidden = true\n", false},
        {"[Desktop Entry]\nHidden=false\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"# Hidden=true\n[Desktop Entry]\nName=Korvane\n", true},
        {"[Desktop Entry]\nExec=korvane\n[Desktop Action quit]\nHidden=true\n", true},
        {"[Desktop Entry]\r\nHidden=true\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseAutostartEntry(c.text).isActive(), c.active);
    }
    EXPECT_FALSE(parseAutostartEntry(autostartEntryText("/usr/bin/korvane", /*hidden=*/true)).isActive());
}

}  // namespace
}  // namespace korvane
