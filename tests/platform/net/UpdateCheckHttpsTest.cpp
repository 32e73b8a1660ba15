#include "base/scheduling/ThreadPool.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "core/updates/UpdateController.h"
#include "platform/linux/net/CurlFeedFetcher.h"
#include "tests/support/TempHome.h"
#include "tests/support/WaitingMainQueue.h"
#include "tests/support/http/LoopbackHttpServer.h"
#include "tests/support/http/TestCertificates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

std::string feedFor(const std::string& version)
{
    return R"({"version": ")" + version + R"(", "releasePage": "https://korvane.app/releases/)" + version + R"("})";
}

class RecordingPrompts final : public UpdatePrompts {
public:
    void offerUpdate(const UpdateOffer& offer, const std::string&, UpdateCheckKind,
                     std::function<void(UpdateOfferAnswer)>) override
    {
        shown.push_back("offer " + offer.version);
    }
    void reportUpToDate(const std::string& current) override { shown.push_back("up to date " + current); }
    void reportCheckFailed(const std::string& reason) override { shown.push_back("failed: " + reason); }
    void offerRelaunch(std::function<void(bool)>) override {}
    std::vector<std::string> shown;
};

// The update checker as the application runs it (real fetcher on a thread pool, real settings
// document), against an HTTPS server on this machine whose certificate authority exists only for
// the test.
class UpdateCheckHttpsTest : public ::testing::Test {
protected:
    std::shared_ptr<UpdateController> controllerTrusting(std::string certificateAuthority)
    {
        CurlFeedFetcher::Options options;
        options.certificateAuthorityFile = std::move(certificateAuthority);
        options.connectTimeout = 5s;
        options.totalTimeout = 10s;
        UpdateCollaborators collaborators;
        collaborators.mainQueue = queue;
        collaborators.backgroundQueue = pool;
        collaborators.fetcher = std::make_shared<CurlFeedFetcher>(options);
        collaborators.prompts = prompts;
        collaborators.isBusy = [] { return true; };  // "Check Now…" runs while dictating too
        collaborators.log = [](std::string_view) {};
        collaborators.currentVersion = "0.1.0";
        return UpdateController::create(settings, std::move(collaborators));
    }

    // "Check Now…", then what the user was shown.
    std::vector<std::string> checkNow(UpdateController& controller)
    {
        prompts->shown.clear();
        controller.checkForUpdates();
        EXPECT_TRUE(queue->runUntil([&] { return !controller.isChecking(); }, 20s)) << "the check never finished";
        return prompts->shown;
    }

    testing::TempHome home;
    AppSettings settings{home.path() / "settings.json"};
    testing::TestCertificates certificates;
    testing::LoopbackHttpServer server{
        testing::TlsIdentity{certificates.serverCertificate().string(), certificates.serverKey().string()}};
    std::shared_ptr<testing::WaitingMainQueue> queue = std::make_shared<testing::WaitingMainQueue>();
    std::shared_ptr<ThreadPool> pool = std::make_shared<ThreadPool>(1);
    std::shared_ptr<RecordingPrompts> prompts = std::make_shared<RecordingPrompts>();
};

TEST_F(UpdateCheckHttpsTest, OffersOnlyANewerVersionAndReportsAMalformedFeed)
{
    settings.defaults().setString("updateFeedURL", server.baseUrl() + "feed.json");
    auto controller = controllerTrusting(certificates.caCertificate().string());
    struct Case {
        std::string feed;
        std::string shown;
    };
    const Case cases[] = {
        {feedFor("0.2.0"), "offer 0.2.0"},
        {feedFor("0.1.0"), "up to date 0.1.0"},
        {feedFor("0.0.9"), "up to date 0.1.0"},
        {R"({"version": "0.2.0", "releasePage": )", "failed: the update feed is not JSON"},
    };
    for (const Case& c : cases) {
        server.serve("/feed.json", testing::ok(c.feed));
        EXPECT_THAT(checkNow(*controller), ElementsAre(c.shown)) << c.feed;
    }
    EXPECT_EQ(server.requestCount("/feed.json"), std::size(cases));
    // The help text promises that a check sends the app version: here it is.
    EXPECT_THAT(server.headerValues("/feed.json", "User-Agent"), Each("Korvane/" KORVANE_TEST_PROJECT_VERSION));
    EXPECT_TRUE(settings.lastUpdateCheck().has_value());
}

TEST_F(UpdateCheckHttpsTest, RefusesAServerItCannotVerify)
{
    settings.defaults().setString("updateFeedURL", server.baseUrl() + "feed.json");
    server.serve("/feed.json", testing::ok(feedFor("9.0.0")));

    // The system's authorities have never heard of the test's one: an impostor, as far as the
    // checker can tell.
    auto untrusting = controllerTrusting({});
    const std::vector<std::string> shown = checkNow(*untrusting);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_THAT(shown[0], HasSubstr("failed: "));
    EXPECT_THAT(shown[0], HasSubstr("certificate"));
    EXPECT_EQ(server.requestCount("/feed.json"), 0u) << "no request may be sent over an unverified connection";
    EXPECT_TRUE(server.waitForFailedHandshakes(1, std::chrono::seconds(10)));

    // The same server is fine once its authority is trusted, so the refusal above was the certificate.
    auto trusting = controllerTrusting(certificates.caCertificate().string());
    EXPECT_THAT(checkNow(*trusting), ElementsAre("offer 9.0.0"));
}

TEST_F(UpdateCheckHttpsTest, FetcherRefusesWhatIsNotAPlainSmallHttpsAnswer)
{
    testing::LoopbackHttpServer plain;
    plain.serve("/feed.json", testing::ok(feedFor("9.0.0")));
    server.redirect("/to-plain", plain.baseUrl() + "feed.json");
    server.redirect("/moved", server.baseUrl() + "feed.json");
    server.serve("/feed.json", testing::ok(feedFor("9.0.0")));
    server.serve("/huge.json", testing::ok(std::string(300 * 1024, ' ')));
    server.serve("/broken.json", testing::withStatus(500, "oops"));

    CurlFeedFetcher::Options options;
    options.certificateAuthorityFile = certificates.caCertificate().string();
    CurlFeedFetcher fetcher(options);
    struct Case {
        std::string url;
        std::string error;  // empty: the feed arrives
    };
    const Case cases[] = {
        {server.baseUrl() + "moved", ""},
        {plain.baseUrl() + "feed.json", "http"},  // refused before connecting
        {server.baseUrl() + "to-plain", "http"},  // no downgrade through a redirect either
        {server.baseUrl() + "huge.json", "larger than 262144 bytes"},
        {server.baseUrl() + "broken.json", "HTTP 500"},
        {server.baseUrl() + "missing.json", "HTTP 404"},
    };
    for (const Case& c : cases) {
        const FeedFetchResult result = fetcher.fetch(c.url);
        if (c.error.empty()) {
            EXPECT_EQ(result.body, feedFor("9.0.0")) << c.url << ": " << result.error;
        } else {
            EXPECT_FALSE(result.body) << c.url;
            EXPECT_THAT(result.error, HasSubstr(c.error)) << c.url;
        }
    }
    EXPECT_EQ(plain.requestCount("/feed.json"), 0u);
}

}  // namespace
}  // namespace korvane
