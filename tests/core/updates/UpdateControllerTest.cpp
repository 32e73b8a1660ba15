#include "core/updates/UpdateController.h"
#include "base/scheduling/VirtualMainQueue.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::writeFile;

constexpr std::int64_t kEpoch = 1'800'000'000;  // wall-clock time when the test's virtual clock reads 0
constexpr double kDay = UpdateController::kCheckInterval;

std::string feedFor(const std::string& version)
{
    return R"({"version": ")" + version + R"(", "releasePage": "https://korvane.app/releases/)" + version +
           R"(", "notes": "Notes for )" + version + R"("})";
}

// Answers every fetch with the same canned result and remembers the addresses asked for.
class CannedFetcher final : public FeedFetching {
public:
    FeedFetchResult fetch(const std::string& url) override
    {
        urls.push_back(url);
        return answer;
    }
    FeedFetchResult answer{feedFor("0.1.0"), {}};
    std::vector<std::string> urls;
};

// Records what the user would have been shown, one line per prompt.
class RecordingPrompts final : public UpdatePrompts {
public:
    void offerUpdate(const UpdateOffer& offer, const std::string& current, UpdateCheckKind origin,
                     std::function<void(UpdateOfferAnswer)> answer) override
    {
        shown.push_back("offer " + offer.version + " at " + offer.releasePage + " over " + current +
                        (origin == UpdateCheckKind::scheduled ? ", quietly" : ", in front"));
        offerAnswer = std::move(answer);
    }
    void reportUpToDate(const std::string& current) override { shown.push_back("up to date " + current); }
    void reportCheckFailed(const std::string& reason) override { shown.push_back("failed: " + reason); }
    void offerRelaunch(std::function<void(bool)> answer) override
    {
        shown.push_back("relaunch?");
        relaunchAnswer = std::move(answer);
    }
    std::vector<std::string> shown;
    std::function<void(bool)> relaunchAnswer;
    std::function<void(UpdateOfferAnswer)> offerAnswer;
};

class UpdateControllerTest : public ::testing::Test {
protected:
    UpdateControllerTest() { settings = std::make_unique<AppSettings>(home.path() / "settings.json"); }

    std::shared_ptr<UpdateController> makeController()
    {
        UpdateCollaborators collaborators;
        collaborators.mainQueue = queue;
        collaborators.backgroundQueue = background;
        collaborators.fetcher = fetcher;
        collaborators.prompts = prompts;
        collaborators.isBusy = [this] { return busy; };
        collaborators.relaunch = [this] { ++relaunches; };
        collaborators.wallClock = [this] { return kEpoch + clockShift + static_cast<std::int64_t>(queue->now()); };
        collaborators.log = log.sink();
        collaborators.currentVersion = "0.1.0";
        auto controller = UpdateController::create(*settings, std::move(collaborators));
        controller->setUserCheckObserver([this](bool running) { buttonBusy.push_back(running); });
        return controller;
    }

    // Runs what is due now, fetches included, as the application's two queues would.
    void settle()
    {
        do {
            queue->runUntilIdle();
        } while (background->runAll() > 0);
    }
    void advance(double seconds)
    {
        queue->advance(seconds);
        settle();
    }

    testing::TempHome home;
    std::unique_ptr<AppSettings> settings;
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ManualBackgroundQueue> background = std::make_shared<ManualBackgroundQueue>();
    std::shared_ptr<CannedFetcher> fetcher = std::make_shared<CannedFetcher>();
    std::shared_ptr<RecordingPrompts> prompts = std::make_shared<RecordingPrompts>();
    testing::RecordingLog log;
    bool busy = false;
    int relaunches = 0;
    std::vector<bool> buttonBusy;  // what the Updates pane's button was told, in order
    std::int64_t clockShift = 0;   // the user (or NTP) moving the wall clock
};

TEST_F(UpdateControllerTest, ScheduledChecksRunAtMostOnceADayAndRememberTheLastOne)
{
    auto controller = makeController();
    controller->start();
    advance(UpdateController::kLaunchDelay - 1);
    EXPECT_THAT(fetcher->urls, IsEmpty()) << "no check during launch";
    advance(1);
    EXPECT_THAT(fetcher->urls, ElementsAre("https://korvane.app/updates/linux.json"));
    EXPECT_EQ(settings->lastUpdateCheck(), kEpoch + static_cast<std::int64_t>(UpdateController::kLaunchDelay));
    EXPECT_THAT(prompts->shown, IsEmpty()) << "a scheduled check that finds nothing new stays silent";

    advance(kDay - 1);
    EXPECT_EQ(fetcher->urls.size(), 1u);
    advance(1);
    EXPECT_EQ(fetcher->urls.size(), 2u);

    // After a restart the stored time still counts: two hours after the last check the next one is
    // 22 hours away, not at the end of the launch delay.
    controller.reset();
    advance(2 * 60 * 60);
    controller = makeController();
    controller->start();
    advance(kDay - 2 * 60 * 60 - 1);
    EXPECT_EQ(fetcher->urls.size(), 2u);
    advance(1);
    EXPECT_EQ(fetcher->urls.size(), 3u);
}

