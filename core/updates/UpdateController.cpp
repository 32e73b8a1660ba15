#include "core/updates/UpdateController.h"

#include "base/scheduling/WeakTask.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "core/updates/ProjectAddresses.h"
#include "core/updates/VersionNumber.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <utility>
#include <variant>

namespace korvane {

namespace {

// The version "Skip This Version" was chosen for, as the feed wrote it. Only the update controller
// reads or writes it.
constexpr std::string_view kSkippedVersionKey = "skippedUpdateVersion";

}  // namespace

std::int64_t UpdateCollaborators::systemWallClock()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::shared_ptr<UpdateController> UpdateController::create(AppSettings& settings, UpdateCollaborators collaborators)
{
    if (!collaborators.mainQueue || !collaborators.backgroundQueue || !collaborators.fetcher ||
        !collaborators.prompts || !collaborators.isBusy || !collaborators.wallClock) {
        throw std::invalid_argument("UpdateController: a required collaborator is missing");
    }
    if (!collaborators.log) {
        collaborators.log = [](std::string_view) {};
    }
    return std::shared_ptr<UpdateController>(new UpdateController(settings, std::move(collaborators)));
}

UpdateController::UpdateController(AppSettings& settings, UpdateCollaborators collaborators)
    : settings_(settings), collaborators_(std::move(collaborators))
{
}

void UpdateController::start()
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::start");
    if (started_) {
        return;
    }
    started_ = true;
    if (automaticallyChecksForUpdates()) {
        scheduleNextCheck(kLaunchDelay);
    }
}

bool UpdateController::automaticallyChecksForUpdates() const
{
    return settings_.automaticallyChecksForUpdates();
}

void UpdateController::setAutomaticallyChecksForUpdates(bool enabled)
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::setAutomaticallyChecksForUpdates");
    settings_.setAutomaticallyChecksForUpdates(enabled);
    collaborators_.log(std::string("Automatic update checks: ") + (enabled ? "on" : "off"));
    ++scheduleGeneration_;
    if (enabled && started_) {
        scheduleNextCheck(0.0);
    }
}

std::string UpdateController::feedUrl() const
{
    return settings_.updateFeedUrl().value_or(std::string(ProjectAddresses::updateFeed));
}

std::string UpdateController::feedHost() const
{
    return urlHost(feedUrl());
}

std::optional<UpdateError> UpdateController::mayPerformUpdateCheck(UpdateCheckKind kind) const
{
    if (kind == UpdateCheckKind::scheduled && collaborators_.isBusy()) {
        return dictationInProgressError();
    }
    return std::nullopt;
}

void UpdateController::setUserCheckObserver(std::function<void(bool running)> observer)
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::setUserCheckObserver");
    userCheckObserver_ = std::move(observer);
}

std::optional<std::string> UpdateController::skippedVersion() const
{
    return settings_.defaults().string(kSkippedVersionKey);
}

void UpdateController::checkForUpdates()
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::checkForUpdates");
    runCheck(UpdateCheckKind::userInitiated);
}

void UpdateController::scheduleNextCheck(double minimumDelay)
{
    const std::uint64_t generation = ++scheduleGeneration_;
    double delay = 0.0;
    if (const std::optional<std::int64_t> last = lastCheck()) {
        const std::int64_t now = collaborators_.wallClock();
        // A last check "in the future" means the clock was set back; waiting for it could take
        // years, so it counts as due.
        if (*last <= now) {
            delay = std::max(0.0, kCheckInterval - static_cast<double>(now - *last));
        }
    }
    delay = std::max(delay, minimumDelay);
    collaborators_.mainQueue->postAfter(
        delay, weakTask(weak_from_this(), [generation](UpdateController& self) { self.onScheduledTick(generation); }));
}

std::optional<std::int64_t> UpdateController::lastCheck() const
{
    const std::optional<std::int64_t> stored = settings_.lastUpdateCheck();
    if (stored && lastCheckThisRun_) {
        return std::max(*stored, *lastCheckThisRun_);
    }
    return stored ? stored : lastCheckThisRun_;
}

