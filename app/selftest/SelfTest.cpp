#include "app/selftest/SelfTest.h"

#include "core/session/CompositorBinding.h"
#include "core/settings/AppSettings.h"
#include "core/shell/PasteKeyApprovalStore.h"
#include "hotkeys/HotkeyBackend.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "hotkeys/HotkeyEvent.h"
#include "hotkeys/KeyPositionTable.h"
#include "hotkeys/PortalShortcutBackend.h"
#include "hotkeys/ShortcutLabel.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/portal/XkbKeysymName.h"
#include "transcription/models/ModelCatalogueFile.h"
#include "transcription/models/ModelFileCheck.h"
#include "transcription/whisper/BackendRegistry.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QSystemTrayIcon>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Outcome = SelfTestCheck::Outcome;

constexpr int kRecordMilliseconds = 500;
constexpr int kRecordTakes = 4;
// Most of the half second (16 kHz): less means the source had not yet started delivering.
constexpr std::size_t kEnoughSamples = 6400;
constexpr int kBusTimeoutMilliseconds = 1000;
// The desktop may show the user a dialog for the approval; the portal gives up after a minute.
constexpr int kApprovalWaitMilliseconds = 65000;

SelfTestCheck sessionCheck(const LinuxPlatform& platform)
{
    const SessionFacts& session = platform.session();
    std::string finding = sessionKindName(session.kind);
    if (!session.desktop.empty()) {
        finding += " (" + session.desktop + ")";
    }
    if (session.kind == SessionKind::wayland) {
        finding += session.xwayland ? ", Korvane's windows on XWayland" : ", Korvane's windows on Wayland";
    }
    return {"Session", Outcome::passed, finding, ""};
}

// In a Wayland session: asks the desktop's approval for sending keys where it wants one (even if
// the user refused it before: this is where the user can change their mind), keeps the answer,
// and names the way the paste keys go or what the session lacks.
SelfTestCheck waylandPasteCheck(const SelfTestContext& context)
{
    LinuxPlatform& platform = context.platform;
    if (platform.pasteMethods().keys != PasteKeyMethod::remoteDesktop && platform.portalPasteKeysOffered()) {
        bool answered = false;
        QEventLoop loop;
        QTimer::singleShot(kApprovalWaitMilliseconds, &loop, &QEventLoop::quit);
        platform.requestPasteKeyApproval(storedPasteKeyApproval(context.settings), true,
                                         [&](const PasteKeyApproval& approval) {
                                             keepPasteKeyApproval(context.settings, approval);
                                             answered = true;
                                             loop.quit();
                                         });
        if (!answered) {
            loop.exec();
        }
    }
    const PasteMethods methods = platform.pasteMethods();
    const std::string clipboard = methods.clipboard == ClipboardMethod::x11Selections ? "the clipboard through XWayland"
                                  : methods.clipboard == ClipboardMethod::dataControl
                                      ? "the clipboard through data control"
                                      : "no clipboard of other applications";
    if (methods.keys != PasteKeyMethod::none && methods.clipboard != ClipboardMethod::none) {
        return {"Paste keys", Outcome::passed,
                std::string("through the ") + pasteKeyMethodName(methods.keys) + ", " + clipboard, ""};
    }
    if (methods.keys != PasteKeyMethod::none) {
        return {"Paste keys", Outcome::warning,
                "this compositor shares no clipboard with Korvane (no XWayland, no data control): transcripts stay "
                "on the clipboard",
                "paste them with Ctrl+V, or start XWayland"};
    }
    const bool refused = context.settings.remoteDesktopRefused();
    return {"Paste keys", Outcome::warning, platform.missingPasteKeys() + " Transcripts stay on the clipboard.",
            refused ? "run korvane --self-test again and allow Korvane to control the keyboard"
                    : "let your user write /dev/uinput (the udev rule in the README), or paste with Ctrl+V"};
}

