#pragma once

#include "audio/capture/AudioRecording.h"
#include "base/scheduling/MainQueue.h"
#include "core/session/SessionMethods.h"
#include "delivery/TranscriptDelivering.h"
#include "delivery/focus/FocusTracking.h"
#include "delivery/focus/ScreenGeometry.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

class HotkeyBackendFactory;

// The desktop's approval for sending keys where it asks the user for one (the remote desktop
// portal of KDE and GNOME), as kept in the settings: the token that restores an approval without
// asking, and whether the user refused.
struct PasteKeyApproval {
    std::string restoreToken;
    bool refused = false;

    bool operator==(const PasteKeyApproval&) const = default;
};

// What the desktop session offers, as far as dictation cares. Each answer is false when the
// facility is missing, so callers can explain instead of failing later.
struct PlatformCapabilities {
    bool x11Session = false;  // the application runs on an X server (global input, paste, focus)
    // How the global shortcut reaches Korvane in this session.
    ShortcutMethod shortcut = ShortcutMethod::keyGrab;
    // The desktop's name, for the line a compositor's configuration needs ("sway").
    std::string desktop;
};

// The one place that knows which implementation serves each facility on this desktop. The
// application shell asks it for everything platform-specific and never names an adapter itself,
// so a new backend (or a fake in tests) changes only the factory.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    virtual PlatformCapabilities capabilities() const = 0;

    // Whether Korvane may observe and synthesize input and inspect other applications; asked
    // afresh each time, since it may change while Korvane runs.
    virtual bool isAccessibilityTrusted() = 0;

    // In a session whose desktop has its own ways of sending keys (Wayland): what it lacks for the
    // paste keys, as one sentence; empty while a way is at hand, and where no such ways exist.
    virtual std::string missingPasteKeys() const { return {}; }

    // Asks the desktop to switch accessibility on where it is off, so that applications expose
    // their trees. May block briefly: call it on a background queue. Logs the outcome.
    virtual void prepareAccessibility() = 0;

    // The microphone. Nothing touches the sound server before the first recording starts.
    virtual std::shared_ptr<AudioRecording> makeRecorder(MainQueue& mainQueue) = 0;

    // Which application the user works in. The same object also prepares that application's
    // accessibility tree when the tracker can.
    virtual std::shared_ptr<FocusTracking> makeFocusTracker() = 0;
    virtual std::shared_ptr<AccessibilityPreparing> makeAccessibility() = 0;

    // The focused text element's frame in y-up screen geometry, so that the listening indicator
    // keeps clear of it; nothing where no accessibility service can tell. Main thread.
    virtual std::optional<Rect> focusedElementFrame() { return std::nullopt; }

    // Builds the backends of global shortcuts; nothing where no global shortcut can be had (no
    // X server). Backends report on `mainQueue`.
    virtual std::unique_ptr<HotkeyBackendFactory> makeHotkeyBackendFactory(std::shared_ptr<MainQueue> mainQueue) = 0;

    // Opens the way of sending keys that needs the desktop's approval, where this session has one:
    // restored silently from `stored`, else asked of the user, unless the user refused before and
    // `askAgain` is false. `answered` gets what to keep once the desktop answered (main thread);
    // it is not called when nothing was asked.
    // Call it at launch or from the self-test, never in the middle of a dictation.
    virtual void requestPasteKeyApproval(const PasteKeyApproval& stored, bool askAgain,
                                         std::function<void(const PasteKeyApproval&)> answered)
    {
        (void)stored;
        (void)askAgain;
        (void)answered;
    }

    // Puts a transcript into the target application or on the clipboard. `pasteKeyOverrides`
    // gives, per window class, the paste chord the user chose ("ctrl+y"); read for every paste.
    virtual std::shared_ptr<TranscriptDelivering>
    makeDelivery(std::shared_ptr<MainQueue> mainQueue,
                 std::function<std::map<std::string, std::string>()> pasteKeyOverrides) = 0;
};

}  // namespace korvane
