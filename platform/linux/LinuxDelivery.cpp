#include "platform/linux/LinuxDelivery.h"

#include "delivery/TranscriptDelivery.h"
#include "delivery/focus/FocusInspector.h"
#include "delivery/focus/FocusTracker.h"
#include "delivery/paste/PasteHelper.h"
#include "delivery/paste/PasteKeys.h"

#include <utility>

namespace korvane {

namespace {

// The subrole of the focused element, which tells a terminal apart ("AXTerminal").
std::optional<std::string> focusedSubrole(AccessibilityService& accessibility)
{
    if (!accessibility.isTrusted()) {
        return std::nullopt;
    }
    const Answer<std::shared_ptr<AccessibleElement>> focused = accessibility.focusedElement();
    if (focused.status != AccessibilityStatus::success || !focused.value || !*focused.value) {
        return std::nullopt;
    }
    const Answer<std::string> subrole = (*focused.value)->subrole();
    return subrole.status == AccessibilityStatus::success ? subrole.value : std::nullopt;
}

}  // namespace

std::shared_ptr<TranscriptDelivering> makeLinuxDelivery(std::shared_ptr<MainQueue> mainQueue, LinuxDeliveryParts parts)
{
    PasteHelper::Ports ports;
    ports.clipboard = parts.clipboard;
    ports.keys = parts.keys;
    ports.mainQueue = mainQueue;
    ports.isTrusted = parts.isTrusted;
    ports.log = parts.log;
    std::shared_ptr<PasteHelper> helper = PasteHelper::create(std::move(ports));

    TranscriptDeliveryEnvironment environment;
    environment.isAccessibilityTrusted = parts.isTrusted;
    environment.isFrontmost = [tracker = parts.tracker](const std::string& bundleId) {
        return tracker->isFrontmost(bundleId);
    };
    environment.activate = parts.activate;
    environment.classifyFocus = [accessibility = parts.accessibility, log = parts.log] {
        return FocusInspector::classifyFocusedElement(*accessibility, log);
    };
    environment.characterBeforeCaret = [accessibility = parts.accessibility, log = parts.log] {
        return FocusInspector::characterBeforeCaret(*accessibility, log);
    };
    environment.copyToPasteboard = [clipboard = parts.clipboard](const std::string& text) {
        return clipboard->copyPlainText(text);
    };
    environment.paste = [helper, accessibility = parts.accessibility, overrides = parts.pasteKeyOverrides](
                            const std::string& text, const std::optional<std::string>& targetApp,
                            std::function<bool()> isTargetFrontmost, std::function<void(PasteResult)> completion) {
        const PasteKeys keys = pasteKeysFor(targetApp, focusedSubrole(*accessibility),
                                            overrides ? overrides() : std::map<std::string, std::string>{});
        helper->paste(text, keys, std::move(isTargetFrontmost), std::move(completion));
    };
    // The waits stay the delivery's own: they are part of its decisions, not of the desktop.
    environment.schedule = [mainQueue](double seconds, Task task) { mainQueue->postAfter(seconds, std::move(task)); };
    environment.log = parts.log;
    return std::make_shared<EnvironmentDelivery>(std::move(environment));
}

}  // namespace korvane