void UpdateController::onScheduledTick(std::uint64_t generation)
{
    if (generation != scheduleGeneration_ || !automaticallyChecksForUpdates()) {
        return;
    }
    // Timers may run late or early against the wall clock (a suspended laptop, a clock change); the
    // stored time decides whether a day has really passed.
    if (const std::optional<std::int64_t> last = lastCheck()) {
        const std::int64_t now = collaborators_.wallClock();
        if (*last <= now && static_cast<double>(now - *last) < kCheckInterval) {
            scheduleNextCheck(0.0);
            return;
        }
    }
    if (const std::optional<UpdateError> refusal = mayPerformUpdateCheck(UpdateCheckKind::scheduled)) {
        collaborators_.log("Refusing to run the scheduled update check: " + refusal->description);
        scheduleNextCheck(kBusyRetryDelay);
        return;
    }
    runCheck(UpdateCheckKind::scheduled);
}

void UpdateController::runCheck(UpdateCheckKind kind)
{
    const bool userInitiated = kind == UpdateCheckKind::userInitiated;
    if (checking_) {
        // One fetch at a time; a "Check Now…" during a scheduled fetch shows that fetch's outcome.
        setShowOutcome(showOutcome_ || userInitiated);
        return;
    }
    checking_ = true;
    setShowOutcome(userInitiated);
    const std::string url = feedUrl();
    collaborators_.log(std::string(userInitiated ? "Checking for updates at " : "Scheduled update check at ") + url);
    // The fetch is an attempt whatever its outcome: an unreachable server is asked again tomorrow,
    // not in a loop.
    lastCheckThisRun_ = collaborators_.wallClock();
    settings_.setLastUpdateCheck(*lastCheckThisRun_);
    if (automaticallyChecksForUpdates() && started_) {
        scheduleNextCheck(0.0);
    }
    collaborators_.backgroundQueue->post([weak = weak_from_this(), fetcher = collaborators_.fetcher,
                                          queue = collaborators_.mainQueue, url] {
        FeedFetchResult result = fetcher->fetch(url);
        queue->post(weakTask(weak, [result = std::move(result)](UpdateController& self) { self.finishCheck(result); }));
    });
}

void UpdateController::setShowOutcome(bool show)
{
    const bool wasRunning = isUserCheckRunning();
    showOutcome_ = show;
    if (isUserCheckRunning() != wasRunning && userCheckObserver_) {
        userCheckObserver_(isUserCheckRunning());
    }
}

void UpdateController::finishCheck(const FeedFetchResult& result)
{
    const bool show = showOutcome_;
    // The button is given back before the outcome appears, whatever it is.
    setShowOutcome(false);
    checking_ = false;
    const auto fail = [&](const std::string& reason) {
        collaborators_.log("Update check failed: " + reason);
        if (show) {
            collaborators_.prompts->reportCheckFailed(reason);
        }
    };
    if (!result.body) {
        fail(result.error.empty() ? std::string("no answer from the update server") : result.error);
        return;
    }
    auto parsed = parseUpdateFeed(*result.body);
    if (const auto* reason = std::get_if<std::string>(&parsed)) {
        fail(*reason);
        return;
    }
    // The newest answer decides; an offer still waiting from an earlier check is out of date.
    deferredOffer_.reset();
    const UpdateOffer& offer = std::get<UpdateOffer>(parsed);
    const std::optional<VersionNumber> newest = VersionNumber::parse(offer.version);
    const std::optional<VersionNumber> running = VersionNumber::parse(collaborators_.currentVersion);
    // A running version we cannot read is an unusual build; offering what the feed has is the
    // safer mistake than staying silent about every release.
    if (!running || *newest > *running) {
        collaborators_.log("Update available: " + offer.version + " (running " + collaborators_.currentVersion + ")");
        if (show) {
            present(offer, UpdateCheckKind::userInitiated);
        } else {
            offerFromSchedule(offer);
        }
        return;
    }
    collaborators_.log("No update: newest is " + offer.version + ", running " + collaborators_.currentVersion);
    if (show) {
        collaborators_.prompts->reportUpToDate(collaborators_.currentVersion);
    }
}

