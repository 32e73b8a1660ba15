#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/MainQueue.h"
#include "delivery/paste/Clipboard.h"
#include "delivery/paste/KeySynthesizer.h"
#include "delivery/paste/PasteKeys.h"
#include "delivery/paste/PasteResult.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

// Pastes text into the application in front by putting it on the clipboard and pressing the paste
// chord, then puts the user's own clipboard back. Main thread only.
//
// The clipboard is written 0.05 s before the chord (so the target sees the new owner) and restored
// 1 s after it, once the target has asked for the transcript. Whatever the user had before is what
// comes back, even when a second paste starts before the first one's restore.
class PasteHelper : public std::enable_shared_from_this<PasteHelper> {
public:
    struct Ports {
        Clipboard* clipboard;  // outlives the helper
        KeySynthesizer* keys;  // outlives the helper
        std::shared_ptr<MainQueue> mainQueue;
        std::function<bool()> isTrusted;  // whether synthetic input is permitted
        LogSink log = defaultLogSink();
    };

    static std::shared_ptr<PasteHelper> create(Ports ports);

    // Calls `completion` exactly once: before returning when the paste cannot start, else later on
    // the main queue (never once the helper is destroyed). `isTargetFrontmost` is asked again right
    // before the chord.
    void paste(const std::string& text, const PasteKeys& keys, std::function<bool()> isTargetFrontmost,
               std::function<void(PasteResult)> completion);

private:
    // The user's contents (absent when the owner marked them secret), shared rather than copied:
    // they may hold images, and every deferred step carries them.
    using SavedContents = std::shared_ptr<const std::optional<ClipboardSnapshot>>;
    // The clipboard to put back after a paste, with the change count right after the transcript
    // was written, which tells whether the clipboard still holds our transcript.
    struct SavedClipboard {
        SavedContents contents;  // never null
        std::uint64_t changeCount = 0;
    };
    struct Attempt;

    explicit PasteHelper(Ports ports);

    SavedContents snapshotToRestore();
    void continueBeforeChord(const std::shared_ptr<Attempt>& attempt);
    // Completes with targetChanged or clipboardChanged when the chord must not be sent any more.
    bool abortIfStale(Attempt& attempt);
    void waitForModifiers(const std::shared_ptr<Attempt>& attempt, int poll);
    void checkModifiers(const std::shared_ptr<Attempt>& attempt, int poll);
    void sendChord(const std::shared_ptr<Attempt>& attempt);
    // `alsoPrimary`: the target pastes PRIMARY, so its read of either selection counts.
    void restore(const SavedContents& contents, std::uint64_t expectedChangeCount, bool alsoPrimary, int pollsDone);
    bool targetHasRead(bool alsoPrimary) const;
    void forgetPendingRestore(std::uint64_t expectedChangeCount);

    Ports ports_;
    std::optional<SavedClipboard> pendingRestore_;
};

}  // namespace korvane
