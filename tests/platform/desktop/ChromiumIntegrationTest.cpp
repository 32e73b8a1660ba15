// SPDX-License-Identifier: MIT
// Chromium as the target of a dictation, on a private Xvfb with openbox and the AT-SPI bus: it joins
// the bus only when accessibility is on as it starts (the application switches it on at launch),
// and builds the tree of its page only once asked, by the request made when a recording for it
// starts or by the first focus lookup in it.
#include "delivery/focus/FocusInspector.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/atspi/AtspiAccessibility.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/RecordingLog.h"
#include "tests/support/desktop/ChromiumClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::ChromiumClient;
using ::testing::Contains;
using ::testing::HasSubstr;

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new testing::DesktopEnvironment);

// How long a browser on a loaded machine may take to build its page's tree once asked.
constexpr auto kTreeBuilt = 20s;

class ChromiumIntegrationTest : public ::testing::Test {
protected:
    ChromiumIntegrationTest()
        : queue(std::make_shared<QtMainQueue>(QCoreApplication::instance())),
          platform([this](std::string_view line) { recorded.append(line); }),
          delivery(platform.makeDelivery(queue, [] { return std::map<std::string, std::string>{}; }))
    {
        platform.prepareAccessibility();  // as at launch, before the user opens the browser
    }

    // Whether a focus lookup (without logging) finds a field taking text.
    bool focusIsEditable()
    {
        return FocusInspector::classifyFocusedElement(*platform.accessibility(), [](std::string_view) {}) ==
               FocusClassification::editable;
    }

    std::string log() const { return recorded.text(); }

    std::shared_ptr<QtMainQueue> queue;
    testing::RecordingLog recorded;
    LinuxPlatform platform;
    std::shared_ptr<TranscriptDelivering> delivery;
};

TEST_F(ChromiumIntegrationTest, ADictationAfterASentenceGetsItsLeadingSpaceAndLandsExactly)
{
    ChromiumClient browser("Hello.");
    browser.setWhileWaiting([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    browser.activate();
    // As the dictation controller does when a recording for the browser starts; the lookups below
    // leave an application already asked alone, so only this request can have woken the page.
    platform.makeAccessibility()->enableAccessibility(browser.windowClass());
    EXPECT_THAT(recorded.lines(), Contains("AXManualAccessibility for Chromium: status 0"));
    ASSERT_TRUE(testing::processEventsUntil([&] { return focusIsEditable(); }, kTreeBuilt)) << log();

    recorded.clear();
    std::optional<DeliveryOutcome> outcome;
    delivery->deliver("Lunch at noon.", browser.windowClass(), [&](DeliveryOutcome result) { outcome = result; });
    ASSERT_TRUE(testing::processEventsUntil([&] { return outcome.has_value(); }, 15s)) << log();
    EXPECT_TRUE(*outcome == DeliveryOutcome::pasteSent(14)) << log();
    EXPECT_TRUE(testing::processEventsUntil([&] { return browser.text() == "Hello. Lunch at noon."; }))
        << browser.text() << "\n"
        << log();
    EXPECT_THAT(recorded.lines(), Contains("Caret read: sentence-end before caret at 6, selection length 0")) << log();
    EXPECT_THAT(recorded.lines(), Contains("Leading space added: true")) << log();
}

TEST_F(ChromiumIntegrationTest, TheFirstLookupAsksTheBrowserForItsPageAndALaterOneReadsTheTextArea)
{
    ChromiumClient browser("Hello.");
    browser.activate();
    ASSERT_TRUE(testing::processEventsUntil([&] { return focusIsEditable(); }, kTreeBuilt)) << log();

    recorded.clear();
    EXPECT_EQ(FocusInspector::classifyFocusedElement(*platform.accessibility(),
                                                     [this](std::string_view line) { recorded.append(line); }),
              FocusClassification::editable);
    EXPECT_THAT(recorded.lines(), Contains(HasSubstr("role=AXTextArea subrole=nil valueSettable=true"))) << log();
}

}  // namespace
}  // namespace korvane
