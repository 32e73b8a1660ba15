#include "delivery/TranscriptDelivery.h"

#include "text/Graphemes.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace korvane {

namespace {

using Environment = TranscriptDeliveryEnvironment;
using Completion = std::function<void(DeliveryOutcome)>;

// Leaves the transcript, as given, on the clipboard for the user to paste by hand.
void fallBack(const std::string& text, DeliveryFallbackReason reason, const Environment& environment,
              const Completion& completion)
{
    if (environment.copyToPasteboard(text)) {
        completion(DeliveryOutcome::copiedToClipboard(reason, graphemeCount(text)));
    } else {
        completion(DeliveryOutcome::notDelivered(reason));
    }
}

void finishPaste(PasteResult result, const std::string& text, const Environment& environment,
                 const Completion& completion)
{
    switch (result) {
    case PasteResult::sent:
        completion(DeliveryOutcome::pasteSent(graphemeCount(text)));
        return;
    case PasteResult::noAccessibility:
        fallBack(text, DeliveryFallbackReason::noAccessibility, environment, completion);
        return;
    case PasteResult::targetChanged:
        fallBack(text, DeliveryFallbackReason::targetNotFrontmost, environment, completion);
        return;
    case PasteResult::eventCreationFailed:
    case PasteResult::clipboardChanged:
        break;
    }
    fallBack(text, DeliveryFallbackReason::eventCreationFailed, environment, completion);
}

// The part after the wait, once the target has had time to come to the front.
void pasteIntoFocus(const std::string& text, const std::optional<std::string>& targetApp,
                    const std::shared_ptr<const Environment>& environment, const Completion& completion)
{
    if (targetApp && !environment->isFrontmost(*targetApp)) {
        fallBack(text, DeliveryFallbackReason::targetNotFrontmost, *environment, completion);
        return;
    }
    if (environment->classifyFocus() == FocusClassification::nonEditable) {
        fallBack(text, DeliveryFallbackReason::focusNotEditable, *environment, completion);
        return;
    }
    const bool leadingSpace = TranscriptDelivery::needsLeadingSpace(text, environment->characterBeforeCaret());
    environment->log(std::string("Leading space added: ") + (leadingSpace ? "true" : "false"));

    auto isTargetFrontmost = [environment, targetApp] { return !targetApp || environment->isFrontmost(*targetApp); };
    environment->paste(
        leadingSpace ? " " + text : text, targetApp, std::move(isTargetFrontmost),
        [text, environment, completion](PasteResult result) { finishPaste(result, text, *environment, completion); });
}

}  // namespace

void TranscriptDelivery::deliver(const std::string& text, const std::optional<std::string>& targetApp,
                                 const TranscriptDeliveryEnvironment& environment,
                                 std::function<void(DeliveryOutcome)> completion)
{
    if (!environment.isAccessibilityTrusted()) {
        fallBack(text, DeliveryFallbackReason::noAccessibility, environment, completion);
        return;
    }
    double wait = environment.fallbackDelay;
    if (targetApp) {
        if (environment.isFrontmost(*targetApp)) {
            wait = environment.frontmostDelay;
        } else if (environment.activate(*targetApp)) {
            wait = environment.activationDelay;
        } else {
            fallBack(text, DeliveryFallbackReason::targetUnavailable, environment, completion);
            return;
        }
    }
    environment.schedule(
        wait, [text, targetApp, environment = std::make_shared<const Environment>(environment),
               completion = std::move(completion)] { pasteIntoFocus(text, targetApp, environment, completion); });
}

bool TranscriptDelivery::needsLeadingSpace(std::string_view text, const std::optional<std::string>& previousCharacter)
{
    if (!previousCharacter || previousCharacter->empty() || text.empty()) {
        return false;
    }
    static constexpr std::array<std::string_view, 9> openers{"(", "[", "{", "\"", "'", "\u201C", "\u2018", "/", "-"};
    static constexpr std::array<UChar32, 10> closers{'.', ',', ';', ':', '!', '?', ')', ']', '}', 0x2026};
    const UChar32 previous = unicode_text::fromUtf8(*previousCharacter).char32At(0);
    if (unicode_text::isWhitespaceOrNewline(previous) ||
        std::find(openers.begin(), openers.end(), *previousCharacter) != openers.end()) {
        return false;
    }
    const UChar32 first = unicode_text::fromUtf8(text).char32At(0);
    return !unicode_text::isWhitespaceOrNewline(first) &&
           std::find(closers.begin(), closers.end(), first) == closers.end();
}

EnvironmentDelivery::EnvironmentDelivery(TranscriptDeliveryEnvironment environment)
    : environment_(std::move(environment))
{
}

void EnvironmentDelivery::deliver(const std::string& text, const std::optional<std::string>& targetApp,
                                  std::function<void(DeliveryOutcome)> completion)
{
    TranscriptDelivery::deliver(text, targetApp, environment_, std::move(completion));
}

}  // namespace korvane
