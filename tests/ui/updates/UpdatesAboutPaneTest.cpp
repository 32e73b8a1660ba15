// SPDX-License-Identifier: MIT
// The Updates and About tabs and the update dialogs as the user meets them (offscreen): the
// checkbox against the settings file, "Check Now…", the version texts and the links they open.
#include "base/scheduling/VirtualMainQueue.h"
#include "base/version/Credits.h"
#include "core/settings/AppSettings.h"
#include "core/settings/SettingsStore.h"
#include "core/updates/UpdateController.h"
#include "tests/support/TempHome.h"
#include "ui/settings/AboutPane.h"
#include "ui/settings/CreditsDialog.h"
#include "ui/settings/UpdateDialogs.h"
#include "ui/settings/UpdatesPane.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

QApplication& application()
{
    static int argc = 1;
    static char name[] = "updates-about-pane-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: QTest's simulated clicks create input devices owned by the application, and
    // deleting them from an exit handler, after Qt's own global state has gone, crashes the test.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

class CountingFetcher final : public FeedFetching {
public:
    FeedFetchResult fetch(const std::string& url) override
    {
        urls.push_back(url);
        return answer;
    }
    FeedFetchResult answer{
        R"({"version": "0.2.0", "releasePage": "https://korvane.app/releases/0.2.0", "notes": "New."})", {}};
    std::vector<std::string> urls;
};

QAbstractButton* buttonTitled(QMessageBox& box, const QString& title)
{
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

class UpdatesAboutPaneTest : public ::testing::Test {
protected:
    UpdatesAboutPaneTest()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application();
        settings = std::make_unique<AppSettings>(file());
        dialogs = std::make_shared<UpdateDialogs>([this](const QUrl& url) { opened.push_back(url.toString()); });
        UpdateCollaborators collaborators;
        collaborators.mainQueue = queue;
        collaborators.backgroundQueue = background;
        collaborators.fetcher = fetcher;
        collaborators.prompts = dialogs;
        collaborators.isBusy = [] { return false; };
        collaborators.log = [](std::string_view) {};
        collaborators.wallClock = [this] { return 1'800'000'000 + static_cast<std::int64_t>(queue->now()); };
        collaborators.currentVersion = "0.1.0";
        updates = UpdateController::create(*settings, std::move(collaborators));
    }

    // Runs the fetches and what they post back, as the application's queues would.
    void settle()
    {
        do {
            queue->runUntilIdle();
        } while (background->runAll() > 0);
    }

    std::filesystem::path file() const { return home.path() / "settings.json"; }

    testing::TempHome home;
    std::unique_ptr<AppSettings> settings;
    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    std::shared_ptr<ManualBackgroundQueue> background = std::make_shared<ManualBackgroundQueue>();
    std::shared_ptr<CountingFetcher> fetcher = std::make_shared<CountingFetcher>();
    std::vector<QString> opened;
    std::shared_ptr<UpdateDialogs> dialogs;
    std::shared_ptr<UpdateController> updates;
};

TEST_F(UpdatesAboutPaneTest, CheckboxShowsAndStoresTheAutomaticChecks)
{
    settings->defaults().setString("updateFeedURL", "https://mirror.example.org/feed.json");
    auto pane = std::make_unique<UpdatesPane>(*updates);
    pane->show();
    EXPECT_TRUE(pane->autoCheckbox()->isChecked()) << "on for a fresh installation";
    EXPECT_EQ(pane->autoCheckbox()->text(), "Check Automatically");
    EXPECT_EQ(pane->checkNowButton()->text(), QString::fromUtf8("Check Now\u2026"));
    EXPECT_EQ(pane->helpLabel()->text(), "Checks mirror.example.org once a day. A check sends your IP address and "
                                         "app version, nothing else. Updates still wait for your click.");

    pane->autoCheckbox()->click();
    EXPECT_FALSE(AppSettings(file()).automaticallyChecksForUpdates()) << "the click reaches the settings file";

    // Closing and reopening the window shows the stored state, also after a change made elsewhere.
    pane->hide();
    settings->setAutomaticallyChecksForUpdates(true);
    pane->show();
    EXPECT_TRUE(pane->autoCheckbox()->isChecked());
    pane->hide();
    settings->setAutomaticallyChecksForUpdates(false);
    pane->show();
    EXPECT_FALSE(pane->autoCheckbox()->isChecked());
    EXPECT_FALSE(AppSettings(file()).automaticallyChecksForUpdates()) << "showing the pane writes nothing";
}

TEST_F(UpdatesAboutPaneTest, CheckNowOffersTheNewerVersionAndItsReleasePage)
{
    UpdatesPane pane(*updates);
    pane.show();
    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(fetcher->urls.size(), 1u);

    QMessageBox* offer = dialogs->updateDialog();
    ASSERT_NE(offer, nullptr);
    EXPECT_TRUE(offer->isVisible());
    EXPECT_EQ(offer->informativeText(),
              "Korvane 0.2.0 is available; you have 0.1.0. Its release page tells how to install it.");
    EXPECT_EQ(offer->detailedText(), "New.");
    // A reason from the network is shown as it is written, never as markup.
    dialogs->reportCheckFailed("server said <b>no</b>");
    const auto* reason = dialogs->resultDialog()->findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->textFormat(), Qt::PlainText);
    EXPECT_EQ(reason->text(), "Korvane could not check for updates: server said <b>no</b>.");
    // Even a short answer is wide enough for its title, and none is a window to minimize or maximize.
    dialogs->reportUpToDate("0.1");
    for (const QMessageBox* box : {offer, dialogs->resultDialog()}) {
        EXPECT_GE(box->width(), 360) << box->text().toStdString();
        EXPECT_FALSE(box->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(box->windowFlags() & Qt::WindowCloseButtonHint);
    }
    QAbstractButton* open = buttonTitled(*offer, "Open Release Page");
    ASSERT_NE(open, nullptr);
    open->click();
    EXPECT_THAT(opened, ElementsAre("https://korvane.app/releases/0.2.0"));
}

TEST_F(UpdatesAboutPaneTest, CheckNowShowsThatItRunsUntilItsOutcomeWhateverThatIs)
{
    UpdatesPane pane(*updates);
    pane.show();
    const FeedFetchResult answers[] = {fetcher->answer, {std::nullopt, "Could not resolve host"}};
    for (const FeedFetchResult& answer : answers) {
        fetcher->answer = answer;
        QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
        EXPECT_FALSE(pane.checkNowButton()->isEnabled());
        EXPECT_EQ(pane.checkNowButton()->text(), QString::fromUtf8("Checking\u2026"));
        settle();
        EXPECT_TRUE(pane.checkNowButton()->isEnabled()) << answer.error;
        EXPECT_EQ(pane.checkNowButton()->text(), QString::fromUtf8("Check Now\u2026")) << answer.error;
    }
    EXPECT_EQ(fetcher->urls.size(), std::size(answers));
}

TEST_F(UpdatesAboutPaneTest, SkipThisVersionKeepsTheDailyCheckQuietAboutIt)
{
    updates->start();
    UpdatesPane pane(*updates);
    pane.show();
    QTest::mouseClick(pane.checkNowButton(), Qt::LeftButton);
    settle();
    ASSERT_NE(dialogs->updateDialog(), nullptr);
    QAbstractButton* skip = buttonTitled(*dialogs->updateDialog(), "Skip This Version");
    ASSERT_NE(skip, nullptr);
    skip->click();
    QApplication::processEvents();
    EXPECT_EQ(AppSettings(file()).defaults().string("skippedUpdateVersion"), "0.2.0");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(dialogs->updateDialog(), nullptr) << "the dialog closed";

    queue->advance(UpdateController::kCheckInterval);
    settle();
    EXPECT_EQ(fetcher->urls.size(), 2u);
    EXPECT_EQ(dialogs->updateDialog(), nullptr) << "the skipped version is not offered again";
}

TEST_F(UpdatesAboutPaneTest, RelaunchDialogAnswersOnceWhicheverWayItCloses)
{
    std::vector<bool> answers;
    dialogs->offerRelaunch([&](bool relaunch) { answers.push_back(relaunch); });
    ASSERT_NE(dialogs->relaunchDialog(), nullptr);
    buttonTitled(*dialogs->relaunchDialog(), "Relaunch Now")->click();
    QApplication::processEvents();
    EXPECT_THAT(answers, ElementsAre(true));

    dialogs->offerRelaunch([&](bool relaunch) { answers.push_back(relaunch); });
    ASSERT_NE(dialogs->relaunchDialog(), nullptr);
    dialogs->relaunchDialog()->close();  // the window's close box
    QApplication::processEvents();
    EXPECT_THAT(answers, ElementsAre(true, false));
}

TEST_F(UpdatesAboutPaneTest, AboutShowsNameVersionAndHomePage)
{
    struct Case {
        std::string version;
        std::string build;
        std::string shown;
    };
    const Case cases[] = {
        {"0.3.0", "1a2b3c4", "Version 0.3.0 (1a2b3c4)"},
        {"0.3.0", "", "Version 0.3.0"},
        {"", "77", "Version unknown (77)"},
    };
    for (const Case& c : cases) {
        AboutPane pane(c.version, c.build, [this](const QUrl& url) { opened.push_back(url.toString()); });
        EXPECT_EQ(pane.versionLabel()->text().toStdString(), c.shown);
    }
    AboutPane pane("0.3.0", "", [this](const QUrl& url) { opened.push_back(url.toString()); });
    pane.show();
    EXPECT_EQ(pane.nameLabel()->text(), "Korvane");
    EXPECT_EQ(pane.descriptionLabel()->text(), "Local speech-to-text dictation for Linux,\npowered by Whisper.");
    EXPECT_EQ(pane.websiteButton()->text(), "korvane.app");
    EXPECT_THAT(opened, IsEmpty());
    QTest::mouseClick(pane.websiteButton(), Qt::LeftButton);
    EXPECT_THAT(opened, ElementsAre("https://korvane.app/"));
    EXPECT_EQ(pane.copyrightLabel()->text(), "\u00a9 2026 The Korvane developers\nReleased under the MIT licence");
    // The default pane shows what this binary was built as: the project version, and the build value
    // the build was configured with, else the commit built from this checkout.
    const QString shown = AboutPane().versionLabel()->text();
    const QString version = QRegularExpression::escape(QStringLiteral(KORVANE_TEST_PROJECT_VERSION));
    const QString configured = QStringLiteral(KORVANE_TEST_CONFIGURED_BUILD);
    QString build = " \\(" + QRegularExpression::escape(configured) + "\\)";
    if (configured.isEmpty()) {
        const bool checkout = std::filesystem::exists(std::filesystem::path(KORVANE_TEST_SOURCE_DIR) / ".git");
        build = checkout ? QStringLiteral(" \\([0-9a-f]{7,}(-dirty)?\\)") : QString();
    }
    EXPECT_TRUE(
        QRegularExpression(QRegularExpression::anchoredPattern("Version " + version + build)).match(shown).hasMatch())
        << shown.toStdString();
}

TEST_F(UpdatesAboutPaneTest, CreditsListTheLibrariesAndTheirLicences)
{
    AboutPane pane("0.3.0", "", [](const QUrl&) {});
    pane.show();
    EXPECT_EQ(pane.creditsButton()->text(), "Credits\u2026");
    QTest::mouseClick(pane.creditsButton(), Qt::LeftButton);
    ASSERT_NE(pane.creditsDialog(), nullptr);
    EXPECT_TRUE(pane.creditsDialog()->isVisible());
    const QTableWidget& table = *pane.creditsDialog()->table();
    std::map<std::string, std::string> licences;
    for (int row = 0; row < table.rowCount(); ++row) {
        licences[table.item(row, 0)->text().toStdString()] = table.item(row, 2)->text().toStdString();
    }
    // What a distributor must pass on: whisper.cpp and ggml ship inside the package, the rest is linked.
    const std::map<std::string, std::string> required{
        {"whisper.cpp", "MIT"},           {"ggml", "MIT"},          {"Qt", "LGPL-3.0-only"},
        {"ICU", "Unicode-DFS-2016"},      {"libcurl", "curl"},      {"OpenSSL", "Apache-2.0"},
        {"libsoxr", "LGPL-2.1-or-later"}, {"nlohmann/json", "MIT"},
    };
    for (const auto& [name, licence] : required) {
        EXPECT_EQ(licences[name], licence) << name;
    }
    // The command line's list is the same one.
    const std::string text = creditsText();
    EXPECT_EQ(text.rfind("Korvane is released under the MIT licence.\n", 0), 0U) << text;
    for (const Credit& credit : thirdPartyCredits()) {
        EXPECT_NE(text.find(std::string(credit.name) + " \u2014 "), std::string::npos) << credit.name;
    }
}

}  // namespace
}  // namespace korvane