SelfTestCheck inputCheck(const SelfTestContext& context)
{
    LinuxPlatform& platform = context.platform;
    if (platform.session().kind == SessionKind::wayland) {
        return waylandPasteCheck(context);
    }
    SelfTestCheck check{"X11 session", Outcome::passed, "XTEST and XInput 2 available", ""};
    if (const std::optional<std::string> why = platform.whyUntrusted()) {
        check.outcome = Outcome::failed;
        check.finding = *why + ": global shortcuts and pasting are not possible";
        check.remedy = "log in to an X11 (Xorg) session; elsewhere transcripts can only be left on the clipboard";
    }
    return check;
}

// What to add to the compositor's configuration for the stored shortcut and mode.
std::string compositorRemedy(const SelfTestContext& context)
{
    const HotkeyBinding binding = context.settings.hotkeyBinding();
    const std::optional<std::uint32_t> keysym =
        binding.keyCode() ? KeyPositionTable::keysym(*binding.keyCode()) : std::nullopt;
    const ShortcutKeys keys{binding.modifiers(), keysym ? xkbKeysymName(*keysym) : std::string()};
    const std::optional<std::string> text = compositorBindingText(
        compositorFamilyOf(context.platform.session().desktop), keys, context.settings.hotkeyMode());
    return "bind korvane --toggle in your compositor" + (text ? ": " + *text : std::string());
}

// The desktop binds the shortcut: ask it, and wait for its answer (it may ask the user first).
SelfTestCheck portalShortcutCheck(const SelfTestContext& context, HotkeyBackend& backend)
{
    const unsigned version = context.platform.offers().globalShortcutsPortal;
    std::optional<HotkeyBackend::Settled> word;
    QEventLoop loop;
    backend.setSettledObserver([&](const HotkeyBackend::Settled& settled) {
        word = settled;
        loop.quit();
    });
    QTimer::singleShot(static_cast<int>(PortalShortcutBackend::kAnswerLimit * 1000) + 1000, &loop, &QEventLoop::quit);
    backend.start();
    if (!word) {
        loop.exec();
    }
    backend.stop();
    if (word && word->active) {
        return {"Shortcut", Outcome::passed,
                (word->trigger.empty() ? std::string("the shortcut") : word->trigger) +
                    " through the desktop portal (version " + std::to_string(version) + ")",
                ""};
    }
    return {"Shortcut", Outcome::failed,
            "the desktop portal did not bind it: " + (word ? word->reason : std::string("no answer")),
            "choose the shortcut again in Settings… > General, or " + compositorRemedy(context)};
}

SelfTestCheck shortcutCheck(const SelfTestContext& context)
{
    const HotkeyBinding binding = context.settings.hotkeyBinding();
    const std::string shortcut = shortcutLabel(binding);
    SelfTestCheck check{"Shortcut", Outcome::passed, shortcut + " can be registered", ""};
    if (context.instanceRunning) {
        check.finding = shortcut + " is held by the running Korvane";
        return check;
    }
    const ShortcutMethod method = context.platform.methods().shortcut;
    if (method == ShortcutMethod::compositorBinding) {
        return {"Shortcut", Outcome::warning, "this desktop offers no global shortcuts portal",
                compositorRemedy(context)};
    }
    std::unique_ptr<HotkeyBackendFactory> factory = context.platform.makeHotkeyBackendFactory(context.mainQueue);
    std::shared_ptr<HotkeyBackend> backend =
        factory ? factory->make(binding, [](HotkeyEvent) {}) : std::shared_ptr<HotkeyBackend>();
    if (backend && method == ShortcutMethod::portal) {
        return portalShortcutCheck(context, *backend);
    }
    if (!backend) {
        check.outcome = Outcome::failed;
        check.finding = method == ShortcutMethod::portal ? "the desktop portal cannot bind " + shortcut
                                                         : "no global shortcut can be had without an X server";
        check.remedy = method == ShortcutMethod::portal
                           ? "choose a shortcut with an ordinary key in Settings… > General"
                           : "log in to an X11 session, or drive Korvane with `korvane --toggle` from your desktop's "
                             "key bindings";
        return check;
    }
    if (!backend->start()) {
        check.outcome = Outcome::failed;
        check.finding = shortcut + " could not be registered";
        check.remedy = binding.isModifierChord()
                           ? "a modifier-only shortcut needs XInput 2 on an X11 session"
                           : "another program holds it: free it there, or choose another one in Settings… > General";
    }
    backend->stop();
    return check;
}

