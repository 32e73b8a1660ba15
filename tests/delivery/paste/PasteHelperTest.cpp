// SPDX-License-Identifier: MIT
// The paste helper over a fake clipboard and key synthesizer on virtual time.
#include "delivery/paste/PasteHelper.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "tests/delivery/paste/FakeClipboard.h"
#include "tests/delivery/paste/FakeKeySynthesizer.h"
#include "tests/support/RecordingLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::MatchesRegex;
using namespace korvane::testing;

const std::string kSkipped = "Skipping clipboard restore: pasteboard changed externally";
const PasteKeys kPrimaryKeys{{{KeyModifier::shift}, "Insert"}, true};

struct Harness {
    std::shared_ptr<CallJournal> journal = std::make_shared<CallJournal>();
    FakeClipboard clipboard{journal};
    FakeKeySynthesizer keys{journal};
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    RecordingLog log;
    bool trusted = true;
    bool targetInFront = true;
    std::shared_ptr<PasteHelper> helper =
        PasteHelper::create({&clipboard, &keys, queue, [this] { return trusted; }, log.sink()});
    std::vector<PasteResult> results;

    Harness() { clipboard.otherApplicationCopies(plainText("before")); }
    void paste(const std::string& text, const PasteKeys& pasteKeys = {})
    {
        helper->paste(
            text, pasteKeys, [this] { return targetInFront; }, [this](PasteResult r) { results.push_back(r); });
    }
    void at(double seconds, std::function<void()> action) { queue->postAfter(seconds, std::move(action)); }
};

TEST(PasteHelper, SnapshotsWritesPressesAndRestoresInOrderAndOnTime)
{
    for (const bool primary : {false, true}) {
        Harness h;
        h.paste("hello", primary ? kPrimaryKeys : PasteKeys{});
        h.queue->advance(0.04);
        EXPECT_EQ(h.keys.chordsSent, 0);
        h.queue->advance(0.02);
        EXPECT_THAT(h.results, ElementsAre(PasteResult::sent));
        h.clipboard.dataRequests = 1;
        h.queue->advance(0.98);
        EXPECT_EQ(h.clipboard.contents, plainText("hello"));
        h.queue->advance(10);
        const std::vector<std::string> expected =
            primary
                ? std::vector<std::string>{"clipboard: snapshot", "clipboard: write hello", "clipboard: primary hello",
                                           "keys: chord shift+Insert", "clipboard: restore before"}
                : std::vector<std::string>{"clipboard: snapshot", "clipboard: write hello", "keys: chord ctrl+v",
                                           "clipboard: restore before"};
        EXPECT_EQ(h.journal->entries(), expected);
        EXPECT_THAT(h.log.lines(),
                    ElementsAre(MatchesRegex("Clipboard snapshot: 6 bytes in [0-9]+ms"), "Cmd+V sent via CGEvent"));
        EXPECT_THAT(h.results, ElementsAre(PasteResult::sent));
    }
}

struct AbortCase {
    const char* name;
    std::function<void(Harness&)> meddle;  // before the paste, or at 0.02 s through Harness::at
    PasteKeys keys;
    PasteResult expected;
    std::string logLine;
    std::string clipboardAfter;
};

TEST(PasteHelper, AbortsCompleteOnceAndRestoreNothing)
{
    const std::vector<AbortCase> cases{
        {"no permission",
         [](Harness& h) { h.trusted = false; },
         {},
         PasteResult::noAccessibility,
         "Paste blocked: Accessibility permission not granted",
         "before"},
        {"target left",
         [](Harness& h) { h.at(0.02, [&h] { h.targetInFront = false; }); },
         {},
         PasteResult::targetChanged,
         "Paste aborted before Cmd+V: targetChanged",
         "hello"},
        {"other writer",
         [](Harness& h) { h.at(0.02, [&h] { h.clipboard.otherApplicationCopies(plainText("new")); }); },
         {},
         PasteResult::clipboardChanged,
         "Paste aborted before Cmd+V: clipboardChanged",
         "new"},
        {"write fails",
         [](Harness& h) { h.clipboard.failWrites = true; },
         {},
         PasteResult::eventCreationFailed,
         "Pasteboard write failed",
         "before"},
        {"primary fails", [](Harness& h) { h.clipboard.failPrimary = true; }, kPrimaryKeys,
         PasteResult::eventCreationFailed, "Pasteboard write failed", "hello"},
        {"chord fails",
         [](Harness& h) { h.keys.failChords = true; },
         {},
         PasteResult::eventCreationFailed,
         "CGEvent keyboard event creation failed",
         "hello"},
    };
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.meddle(h);
        h.paste("hello", c.keys);
        h.queue->advance(10);
        EXPECT_THAT(h.results, ElementsAre(c.expected));
        EXPECT_THAT(h.log.lines(), Contains(c.logLine));
        EXPECT_EQ(h.keys.chordsSent, 0);
        EXPECT_EQ(h.clipboard.contents, plainText(c.clipboardAfter));
    }
}

TEST(PasteHelper, SecondPasteBeforeTheFirstRestoreBringsBackWhatTheUserHadBeforeBoth)
{
    Harness h;
    h.paste("one");
    h.at(0.06, [&h] { h.clipboard.dataRequests = 1; });
    h.at(0.5, [&h] { h.paste("two"); });
    h.at(0.56, [&h] { h.clipboard.dataRequests = 1; });
    h.queue->advance(10);
    EXPECT_THAT(h.journal->entries(),
                ElementsAre("clipboard: snapshot", "clipboard: write one", "keys: chord ctrl+v", "clipboard: write two",
                            "keys: chord ctrl+v", "clipboard: restore before"));
    EXPECT_EQ(h.log.linesStartingWith(kSkipped).size(), 1U);
    EXPECT_THAT(h.results, ElementsAre(PasteResult::sent, PasteResult::sent));
}

