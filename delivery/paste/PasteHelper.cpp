#include "delivery/paste/PasteHelper.h"

#include "base/scheduling/WeakTask.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace korvane {

namespace {

// Time for the target to see the clipboard's new owner before the chord asks it to paste.
constexpr double kChordDelay = 0.05;
// Time for the target to fetch the transcript before the user's clipboard comes back.
constexpr double kRestoreDelay = 1.0;
// A modifier the user still holds would turn Ctrl+V into another shortcut: wait for its release
// this long, polling, before releasing it ourselves.
constexpr double kModifierPollInterval = 0.05;
constexpr int kModifierPolls = 20;  // 1 s
// A slow target may ask for the transcript after the restore delay; restoring before it asked
// would paste the user's old clipboard instead. Wait this long for its request.
constexpr double kReadPollInterval = 0.1;
constexpr int kReadPolls = 50;  // 5 s

std::size_t totalBytes(const std::optional<ClipboardSnapshot>& snapshot)
{
    std::size_t bytes = 0;
    if (snapshot) {
        for (const ClipboardFormat& format : *snapshot) {
            bytes += format.data.size();
        }
    }
    return bytes;
}

}  // namespace

// One paste between writing the clipboard and sending the chord.
struct PasteHelper::Attempt {
    PasteKeys keys;
    std::function<bool()> isTargetFrontmost;
    std::function<void(PasteResult)> completion;
    SavedContents snapshot;
    std::uint64_t expectedChangeCount = 0;
};

std::shared_ptr<PasteHelper> PasteHelper::create(Ports ports)
{
    return std::shared_ptr<PasteHelper>(new PasteHelper(std::move(ports)));
}

PasteHelper::PasteHelper(Ports ports) : ports_(std::move(ports))
{
}

void PasteHelper::paste(const std::string& text, const PasteKeys& keys, std::function<bool()> isTargetFrontmost,
                        std::function<void(PasteResult)> completion)
{
    requireMainThread(*ports_.mainQueue, "PasteHelper::paste");
    if (!ports_.isTrusted()) {
        ports_.log("Paste blocked: Accessibility permission not granted");
        completion(PasteResult::noAccessibility);
        return;
    }

    const auto started = std::chrono::steady_clock::now();
    SavedContents snapshot = snapshotToRestore();
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
    char line[96];
    std::snprintf(line, sizeof line, "Clipboard snapshot: %zu bytes in %.0fms", totalBytes(*snapshot), elapsed.count());
    ports_.log(line);

    Clipboard& clipboard = *ports_.clipboard;
    if (!clipboard.writeTranscript(text) || (keys.alsoPrimary && !clipboard.writePrimary(text))) {
        ports_.log("Pasteboard write failed");
        completion(PasteResult::eventCreationFailed);
        return;
    }
    auto attempt = std::make_shared<Attempt>(Attempt{keys, std::move(isTargetFrontmost), std::move(completion),
                                                     std::move(snapshot), clipboard.changeCount()});
    ports_.mainQueue->postAfter(
        kChordDelay, weakTask(shared_from_this(), [attempt](PasteHelper& self) { self.continueBeforeChord(attempt); }));
}

PasteHelper::SavedContents PasteHelper::snapshotToRestore()
{
    // While the clipboard still holds the previous transcript, what must come back in the end is
    // what the user had before that paste, not the transcript.
    if (pendingRestore_ && pendingRestore_->changeCount == ports_.clipboard->changeCount()) {
        return pendingRestore_->contents;
    }
    return std::make_shared<const std::optional<ClipboardSnapshot>>(ports_.clipboard->snapshot());
}

bool PasteHelper::abortIfStale(Attempt& attempt)
{
    std::optional<PasteResult> reason;
    if (!attempt.isTargetFrontmost()) {
        reason = PasteResult::targetChanged;
    } else if (ports_.clipboard->changeCount() != attempt.expectedChangeCount) {
        reason = PasteResult::clipboardChanged;
    }
    if (reason) {
        // The transcript stays on the clipboard and nothing is restored: the delivery falls back to
        // leaving it there for the user.
        ports_.log("Paste aborted before Cmd+V: " + std::string(caseName(*reason)));
        attempt.completion(*reason);
    }
    return reason.has_value();
}