SelfTestCheck focusCheck(const LinuxPlatform& platform)
{
    switch (platform.methods().focus) {
    case FocusSource::activeWindow:
        return {"Focus", Outcome::passed, "the window manager's active window; fields through AT-SPI", ""};
    case FocusSource::accessibility:
        return {"Focus", Outcome::passed, "the active window on the accessibility bus (AT-SPI)", ""};
    case FocusSource::foreignToplevel:
        return {"Focus", Outcome::passed, "the compositor's active window (foreign-toplevel); fields through AT-SPI",
                ""};
    }
    return {};
}

SelfTestCheck trayCheck()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        return {"Tray", Outcome::passed, "a tray host shows Korvane's icon", ""};
    }
    return {"Tray", Outcome::warning, "no tray host: Korvane works from its shortcut, without its menu",
            "add a system tray (notification area) to your panel; on GNOME, the AppIndicator extension"};
}

SelfTestCheck accessibilityBusCheck()
{
    SelfTestCheck check{"Accessibility bus", Outcome::warning, "", ""};
    check.remedy = "install at-spi2-core and log in again; without it Korvane cannot see which field has the "
                   "focus and pastes without checking";
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        check.finding = "no session D-Bus";
        return check;
    }
    const QDBusMessage request =
        QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
    const QDBusMessage reply = session.call(request, QDBus::Block, kBusTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        check.finding = "the accessibility bus launcher does not answer (" + reply.errorName().toStdString() + ")";
        return check;
    }
    const QString address = reply.arguments().constFirst().toString();
    const QString name = QStringLiteral("korvane-self-test-a11y");
    const bool connected = QDBusConnection::connectToBus(address, name).isConnected();
    QDBusConnection::disconnectFromBus(name);
    if (!connected) {
        check.finding = "the accessibility bus at " + address.toStdString() + " does not accept connections";
        return check;
    }
    check.outcome = Outcome::passed;
    check.finding = "answers";
    check.remedy.clear();
    return check;
}

SelfTestCheck soundCheck(const SelfTestContext& context)
{
    SelfTestCheck check{"Microphone", Outcome::failed, "", ""};
    std::shared_ptr<AudioRecording> recorder = context.platform.makeRecorder(*context.mainQueue);
    const std::optional<std::string> chosen = context.settings.inputDevice();
    recorder->setInputChoice([chosen] { return chosen; });
    // A source that was suspended may take a moment to deliver its first block, and the first
    // recording after a sound server starts can come back nearly empty; what matters is whether audio
    // flows once it runs, so a short take is recorded again, a few times at most.
    std::vector<float> samples;
    bool fellBack = false;
    for (int take = 0; take < kRecordTakes && samples.size() < kEnoughSamples; ++take) {
        try {
            recorder->start();
        } catch (const std::exception& error) {
            check.finding = std::string("recording could not start: ") + error.what();
            check.remedy = "start the sound server (PulseAudio, or PipeWire with pipewire-pulse) and check that an "
                           "input device exists (pactl list short sources)";
            return check;
        }
        fellBack = recorder->fellBackToDefaultInput();
        QEventLoop wait;
        QTimer::singleShot(kRecordMilliseconds, &wait, &QEventLoop::quit);
        wait.exec();
        samples = recorder->stop();
    }
    if (samples.empty()) {
        check.finding = "the input delivered no audio in half a second";
        check.remedy = "check the input device in your sound settings (pavucontrol), or choose another one";
        return check;
    }
    const double level = levelDbfs(samples);
    std::ostringstream finding;
    finding.setf(std::ios::fixed);
    finding.precision(1);
    finding << "recorded " << static_cast<double>(samples.size()) / 16000.0 << " s from ";
    if (!chosen) {
        finding << "the default input";
    } else if (fellBack) {
        finding << "the default input (the chosen \"" << *chosen << "\" is missing)";
    } else {
        finding << '"' << *chosen << '"';
    }
    finding << ", level " << level << " dBFS";
    check.finding = finding.str();
    if (level < kSilenceDbfs) {
        check.outcome = Outcome::warning;
        check.finding += " (silence)";
        check.remedy = "the input may be muted or unplugged: check it in your sound settings";
    } else {
        check.outcome = Outcome::passed;
    }
    return check;
}