struct ModifierCase {
    const char* name;
    std::function<void(Harness&)> meddle;
    std::vector<std::string> keyEvents;
    double chordAt;  // 0: no chord
    PasteResult expected;
    std::string logLine;
};

TEST(PasteHelper, HeldModifiersAreWaitedForThenReleasedBeforeTheChord)
{
    const std::vector<ModifierCase> cases{
        {"user lets go",
         [](Harness& h) { h.at(0.32, [&h] { h.keys.held.clear(); }); },
         {"keys: chord ctrl+v"},
         0.35,
         PasteResult::sent,
         "Cmd+V sent via CGEvent"},
        {"still held",
         [](Harness&) {},
         {"keys: release shift+alt", "keys: chord ctrl+v"},
         1.05,
         PasteResult::sent,
         "Released held modifiers for the paste: shift+alt"},
        {"release fails",
         [](Harness& h) { h.keys.failReleases = true; },
         {"keys: release shift+alt"},
         0,
         PasteResult::eventCreationFailed,
         "Could not release held modifiers for the paste: shift+alt"},
        {"target left meanwhile",
         [](Harness& h) { h.at(0.5, [&h] { h.targetInFront = false; }); },
         {"keys: release shift+alt"},
         0,
         PasteResult::targetChanged,
         "Paste aborted before Cmd+V: targetChanged"},
    };
    for (const ModifierCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.keys.held = {KeyModifier::shift, KeyModifier::alt};
        c.meddle(h);
        h.paste("hello");
        h.queue->advance(c.chordAt - 0.01);
        EXPECT_EQ(h.keys.chordsSent, 0);
        h.queue->advance(0.02);
        EXPECT_EQ(h.keys.chordsSent, c.chordAt > 0 ? 1 : 0);
        h.queue->advance(3);
        std::vector<std::string> keyEvents = h.journal->entries();
        std::erase_if(keyEvents, [](const std::string& entry) { return !entry.starts_with("keys:"); });
        EXPECT_EQ(keyEvents, c.keyEvents);
        EXPECT_THAT(h.results, ElementsAre(c.expected));
        EXPECT_THAT(h.log.lines(), Contains(c.logLine));
    }
}

struct RestoreCase {
    const char* name;
    std::function<void(Harness&)> meddle;
    double settledAt;  // when the clipboard gets its final contents
    ClipboardSnapshot finalContents;
    std::string lastLine;
    PasteKeys keys = {};
};

TEST(PasteHelper, RestoreWaitsForTheTargetToReadClearsWhatItMayNotKeepAndNeverOverwritesAnotherWriter)
{
    const std::vector<RestoreCase> cases{
        {"reads late", [](Harness& h) { h.at(2.0, [&h] { h.clipboard.dataRequests = 1; }); }, 2.05, plainText("before"),
         "Clipboard restore waiting for the target to read the transcript"},
        {"never reads", [](Harness&) {}, 6.05, plainText("before"),
         "Clipboard restore: target never read the transcript"},
        {"terminal reads PRIMARY", [](Harness& h) { h.at(0.06, [&h] { h.clipboard.primaryRequests = 1; }); }, 1.05,
         plainText("before"), "Cmd+V sent via CGEvent", kPrimaryKeys},
        // What a Ctrl+V target reads is the clipboard; a PRIMARY read is some other paste.
        {"Ctrl+V target, PRIMARY read", [](Harness& h) { h.at(0.06, [&h] { h.clipboard.primaryRequests = 1; }); }, 6.05,
         plainText("before"), "Clipboard restore: target never read the transcript"},
        {"user copies after the chord",
         [](Harness& h) { h.at(0.55, [&h] { h.clipboard.otherApplicationCopies(plainText("theirs")); }); }, 0.55,
         plainText("theirs"), kSkipped},
        {"user copies while waiting",
         [](Harness& h) { h.at(3.0, [&h] { h.clipboard.otherApplicationCopies(plainText("theirs")); }); }, 3.0,
         plainText("theirs"), kSkipped},
        {"secret owner, read at once",
         [](Harness& h) {
             h.clipboard.otherApplicationCopies(plainText("hunter2"), true);
             h.at(0.06, [&h] { h.clipboard.dataRequests = 1; });
         },
         1.05,
         {},
         "Cmd+V sent via CGEvent"},
        {"empty, read at once",
         [](Harness& h) {
             h.clipboard.otherApplicationCopies({});
             h.at(0.06, [&h] { h.clipboard.dataRequests = 1; });
         },
         1.05,
         {},
         "Cmd+V sent via CGEvent"},
        // The second paste must reuse the user's contents, not take the first transcript for theirs.
        {"second paste while waiting",
         [](Harness& h) {
             h.at(1.98, [&h] { h.paste("two"); });
             h.at(2.1, [&h] { h.clipboard.dataRequests = 1; });
         },
         3.03, plainText("before"), kSkipped},
    };
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.meddle(h);
        h.paste("one", c.keys);
        h.queue->advance(c.settledAt - 0.02);
        EXPECT_NE(h.clipboard.contents, c.finalContents);
        h.queue->advance(0.03);
        EXPECT_EQ(h.clipboard.contents, c.finalContents);
        h.queue->advance(10);
        EXPECT_EQ(h.clipboard.contents, c.finalContents);
        EXPECT_EQ(h.log.lines().back(), c.lastLine);
        if (c.finalContents.empty()) {
            EXPECT_EQ(h.journal->entries().back(), "clipboard: clear");  // not an owner offering nothing
        }
    }
}

}  // namespace
}  // namespace korvane
