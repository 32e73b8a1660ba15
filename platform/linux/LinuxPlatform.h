#pragma once

#include "base/logging/LogSink.h"
#include "core/ports/PlatformServices.h"
#include "core/session/PasteMethods.h"
#include "core/session/SessionMethods.h"

#include <memory>
#include <optional>
#include <string>

namespace korvane {

class AtspiAccessibility;
class AtspiActiveApplication;
class WaylandForeignToplevel;
class WaylandDataControlClipboard;
class WaylandVirtualKeyboard;
class QtGlobalShortcutsPortal;
class QtRemoteDesktopPortal;
class PasteKeyChain;
class UinputKeyboard;
class FocusTracker;
class InputPermission;
class X11ActiveWindow;
class X11Clipboard;
class X11Connection;
class X11KeySynthesizer;
class X11WindowActivation;

// The Linux desktop: PulseAudio (or PipeWire's PulseAudio service) for the microphone; on X11 the
// EWMH active window for focus tracking, AT-SPI for the focused element, the CLIPBOARD selection and
// XTest for the paste; without an X server (Wayland, offscreen) a tracker that knows no target and a
// delivery that leaves every transcript on the clipboard. Needs a running QGuiApplication; main
// thread.
class LinuxPlatform final : public PlatformServices {
public:
    explicit LinuxPlatform(LogSink log = defaultLogSink());
    ~LinuxPlatform() override;

    PlatformCapabilities capabilities() const override;
    bool isAccessibilityTrusted() override;
    void prepareAccessibility() override;
    std::shared_ptr<AudioRecording> makeRecorder(MainQueue& mainQueue) override;
    std::shared_ptr<FocusTracking> makeFocusTracker() override;
    std::shared_ptr<AccessibilityPreparing> makeAccessibility() override;
    std::optional<Rect> focusedElementFrame() override;
    std::unique_ptr<HotkeyBackendFactory> makeHotkeyBackendFactory(std::shared_ptr<MainQueue> mainQueue) override;
    void requestPasteKeyApproval(const PasteKeyApproval& stored, bool askAgain,
                                 std::function<void(const PasteKeyApproval&)> answered) override;
    std::shared_ptr<TranscriptDelivering>
    makeDelivery(std::shared_ptr<MainQueue> mainQueue,
                 std::function<std::map<std::string, std::string>()> pasteKeyOverrides) override;

    // How the paste reaches other applications at this moment: the paste keys may change when a
    // method fails or the desktop approves one.
    PasteMethods pasteMethods() const;
    std::string missingPasteKeys() const override;
    // Whether the desktop offers the remote desktop portal, whose approval may be asked.
    bool portalPasteKeysOffered() const;

    // The session and the method chosen for each facility in it, as found at construction.
    const SessionFacts& session() const { return session_; }
    const SessionOffers& offers() const { return offers_; }
    const SessionMethods& methods() const { return methods_; }

    // Why input may not be observed and synthesized ("no X server", or what a Wayland session
    // lacks for sending keys); nothing when it may.
    std::optional<std::string> whyUntrusted() const;

    // The focus pieces, for the delivery and the indicator; null without an X server.
    FocusTracker* focusTracker() const;
    AtspiAccessibility* accessibility() const;

private:
    void setUpWaylandPaste();
    void logPasteMethods() const;

    LogSink log_;
    SessionFacts session_;
    SessionOffers offers_;
    SessionMethods methods_;
    std::shared_ptr<QtGlobalShortcutsPortal> shortcutsPortal_;
    // Wayland sessions: where the application in front comes from.
    std::unique_ptr<WaylandForeignToplevel> toplevels_;
    std::unique_ptr<AtspiActiveApplication> atspiFront_;
    std::unique_ptr<X11Connection> connection_;
    std::unique_ptr<X11ActiveWindow> activeWindow_;
    std::unique_ptr<InputPermission> permission_;
    std::shared_ptr<FocusTracker> tracker_;
    std::shared_ptr<AtspiAccessibility> accessibility_;
    std::unique_ptr<X11Clipboard> clipboard_;
    std::unique_ptr<X11KeySynthesizer> keys_;
    std::unique_ptr<X11WindowActivation> activation_;
    // Wayland sessions: the ways of sending keys, tried in order, and the clipboard without XWayland.
    std::unique_ptr<PasteKeyChain> pasteKeys_;
    std::shared_ptr<QtRemoteDesktopPortal> remoteDesktop_;
    std::unique_ptr<WaylandVirtualKeyboard> virtualKeyboard_;
    std::unique_ptr<UinputKeyboard> uinput_;
    std::unique_ptr<WaylandDataControlClipboard> dataControl_;
    std::shared_ptr<FocusTracking> focus_;
    std::shared_ptr<AccessibilityPreparing> preparing_;
};

}  // namespace korvane