fs::path modelsFolder()
{
    return modelsDirFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

SelfTestCheck modelCheck(const SelfTestContext& context)
{
    ModelCatalogue catalogue =
        chooseModelCatalogue(std::getenv("KORVANE_MODEL_CATALOGUE"), context.settings.modelCatalogue());
    context.settings.offerModels(catalogue.names);
    const std::string name = context.settings.modelSize();
    SelfTestCheck check{"Model", Outcome::failed, "", ""};
    const auto definition = catalogue.definitions.find(name);
    if (definition == catalogue.definitions.end()) {
        check.finding = "the model \"" + name + "\" is not in the catalogue";
        check.remedy = "choose a model in Settings… > General";
        return check;
    }
    const fs::path file = modelsFolder() / definition->second.fileName;
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        check.finding = "the " + name + " model is not downloaded (" + file.string() + ")";
        check.remedy = "start Korvane: it downloads the chosen model; or press Download and Use in Settings… > General";
        return check;
    }
    if (!modelFileIsValid(file, definition->second)) {
        check.finding = "the " + name + " model at " + file.string() + " is damaged (size or digest)";
        check.remedy = "press Download and Use (or Use This Model) in Settings… > General: it is downloaded again";
        return check;
    }
    check.outcome = Outcome::passed;
    check.finding = name + " (" + file.string() + ")";
    return check;
}

// Where a model loaded now would run. The CPU is slower, never broken, so it passes too; the finding
// says why no GPU is used.
SelfTestCheck recognitionCheck(const SelfTestContext& context)
{
    return {"Recognition", Outcome::passed, computeBackendSummary(plannedComputeBackend(context.settings.useGpu())),
            ""};
}

SelfTestCheck modelsFolderCheck()
{
    const fs::path folder = modelsFolder();
    SelfTestCheck check{"Models folder", Outcome::failed, "", ""};
    if (folder.empty()) {
        check.finding = "no home directory";
        check.remedy = "set HOME";
        return check;
    }
    // The folder is created on first use; until then its nearest existing parent decides.
    fs::path existing = folder;
    std::error_code error;
    while (!fs::exists(existing, error) && existing.has_parent_path() && existing != existing.parent_path()) {
        existing = existing.parent_path();
    }
    if (::access(existing.c_str(), W_OK | X_OK) != 0) {
        check.finding = folder.string() + " is not writable";
        check.remedy = "give yourself write access to " + existing.string();
        return check;
    }
    check.outcome = Outcome::passed;
    check.finding = folder.string() + " is writable";
    return check;
}

}  // namespace

std::vector<SelfTestCheck> runSelfTestChecks(const SelfTestContext& context)
{
    std::vector<SelfTestCheck> checks;
    checks.push_back(sessionCheck(context.platform));
    checks.push_back(inputCheck(context));
    checks.push_back(shortcutCheck(context));
    checks.push_back(focusCheck(context.platform));
    checks.push_back(trayCheck());
    checks.push_back(accessibilityBusCheck());
    checks.push_back(soundCheck(context));
    checks.push_back(modelCheck(context));
    checks.push_back(recognitionCheck(context));
    checks.push_back(modelsFolderCheck());
    return checks;
}

int runSelfTest(int argc, char** argv, AppSettings& settings, bool instanceRunning)
{
    // Without an X server the report still has to come out, saying so.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Korvane");
    auto mainQueue = std::make_shared<QtMainQueue>(&application);
    LinuxPlatform platform;
    const SelfTestContext context{settings, platform, mainQueue, instanceRunning};
    const std::vector<SelfTestCheck> checks = runSelfTestChecks(context);
    for (const SelfTestCheck& check : checks) {
        std::cout << formatSelfTestCheck(check) << '\n';
    }
    const int status = selfTestExitStatus(checks);
    std::cout << (status == 0 ? "Everything a dictation needs is there.\n"
                              : "Something a dictation needs is missing (see FAIL above).\n");
    std::cout.flush();
    return status;
}

}  // namespace korvane