void PasteHelper::continueBeforeChord(const std::shared_ptr<Attempt>& attempt)
{
    if (abortIfStale(*attempt)) {
        return;
    }
    if (!ports_.keys->heldModifiers().empty()) {
        waitForModifiers(attempt, 1);
        return;
    }
    sendChord(attempt);
}

void PasteHelper::waitForModifiers(const std::shared_ptr<Attempt>& attempt, int poll)
{
    ports_.mainQueue->postAfter(kModifierPollInterval, weakTask(shared_from_this(), [attempt, poll](PasteHelper& self) {
                                    self.checkModifiers(attempt, poll);
                                }));
}

void PasteHelper::checkModifiers(const std::shared_ptr<Attempt>& attempt, int poll)
{
    const std::vector<KeyModifier> held = ports_.keys->heldModifiers();
    if (!held.empty() && poll < kModifierPolls) {
        waitForModifiers(attempt, poll + 1);
        return;
    }
    if (!held.empty()) {
        if (!ports_.keys->releaseModifiers(held)) {
            // Sent now, the chord would combine with them into another shortcut.
            ports_.log("Could not release held modifiers for the paste: " + modifierNames(held));
            attempt->completion(PasteResult::eventCreationFailed);
            return;
        }
        ports_.log("Released held modifiers for the paste: " + modifierNames(held));
    }
    // The wait gave the user time to switch windows or copy something else.
    if (abortIfStale(*attempt)) {
        return;
    }
    sendChord(attempt);
}

void PasteHelper::sendChord(const std::shared_ptr<Attempt>& attempt)
{
    if (!ports_.keys->sendChord(attempt->keys.chord)) {
        ports_.log("CGEvent keyboard event creation failed");
        attempt->completion(PasteResult::eventCreationFailed);
        return;
    }
    ports_.log("Cmd+V sent via CGEvent");
    pendingRestore_ = SavedClipboard{attempt->snapshot, attempt->expectedChangeCount};
    ports_.mainQueue->postAfter(
        kRestoreDelay,
        weakTask(shared_from_this(), [contents = attempt->snapshot, expected = attempt->expectedChangeCount,
                                      alsoPrimary = attempt->keys.alsoPrimary](PasteHelper& self) {
            self.restore(contents, expected, alsoPrimary, 0);
        }));
    attempt->completion(PasteResult::sent);
}

bool PasteHelper::targetHasRead(bool alsoPrimary) const
{
    const Clipboard& clipboard = *ports_.clipboard;
    return clipboard.dataRequestsSinceWrite(ClipboardSelection::clipboard) > 0 ||
           (alsoPrimary && clipboard.dataRequestsSinceWrite(ClipboardSelection::primary) > 0);
}

void PasteHelper::restore(const SavedContents& contents, std::uint64_t expectedChangeCount, bool alsoPrimary,
                          int pollsDone)
{
    Clipboard& clipboard = *ports_.clipboard;
    if (clipboard.changeCount() != expectedChangeCount) {
        forgetPendingRestore(expectedChangeCount);
        ports_.log("Skipping clipboard restore: pasteboard changed externally");
        return;
    }
    if (!targetHasRead(alsoPrimary)) {
        if (pollsDone == 0) {
            ports_.log("Clipboard restore waiting for the target to read the transcript");
        }
        if (pollsDone < kReadPolls) {
            // The pending restore stays meanwhile: a paste during the wait must still find the
            // user's contents to reuse, not snapshot our transcript as if it were theirs.
            ports_.mainQueue->postAfter(
                kReadPollInterval, weakTask(shared_from_this(),
                                            [contents, expectedChangeCount, alsoPrimary, pollsDone](PasteHelper& self) {
                                                self.restore(contents, expectedChangeCount, alsoPrimary, pollsDone + 1);
                                            }));
            return;
        }
        ports_.log("Clipboard restore: target never read the transcript");
    }
    forgetPendingRestore(expectedChangeCount);
    if (*contents && !(*contents)->empty()) {
        clipboard.restore(**contents);
    } else {
        clipboard.clear();  // the user's clipboard was empty or secret, so nothing of it is kept
    }
}

void PasteHelper::forgetPendingRestore(std::uint64_t expectedChangeCount)
{
    // A newer paste's pending restore stays.
    if (pendingRestore_ && pendingRestore_->changeCount == expectedChangeCount) {
        pendingRestore_.reset();
    }
}

}  // namespace korvane