TEST_F(UpdateControllerTest, SettingsThatCannotBeSavedStillGiveOneCheckADay)
{
    // A folder where the settings file belongs: the time of a check cannot be stored.
    settings.reset();
    std::filesystem::create_directories(home.path() / "unsaveable.json");
    settings = std::make_unique<AppSettings>(home.path() / "unsaveable.json");
    auto controller = makeController();
    controller->start();
    advance(UpdateController::kLaunchDelay);
    EXPECT_EQ(fetcher->urls.size(), 1u);
    EXPECT_EQ(settings->lastUpdateCheck(), std::nullopt);
    advance(kDay - 1);
    EXPECT_EQ(fetcher->urls.size(), 1u) << "asked the server again before a day had passed";
    advance(1);
    EXPECT_EQ(fetcher->urls.size(), 2u);
}

TEST_F(UpdateControllerTest, TheWallClockDecidesWhenADayHasPassed)
{
    // A stored check "in the future" (the clock was set back since) must not postpone checks for years.
    settings->setLastUpdateCheck(kEpoch + 400 * static_cast<std::int64_t>(kDay));
    auto controller = makeController();
    controller->start();
    advance(UpdateController::kLaunchDelay);
    EXPECT_EQ(fetcher->urls.size(), 1u);

    // The clock goes back twelve hours after a check: the timer set for a day later finds only half
    // a day passed by the clock and waits for the rest.
    clockShift = -12 * 60 * 60;
    advance(kDay);
    EXPECT_EQ(fetcher->urls.size(), 1u);
    advance(kDay / 2);
    EXPECT_EQ(fetcher->urls.size(), 2u);
}

TEST_F(UpdateControllerTest, ScheduledCheckWhileDictatingIsRefusedAndTriedAgainLater)
{
    auto controller = makeController();
    controller->start();
    busy = true;
    EXPECT_EQ(controller->mayPerformUpdateCheck(UpdateCheckKind::scheduled),
              (UpdateError{"Korvane.Update", 1, "Dictation in progress"}));
    EXPECT_EQ(controller->mayPerformUpdateCheck(UpdateCheckKind::userInitiated), std::nullopt);

    advance(UpdateController::kLaunchDelay);
    EXPECT_THAT(fetcher->urls, IsEmpty());
    EXPECT_THAT(log.linesStartingWith("Refusing to"),
                ElementsAre("Refusing to run the scheduled update check: Dictation in progress"));
    EXPECT_EQ(settings->lastUpdateCheck(), std::nullopt) << "a refused check is no check";

    busy = false;
    EXPECT_EQ(controller->mayPerformUpdateCheck(UpdateCheckKind::scheduled), std::nullopt);
    advance(UpdateController::kBusyRetryDelay - 1);
    EXPECT_THAT(fetcher->urls, IsEmpty());
    advance(1);
    EXPECT_EQ(fetcher->urls.size(), 1u);
}

TEST_F(UpdateControllerTest, CheckNowRunsWhileDictatingAndShowsEveryOutcome)
{
    struct Case {
        FeedFetchResult answer;
        std::string shown;
    };
    const Case cases[] = {
        {{feedFor("0.2.0"), {}}, "offer 0.2.0 at https://korvane.app/releases/0.2.0 over 0.1.0, in front"},
        {{feedFor("0.1.0"), {}}, "up to date 0.1.0"},
        {{feedFor("0.0.9"), {}}, "up to date 0.1.0"},
        {{feedFor("0.1.0-rc.1"), {}}, "up to date 0.1.0"},
        {{R"({"version": "0.2.0"})", {}}, "failed: the update feed has no https \"releasePage\""},
        {{"<html>", {}}, "failed: the update feed is not JSON"},
        {{std::nullopt, "SSL certificate problem"}, "failed: SSL certificate problem"},
    };
    busy = true;  // transcribing: user-initiated checks are never refused
    auto controller = makeController();
    controller->start();
    for (const Case& c : cases) {
        prompts->shown.clear();
        buttonBusy.clear();
        fetcher->answer = c.answer;
        controller->checkForUpdates();
        EXPECT_TRUE(controller->isUserCheckRunning());
        settle();
        EXPECT_FALSE(controller->isUserCheckRunning());
        EXPECT_THAT(prompts->shown, ElementsAre(c.shown));
        EXPECT_THAT(buttonBusy, ElementsAre(true, false)) << "the button is given back whatever the outcome";
    }
    EXPECT_EQ(fetcher->urls.size(), std::size(cases));
}

