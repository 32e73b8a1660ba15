#include "platform/linux/LinuxPlatform.h"

#include "core/session/PasteKeyChain.h"
#include "delivery/focus/FocusInspector.h"
#include "delivery/focus/FocusTracker.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "platform/linux/LinuxDelivery.h"
#include "platform/linux/QtScreens.h"
#include "platform/linux/SessionEnvironment.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "platform/linux/atspi/AtspiActiveApplication.h"
#include "platform/linux/portal/QtGlobalShortcutsPortal.h"
#include "platform/linux/portal/QtRemoteDesktopPortal.h"
#include "platform/linux/portal/XkbKeysymName.h"
#include "platform/linux/pulse/SystemAudioRecorder.h"
#include "platform/linux/standin/StandIns.h"
#include "platform/linux/uinput/UinputKeyboard.h"
#include "platform/linux/wayland/WaylandDataControlClipboard.h"
#include "platform/linux/wayland/WaylandForeignToplevel.h"
#include "platform/linux/wayland/WaylandVirtualKeyboard.h"
#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11ActiveWindow.h"
#include "platform/linux/x11/X11Clipboard.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11HotkeyBackends.h"
#include "platform/linux/x11/X11KeySynthesizer.h"
#include "platform/linux/x11/X11WindowActivation.h"

#include <QDBusConnection>
#include <QGuiApplication>

#include <unistd.h>