void UpdateController::offerFromSchedule(const UpdateOffer& offer)
{
    if (isSkipped(offer.version)) {
        collaborators_.log("Not offering " + offer.version + ": the user skipped " + skippedVersion().value_or(""));
        return;
    }
    // The fetch may have taken a while: a dictation that started meanwhile must not be interrupted.
    if (collaborators_.isBusy()) {
        if (!deferredOffer_) {
            collaborators_.log("Update offer postponed until dictation finishes");
        }
        deferredOffer_ = offer;
        if (!offerRetryPosted_) {
            offerRetryPosted_ = true;
            collaborators_.mainQueue->postAfter(
                kOfferRetryInterval,
                weakTask(weak_from_this(), [](UpdateController& self) { self.retryDeferredOffer(); }));
        }
        return;
    }
    present(offer, UpdateCheckKind::scheduled);
}

void UpdateController::retryDeferredOffer()
{
    offerRetryPosted_ = false;
    if (deferredOffer_) {
        const UpdateOffer offer = *std::exchange(deferredOffer_, std::nullopt);
        offerFromSchedule(offer);
    }
}

void UpdateController::present(const UpdateOffer& offer, UpdateCheckKind origin)
{
    collaborators_.prompts->offerUpdate(
        offer, collaborators_.currentVersion, origin,
        [weak = weak_from_this(), queue = collaborators_.mainQueue, version = offer.version](UpdateOfferAnswer answer) {
            requireMainThread(*queue, "UpdateController offer answer");
            if (auto self = weak.lock()) {
                self->onOfferAnswered(version, answer);
            }
        });
}

bool UpdateController::isSkipped(const std::string& version) const
{
    const std::optional<std::string> skipped = skippedVersion();
    if (!skipped) {
        return false;
    }
    const std::optional<VersionNumber> offered = VersionNumber::parse(version);
    const std::optional<VersionNumber> declined = VersionNumber::parse(*skipped);
    // Anything up to the skipped version stays quiet (a feed rolled back to an older release is no
    // news to someone who declined a newer one); a hand-edited value that is no version matches only
    // itself.
    if (offered && declined) {
        return *offered <= *declined;
    }
    return version == *skipped;
}

void UpdateController::onOfferAnswered(const std::string& version, UpdateOfferAnswer answer)
{
    if (answer == UpdateOfferAnswer::skipVersion) {
        settings_.defaults().setString(kSkippedVersionKey, version);
        collaborators_.log("Skipping version " + version + ": scheduled checks will not offer it again");
    }
}

bool UpdateController::shouldPostponeRelaunch(Task relaunch)
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::shouldPostponeRelaunch");
    if (!collaborators_.isBusy()) {
        return false;
    }
    collaborators_.log("Update relaunch postponed until dictation finishes");
    const bool polling = static_cast<bool>(pendingRelaunch_);
    // A later request replaces the block; one poll serves both.
    pendingRelaunch_ = std::move(relaunch);
    if (!polling) {
        collaborators_.mainQueue->postAfter(
            kRelaunchPollInterval, weakTask(weak_from_this(), [](UpdateController& self) { self.pollRelaunch(); }));
    }
    return true;
}

void UpdateController::pollRelaunch()
{
    if (!pendingRelaunch_) {
        return;
    }
    if (collaborators_.isBusy()) {
        collaborators_.mainQueue->postAfter(
            kRelaunchPollInterval, weakTask(weak_from_this(), [](UpdateController& self) { self.pollRelaunch(); }));
        return;
    }
    Task relaunch = std::exchange(pendingRelaunch_, Task());
    relaunch();
}

void UpdateController::executableReplaced()
{
    requireMainThread(*collaborators_.mainQueue, "UpdateController::executableReplaced");
    if (relaunchQuestionOpen_ || pendingRelaunch_) {
        return;
    }
    collaborators_.log("The installed Korvane executable was replaced; offering to relaunch");
    relaunchQuestionOpen_ = true;
    collaborators_.prompts->offerRelaunch([weak = weak_from_this(), queue = collaborators_.mainQueue](bool accepted) {
        requireMainThread(*queue, "UpdateController relaunch answer");
        if (auto self = weak.lock()) {
            self->relaunchQuestionOpen_ = false;
            if (accepted) {
                self->relaunchWhenIdle();
            } else {
                self->collaborators_.log("Relaunch into the new version declined");
            }
        }
    });
}

void UpdateController::relaunchWhenIdle()
{
    Task relaunch = [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->collaborators_.log("Relaunching into the new version");
            if (self->collaborators_.relaunch) {
                self->collaborators_.relaunch();
            }
        }
    };
    if (!shouldPostponeRelaunch(relaunch)) {
        relaunch();
    }
}

}  // namespace korvane