TEST_F(UpdateControllerTest, ScheduledCheckOffersOnlyANewerVersion)
{
    fetcher->answer = {feedFor("0.1.1"), {}};
    auto controller = makeController();
    controller->start();
    advance(UpdateController::kLaunchDelay);
    EXPECT_THAT(prompts->shown, ElementsAre("offer 0.1.1 at https://korvane.app/releases/0.1.1 over 0.1.0, quietly"));
    EXPECT_THAT(buttonBusy, IsEmpty()) << "a scheduled check leaves the Check Now button alone";

    prompts->shown.clear();
    fetcher->answer = {std::nullopt, "Could not resolve host"};
    advance(kDay);
    EXPECT_EQ(fetcher->urls.size(), 2u);
    EXPECT_THAT(prompts->shown, IsEmpty()) << "a failed scheduled check is only logged";
    EXPECT_THAT(log.linesStartingWith("Update check failed"),
                ElementsAre("Update check failed: Could not resolve host"));
}

TEST_F(UpdateControllerTest, CheckNowDuringAScheduledFetchShowsThatFetchsOutcome)
{
    auto controller = makeController();
    controller->start();
    queue->advance(UpdateController::kLaunchDelay);  // the scheduled fetch is queued, not yet run
    EXPECT_THAT(buttonBusy, IsEmpty());
    controller->checkForUpdates();
    EXPECT_THAT(buttonBusy, ElementsAre(true));
    settle();
    EXPECT_EQ(fetcher->urls.size(), 1u);
    EXPECT_THAT(prompts->shown, ElementsAre("up to date 0.1.0"));
    EXPECT_THAT(buttonBusy, ElementsAre(true, false));
}

TEST_F(UpdateControllerTest, ScheduledOfferWaitsUntilTheDictationStartedDuringTheFetchEnds)
{
    fetcher->answer = {feedFor("0.2.0"), {}};
    auto controller = makeController();
    controller->start();
    queue->advance(UpdateController::kLaunchDelay);  // the check passes the gate while idle
    busy = true;                                     // and a dictation starts during the slow fetch
    settle();
    EXPECT_THAT(prompts->shown, IsEmpty());
    EXPECT_THAT(log.linesStartingWith("Update offer"), ElementsAre("Update offer postponed until dictation finishes"));
    advance(60.0);
    EXPECT_THAT(prompts->shown, IsEmpty()) << "never while busy";

    busy = false;
    advance(UpdateController::kOfferRetryInterval);
    EXPECT_THAT(prompts->shown, ElementsAre("offer 0.2.0 at https://korvane.app/releases/0.2.0 over 0.1.0, quietly"));
    advance(60.0);
    EXPECT_EQ(prompts->shown.size(), 1u) << "offered once";

    // "Check Now…" while a scheduled offer waits shows its own answer, and the waiting one is dropped.
    prompts->shown.clear();
    queue->advance(kDay);
    busy = true;
    settle();
    ASSERT_EQ(fetcher->urls.size(), 2u);
    ASSERT_THAT(prompts->shown, IsEmpty());
    controller->checkForUpdates();
    settle();
    busy = false;
    advance(60.0);
    EXPECT_THAT(prompts->shown, ElementsAre("offer 0.2.0 at https://korvane.app/releases/0.2.0 over 0.1.0, in front"));
}

TEST_F(UpdateControllerTest, SkippingAVersionSilencesScheduledOffersUpToIt)
{
    fetcher->answer = {feedFor("0.2.0"), {}};
    auto controller = makeController();
    controller->start();
    controller->checkForUpdates();
    settle();
    ASSERT_TRUE(prompts->offerAnswer);
    prompts->offerAnswer(UpdateOfferAnswer::later);
    EXPECT_EQ(controller->skippedVersion(), std::nullopt);
    controller->checkForUpdates();
    settle();
    prompts->offerAnswer(UpdateOfferAnswer::skipVersion);
    EXPECT_EQ(AppSettings(home.path() / "settings.json").defaults().string("skippedUpdateVersion"), "0.2.0");

    struct Case {
        std::string feed;
        UpdateCheckKind kind;
        bool offered;
    };
    const Case cases[] = {
        {"0.2.0", UpdateCheckKind::scheduled, false},
        {"0.2", UpdateCheckKind::scheduled, false},    // the same version written shorter
        {"0.1.5", UpdateCheckKind::scheduled, false},  // older than the skipped one, newer than ours
        {"0.2.1", UpdateCheckKind::scheduled, true},
        {"0.2.0", UpdateCheckKind::userInitiated, true},  // "Check Now…" still shows it
    };
    for (const Case& c : cases) {
        prompts->shown.clear();
        fetcher->answer = {feedFor(c.feed), {}};
        if (c.kind == UpdateCheckKind::scheduled) {
            advance(kDay);
        } else {
            controller->checkForUpdates();
            settle();
        }
        EXPECT_EQ(prompts->shown.size(), c.offered ? 1u : 0u) << c.feed;
    }
}

