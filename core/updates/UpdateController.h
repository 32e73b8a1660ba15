#pragma once

#include "base/logging/LogSink.h"
#include "base/scheduling/BackgroundQueue.h"
#include "base/scheduling/MainQueue.h"
#include "base/scheduling/Task.h"
#include "core/updates/FeedFetching.h"
#include "core/updates/UpdateCheckKind.h"
#include "core/updates/UpdateError.h"
#include "core/updates/UpdatePrompts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace korvane {

class AppSettings;

// Everything the update controller reaches the world through. The pointers and isBusy are required.
struct UpdateCollaborators {
    std::shared_ptr<MainQueue> mainQueue;
    std::shared_ptr<BackgroundQueue> backgroundQueue;
    std::shared_ptr<FeedFetching> fetcher;
    std::shared_ptr<UpdatePrompts> prompts;
    // True exactly while the dictation controller is recording, transcribing or pasting. Main thread.
    std::function<bool()> isBusy;
    // Replaces this process with the installed executable (after the shell's shutdown); does not
    // return when it succeeds. Main thread. Without one, a relaunch is only logged.
    std::function<void()> relaunch;
    // Seconds since the Unix epoch; the time of the last check is stored in it, so that the
    // once-a-day rule holds across restarts.
    std::function<std::int64_t()> wallClock = systemWallClock;
    LogSink log = defaultLogSink();
    // The running version, compared with the feed's.
    std::string currentVersion;

    static std::int64_t systemWallClock();
};

// Keeps Korvane informed about newer releases without ever interrupting a dictation.
//
// Update checks: while "Check Automatically" is on ("automaticallyChecksForUpdates", default on),
// the feed is fetched at most once a day (the time of the last check is kept under
// "lastUpdateCheck"); a scheduled check that falls due while a dictation is busy is refused with
// dictationInProgressError() and tried again a little later. "Check Now…" always runs. A newer
// version is offered through the prompts; after "Check Now…" an up-to-date answer or a failure is
// shown too. The feed address is ProjectAddresses::updateFeed unless "updateFeedURL" names another.
//
// Offers from scheduled checks are gentle: the fetch may take a while, so a dictation may have
// started by the time the answer is in; the offer then waits, looking every kOfferRetryInterval,
// until no dictation is busy. A version the user chose to skip ("skippedUpdateVersion") is not
// offered by scheduled checks, nor anything older; a newer one is. "Check Now…" offers it anyway.
//
// Relaunch: when the installed executable is replaced (a package upgrade), the shell's watch calls
// executableReplaced(); the user is asked, and an accepted relaunch waits, polling every 0.5 s,
// until no dictation is busy.
//
// All operations run on the main thread (and abort the process elsewhere); only the fetch runs on
// the background queue. Deferred work holds the controller weakly.
class UpdateController : public std::enable_shared_from_this<UpdateController> {
public:
    static constexpr double kCheckInterval = 24.0 * 60.0 * 60.0;
    // The first scheduled check waits this long after start(), so that launch stays quick.
    static constexpr double kLaunchDelay = 60.0;
    // A scheduled check refused because of a dictation is tried again after this long.
    static constexpr double kBusyRetryDelay = 15.0 * 60.0;
    // How often a postponed relaunch looks whether the dictation has finished.
    static constexpr double kRelaunchPollInterval = 0.5;
    // How often an offer from a scheduled check that found a dictation busy looks again.
    static constexpr double kOfferRetryInterval = 1.0;

    // Throws std::invalid_argument when a required collaborator is missing. `settings` must outlive
    // the controller.
    static std::shared_ptr<UpdateController> create(AppSettings& settings, UpdateCollaborators collaborators);

    UpdateController(const UpdateController&) = delete;
    UpdateController& operator=(const UpdateController&) = delete;

    // Starts the schedule of automatic checks. Call once, after the shell has built everything.
    void start();

    // The "Check Automatically" preference. Turning it on schedules the next check by the
    // once-a-day rule; turning it off cancels the pending one.
    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool enabled);

    // "Check Now…": a user-initiated check, also while a dictation runs. While a check is already
    // under way its outcome is shown instead of starting another fetch.
    void checkForUpdates();

    // The gate every check passes: nothing when `kind` may run now, else why not.
    std::optional<UpdateError> mayPerformUpdateCheck(UpdateCheckKind kind) const;

    // The feed in use and its host (for the Updates pane's help text).
    std::string feedUrl() const;
    std::string feedHost() const;

    // True while a fetch is under way.
    bool isChecking() const { return checking_; }

    // True while a check whose outcome the user will be shown is under way: a "Check Now…", or a
    // scheduled fetch it joined.
    bool isUserCheckRunning() const { return checking_ && showOutcome_; }

    // Told (main thread) each time isUserCheckRunning() changes, before the outcome is shown: the
    // Updates pane's button follows it. One observer; an empty function removes it.
    void setUserCheckObserver(std::function<void(bool running)> observer);

    // The version "Skip This Version" was last chosen for, if any.
    std::optional<std::string> skippedVersion() const;

    // The relaunch gate: false when `relaunch` may run now (nothing is done with it then); true when
    // it is postponed because a dictation is busy, in which case the controller invokes it once,
    // within kRelaunchPollInterval of the dictation finishing.
    bool shouldPostponeRelaunch(Task relaunch);

    // From the executable watch: the installed executable is a new file. Asks the user (once per
    // replacement while the question is open) and relaunches through the gate when accepted.
    void executableReplaced();

private:
    UpdateController(AppSettings& settings, UpdateCollaborators collaborators);

    // Forgets any pending scheduled check and plans the next one `minimumDelay` or more from now.
    void scheduleNextCheck(double minimumDelay);
    // When the last check ran: the stored time, or this run's own when it is later (the settings
    // may refuse to store it).
    std::optional<std::int64_t> lastCheck() const;
    void onScheduledTick(std::uint64_t generation);
    void runCheck(UpdateCheckKind kind);
    void finishCheck(const FeedFetchResult& result);
    void setShowOutcome(bool show);
    void present(const UpdateOffer& offer, UpdateCheckKind origin);
    // The gentle path for an offer a scheduled check found: skipped, put off while busy, or shown.
    void offerFromSchedule(const UpdateOffer& offer);
    void retryDeferredOffer();
    bool isSkipped(const std::string& version) const;
    void onOfferAnswered(const std::string& version, UpdateOfferAnswer answer);
    void relaunchWhenIdle();
    void pollRelaunch();

    AppSettings& settings_;
    UpdateCollaborators collaborators_;
    // Bumped whenever the schedule changes, so that a timer posted earlier knows it is stale
    // (MainQueue has no way to cancel a posted task).
    std::uint64_t scheduleGeneration_ = 0;
    bool started_ = false;
    bool checking_ = false;
    std::optional<std::int64_t> lastCheckThisRun_;
    // Whether the check under way (or about to be finished) must show its outcome.
    bool showOutcome_ = false;
    bool relaunchQuestionOpen_ = false;
    std::function<void(bool)> userCheckObserver_;
    // A scheduled check's offer waiting for the dictation to finish, and whether a retry is posted.
    std::optional<UpdateOffer> deferredOffer_;
    bool offerRetryPosted_ = false;
    // The postponed relaunch, while waiting for the dictation to finish.
    Task pendingRelaunch_;
};

}  // namespace korvane