namespace korvane {

namespace {

// Our own windows carry this class (Qt takes it from the application name).
constexpr const char* kOwnWindowClass = "Korvane";

// How long the launch waits for the desktop portal to say what it offers. A portal that answers
// at all answers within milliseconds; one that hangs must not hold up the tray for long.
constexpr int kPortalProbeMs = 1000;

// Asks the target application to expose its accessibility tree; background thread.
class AccessibilityPreparation final : public AccessibilityPreparing {
public:
    AccessibilityPreparation(std::shared_ptr<AtspiAccessibility> service, LogSink log)
        : service_(std::move(service)), log_(std::move(log))
    {
    }
    void enableAccessibility(const std::string& bundleId) override
    {
        FocusInspector::enableAccessibility(*service_, bundleId, log_);
    }

private:
    std::shared_ptr<AtspiAccessibility> service_;
    LogSink log_;
};

}  // namespace

LinuxPlatform::LinuxPlatform(LogSink log)
    : log_(std::move(log)), session_(sessionFactsFrom(currentSessionEnvironment()))
{
    const bool wayland = session_.kind == SessionKind::wayland;
    if (wayland) {
        offers_.globalShortcutsPortal = QtGlobalShortcutsPortal::version(QDBusConnection::sessionBus(), kPortalProbeMs);
        toplevels_ = WaylandForeignToplevel::create(log_);
        offers_.foreignToplevel = toplevels_ != nullptr;
    }
    methods_ = chooseSessionMethods(session_, offers_);
    log_(sessionLogLine(session_, offers_, methods_));
    if (wayland) {
        setUpWaylandPaste();
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        connection_ = X11Connection::open();
    }
    permission_ = std::make_unique<InputPermission>(connection_.get());
    if (!connection_ && !wayland) {
        auto none = std::make_shared<NoFocusTracking>();
        focus_ = none;
        preparing_ = none;
        return;
    }
    if (connection_) {
        activeWindow_ = std::make_unique<X11ActiveWindow>(*connection_);
    }
    AtspiAccessibility::Environment environment;
    if (wayland) {
        // The X server beside a Wayland session knows only its own windows. The compositor's list
        // names the application in front where it offers one, and the accessibility bus always
        // knows its process, which the field's inspection needs.
        atspiFront_ = std::make_unique<AtspiActiveApplication>(::getpid(), log_);
        ActiveApplicationSource& front = toplevels_ ? static_cast<ActiveApplicationSource&>(*toplevels_) : *atspiFront_;
        tracker_ = std::make_shared<FocusTracker>(front, FocusTracker::Self{::getpid(), kOwnWindowClass});
        environment.activeProcessId = [atspi = atspiFront_.get()]() -> std::optional<long> {
            const std::optional<ActiveApplication> known = atspi->activeApplication();
            return known ? known->processId : std::nullopt;
        };
    } else {
        tracker_ = std::make_shared<FocusTracker>(*activeWindow_, FocusTracker::Self{::getpid(), kOwnWindowClass});
        environment.activeProcessId = [window = activeWindow_.get()]() -> std::optional<long> {
            const std::optional<ActiveApplication> front = window->activeApplication();
            return front ? front->processId : std::nullopt;
        };
        environment.processesOf = [window = activeWindow_.get()](const std::string& bundleId) {
            return window->processesOfClass(bundleId);
        };
    }
    focus_ = tracker_;
    // Reading the accessibility bus needs no input permission; on X11 it comes with it, in a
    // Wayland session it is there on its own.
    environment.isTrusted = [permission = permission_.get(), wayland] { return wayland || permission->isTrusted(); };
    environment.desktopScreens = [] { return desktopScreens(); };
    accessibility_ = std::make_shared<AtspiAccessibility>(std::move(environment));
    preparing_ = std::make_shared<AccessibilityPreparation>(accessibility_, log_);
    if (!connection_) {
        return;  // Wayland without XWayland: the transcript goes to the clipboard through Qt
    }
    clipboard_ = std::make_unique<X11Clipboard>(*connection_);
    keys_ = std::make_unique<X11KeySynthesizer>(*connection_);
    activation_ = std::make_unique<X11WindowActivation>(*connection_, *activeWindow_, log_);
}

LinuxPlatform::~LinuxPlatform() = default;

void LinuxPlatform::setUpWaylandPaste()
{
    PasteOffers offers;
    offers.remoteDesktopPortal = QtRemoteDesktopPortal::version(QDBusConnection::sessionBus(), kPortalProbeMs);
    virtualKeyboard_ = WaylandVirtualKeyboard::create(log_);
    offers.virtualKeyboard = virtualKeyboard_ != nullptr;
    offers.uinputWritable = UinputKeyboard::deviceWritable();
    dataControl_ = WaylandDataControlClipboard::create(log_);
    offers.dataControl = dataControl_ != nullptr;
    pasteKeys_ = std::make_unique<PasteKeyChain>(session_, log_);
    pasteKeys_->setOffers(offers);
    pasteKeys_->setShortcutHeld([this] { return shortcutsPortal_ && shortcutsPortal_->shortcutHeld(); });
    pasteKeys_->provide(PasteKeyMethod::virtualKeyboard, virtualKeyboard_.get());
    // A uinput keyboard is seen by the compositor a moment after it is made, so it is made now,
    // where nothing before it in the order is at hand, rather than at the first paste.
    if (offers.uinputWritable && !virtualKeyboard_ && offers.remoteDesktopPortal == 0) {
        uinput_ = UinputKeyboard::open(log_);
        pasteKeys_->provide(PasteKeyMethod::uinput, uinput_.get());
    }
    logPasteMethods();
}

void LinuxPlatform::logPasteMethods() const
{
    const PasteMethods methods = pasteMethods();
    std::string line = std::string("Paste keys: ") + pasteKeyMethodName(methods.keys);
    if (methods.keys == PasteKeyMethod::none) {
        line += " (" + missingPasteKeys() + ")";
    }
    line += std::string("; clipboard: ") + (methods.clipboard == ClipboardMethod::x11Selections ? "X11 selections"
                                            : methods.clipboard == ClipboardMethod::dataControl ? "data control"
                                                                                                : "none");
    log_(line);
}

PasteMethods LinuxPlatform::pasteMethods() const
{
    if (!pasteKeys_) {
        return choosePasteMethods(session_, {},
                                  permission_->isTrusted() ? std::vector<PasteKeyMethod>{}
                                                           : std::vector<PasteKeyMethod>{PasteKeyMethod::xtest});
    }
    PasteMethods methods = choosePasteMethods(session_, pasteKeys_->offers());
    methods.keys = pasteKeys_->current();
    return methods;
}

std::string LinuxPlatform::missingPasteKeys() const
{
    return pasteKeys_ ? pasteKeys_->missing() : std::string();
}

bool LinuxPlatform::portalPasteKeysOffered() const
{
    return pasteKeys_ && pasteKeys_->offers().remoteDesktopPortal > 0;
}

void LinuxPlatform::requestPasteKeyApproval(const PasteKeyApproval& stored, bool askAgain,
                                            std::function<void(const PasteKeyApproval&)> answered)
{
    if (!pasteKeys_ || pasteKeys_->offers().remoteDesktopPortal == 0) {
        return;
    }
    PasteOffers offers = pasteKeys_->offers();
    if (stored.refused && !askAgain) {
        offers.remoteDesktopRefused = true;
        pasteKeys_->setOffers(offers);
        log_("Paste keys: you refused the desktop's permission to send keys; korvane --self-test asks again");
        return;
    }
    if (!remoteDesktop_) {
        remoteDesktop_ = std::make_shared<QtRemoteDesktopPortal>(QDBusConnection::sessionBus(), log_);
    }
    remoteDesktop_->start(stored.restoreToken,
                          [this, stored, answered = std::move(answered)](const RemoteDesktopStart& start) {
                              PasteOffers now = pasteKeys_->offers();
                              PasteKeyApproval kept = stored;
                              switch (start.outcome) {
                              case RemoteDesktopStart::Outcome::started:
                                  now.remoteDesktopRefused = false;
                                  pasteKeys_->setOffers(now);
                                  pasteKeys_->provide(PasteKeyMethod::remoteDesktop, remoteDesktop_.get());
                                  kept = {start.restoreToken.empty() ? stored.restoreToken : start.restoreToken, false};
                                  break;
                              case RemoteDesktopStart::Outcome::refused:
                                  now.remoteDesktopRefused = true;
                                  pasteKeys_->setOffers(now);
                                  kept = {"", true};
                                  break;
                              case RemoteDesktopStart::Outcome::failed:
                                  log_("Paste keys: the desktop's remote desktop did not start: " + start.reason);
                                  break;
                              }
                              logPasteMethods();
                              if (answered) {
                                  answered(kept);
                              }
                          });
}

PlatformCapabilities LinuxPlatform::capabilities() const
{
    PlatformCapabilities capabilities;
    capabilities.x11Session = connection_ != nullptr;
    capabilities.shortcut = methods_.shortcut;
    capabilities.desktop = session_.desktop;
    return capabilities;
}

bool LinuxPlatform::isAccessibilityTrusted()
{
    // In a Wayland session the desktop's own ways of sending keys stand in for the permission.
    return pasteKeys_ ? pasteKeys_->current() != PasteKeyMethod::none : permission_->isTrusted();
}

std::optional<std::string> LinuxPlatform::whyUntrusted() const
{
    if (pasteKeys_) {
        const std::string missing = pasteKeys_->missing();
        return missing.empty() ? std::nullopt : std::optional<std::string>(missing);
    }
    return permission_->whyUntrusted();
}

void LinuxPlatform::prepareAccessibility()
{
    ensureAccessibilityBusEnabled(log_);
}

std::shared_ptr<AudioRecording> LinuxPlatform::makeRecorder(MainQueue& mainQueue)
{
    return makeSystemAudioRecorder(mainQueue);
}

std::shared_ptr<FocusTracking> LinuxPlatform::makeFocusTracker()
{
    return focus_;
}

std::shared_ptr<AccessibilityPreparing> LinuxPlatform::makeAccessibility()
{
    return preparing_;
}

std::unique_ptr<HotkeyBackendFactory> LinuxPlatform::makeHotkeyBackendFactory(std::shared_ptr<MainQueue> mainQueue)
{
    if (methods_.shortcut == ShortcutMethod::portal) {
        if (!shortcutsPortal_) {
            shortcutsPortal_ = std::make_shared<QtGlobalShortcutsPortal>(QDBusConnection::sessionBus(), log_);
        }
        // Bare keys (Escape while recording) still go through XWayland where it runs: they reach
        // only X11 windows there, which is better than none.
        return connection_ ? makeX11HotkeyBackendFactory(*connection_, *permission_, std::move(mainQueue), log_,
                                                         shortcutsPortal_, &xkbKeysymName)
                           : std::make_unique<HotkeyBackendFactory>(
                                 HotkeyBackendFactory::Ports{nullptr, nullptr, [] { return true; }, shortcutsPortal_,
                                                             &xkbKeysymName},
                                 std::move(mainQueue), log_);
    }
    if (!connection_) {
        return nullptr;
    }
    return makeX11HotkeyBackendFactory(*connection_, *permission_, std::move(mainQueue), log_);
}

std::shared_ptr<TranscriptDelivering>
LinuxPlatform::makeDelivery(std::shared_ptr<MainQueue> mainQueue,
                            std::function<std::map<std::string, std::string>()> pasteKeyOverrides)
{
    Clipboard* clipboard = dataControl_ ? static_cast<Clipboard*>(dataControl_.get()) : clipboard_.get();
    if (clipboard == nullptr || !tracker_) {
        return std::make_shared<ClipboardOnlyDelivery>();
    }
    LinuxDeliveryParts parts;
    parts.isTrusted = [this] { return isAccessibilityTrusted(); };
    parts.tracker = tracker_.get();
    if (session_.kind == SessionKind::wayland) {
        // Only wlroots compositors let a client raise another's window; elsewhere a target that
        // lost the front stays behind and the delivery says so.
        parts.activate = [toplevels = toplevels_.get()](const std::string& appId) {
            return toplevels != nullptr && toplevels->activate(appId);
        };
    } else {
        parts.activate = [activation = activation_.get()](const std::string& bundleId) {
            return activation->activate(bundleId);
        };
    }
    parts.accessibility = accessibility_.get();
    parts.clipboard = clipboard;
    parts.keys = pasteKeys_ ? static_cast<KeySynthesizer*>(pasteKeys_.get()) : keys_.get();
    parts.pasteKeyOverrides = std::move(pasteKeyOverrides);
    parts.log = log_;
    return makeLinuxDelivery(std::move(mainQueue), std::move(parts));
}

FocusTracker* LinuxPlatform::focusTracker() const
{
    return tracker_.get();
}

AtspiAccessibility* LinuxPlatform::accessibility() const
{
    return accessibility_.get();
}

std::optional<Rect> LinuxPlatform::focusedElementFrame()
{
    // Toolkits on Wayland give extents relative to their own window, which no client may place on
    // the screen: the indicator then takes its default spot.
    if (session_.kind == SessionKind::wayland) {
        return std::nullopt;
    }
    return accessibility_ ? FocusInspector::focusedElementFrame(*accessibility_, log_) : std::nullopt;
}

}  // namespace korvane