TEST_F(UpdateControllerTest, TheAutomaticSwitchIsStoredAndStartsOrStopsTheSchedule)
{
    settings->defaults().setString("updateFeedURL", "https://mirror.example.org/korvane/feed.json");
    auto controller = makeController();
    EXPECT_TRUE(controller->automaticallyChecksForUpdates()) << "on by default";
    EXPECT_EQ(controller->feedHost(), "mirror.example.org");
    controller->start();

    controller->setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(AppSettings(home.path() / "settings.json").automaticallyChecksForUpdates(), false);
    advance(3 * kDay);
    EXPECT_THAT(fetcher->urls, IsEmpty());

    controller->setAutomaticallyChecksForUpdates(true);
    advance(0);
    EXPECT_THAT(fetcher->urls, ElementsAre("https://mirror.example.org/korvane/feed.json"));
    advance(kDay);
    EXPECT_EQ(fetcher->urls.size(), 2u) << "turning the switch on again must not add a second schedule";
    advance(kDay);
    EXPECT_EQ(fetcher->urls.size(), 3u);
}

TEST_F(UpdateControllerTest, HandEditedValuesThatMakeNoSenseFallBackToTheDefaults)
{
    // The settings document is the user's to edit; nonsense there must neither stop checks nor send
    // them somewhere odd.
    writeFile(home.path() / "settings.json",
              R"({"lastUpdateCheck": "yesterday", "updateFeedURL": "", "automaticallyChecksForUpdates": "no"})");
    settings = std::make_unique<AppSettings>(home.path() / "settings.json");
    auto controller = makeController();
    EXPECT_TRUE(controller->automaticallyChecksForUpdates());
    EXPECT_EQ(controller->feedUrl(), "https://korvane.app/updates/linux.json");
    controller->start();
    advance(UpdateController::kLaunchDelay);
    EXPECT_EQ(fetcher->urls.size(), 1u);
    EXPECT_EQ(settings->lastUpdateCheck(), kEpoch + static_cast<std::int64_t>(UpdateController::kLaunchDelay));
}

TEST_F(UpdateControllerTest, RelaunchWaitsWhileBusyAndHappensWithinHalfASecondAfter)
{
    auto controller = makeController();
    int invoked = 0;
    EXPECT_FALSE(controller->shouldPostponeRelaunch([&] { ++invoked; })) << "idle: relaunch at once";
    EXPECT_EQ(invoked, 0) << "the caller relaunches when not postponed";

    busy = true;
    EXPECT_TRUE(controller->shouldPostponeRelaunch([&] { ++invoked; }));
    EXPECT_THAT(log.linesStartingWith("Update relaunch"),
                ElementsAre("Update relaunch postponed until dictation finishes"));
    advance(30.0);
    EXPECT_EQ(invoked, 0) << "never while busy";

    queue->advance(0.2);
    busy = false;  // the dictation ends between two polls
    queue->advance(UpdateController::kRelaunchPollInterval);
    EXPECT_EQ(invoked, 1) << "within 0.5 s";
    advance(10.0);
    EXPECT_EQ(invoked, 1) << "exactly once";
    EXPECT_EQ(queue->pendingCount(), 0u) << "the poll stops";
}

TEST_F(UpdateControllerTest, AReplacedExecutableIsRelaunchedOnlyWhenTheUserAgrees)
{
    auto controller = makeController();
    controller->executableReplaced();
    controller->executableReplaced();  // a second notice while the question is open asks nothing more
    ASSERT_THAT(prompts->shown, ElementsAre("relaunch?"));
    prompts->relaunchAnswer(false);
    EXPECT_EQ(relaunches, 0);

    busy = true;  // pasting
    controller->executableReplaced();
    ASSERT_EQ(prompts->shown.size(), 2u);
    prompts->relaunchAnswer(true);
    advance(2.0);
    EXPECT_EQ(relaunches, 0);
    busy = false;
    advance(UpdateController::kRelaunchPollInterval);
    EXPECT_EQ(relaunches, 1);
}

TEST_F(UpdateControllerTest, DeferredWorkDoesNothingOnceTheControllerIsGone)
{
    auto controller = makeController();
    controller->start();
    busy = true;
    controller->shouldPostponeRelaunch([&] { ++relaunches; });
    controller->checkForUpdates();
    controller.reset();
    busy = false;
    advance(2 * kDay);
    EXPECT_EQ(relaunches, 0);
    EXPECT_THAT(prompts->shown, IsEmpty());
}

}  // namespace
}  // namespace korvane
