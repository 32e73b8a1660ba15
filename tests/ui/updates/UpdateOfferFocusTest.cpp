// SPDX-License-Identifier: MIT
// An update offer on a private X server with a window manager, while another application's window
// has the keyboard focus: the user may be dictating into it when the daily check finds a release.
#include "core/updates/UpdateFeed.h"
#include "tests/platform/desktop/DesktopFixture.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/ui/desktop/WidgetDesktop.h"
#include "ui/settings/UpdateDialogs.h"

#include <QMessageBox>
#include <QUrl>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace korvane {
namespace {

using namespace std::chrono_literals;
using testing::FieldsClient;
using testing::processEventsUntil;

unsigned long activeWindow()
{
    return std::stoul(testing::xdotool({"getactivewindow"}));
}

TEST(UpdateOfferFocusTest, OnlyAnOfferTheUserAskedForTakesTheFocus)
{
    FieldsClient editor(FieldsClient::Toolkit::gtk);
    UpdateDialogs dialogs([](const QUrl&) {});
    const UpdateOffer offer{"0.2.0", "https://korvane.app/releases/0.2.0", ""};
    struct Case {
        UpdateCheckKind origin;
        bool takesFocus;
    };
    // The offer the user asked for shows that the wait below is long enough for the window manager
    // to hand the focus over.
    const Case cases[] = {{UpdateCheckKind::scheduled, false}, {UpdateCheckKind::userInitiated, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.origin == UpdateCheckKind::scheduled ? "scheduled offer" : "offer after Check Now");
        editor.activate();
        editor.focus("multi");
        dialogs.offerUpdate(offer, "0.1.0", c.origin, [](UpdateOfferAnswer) {});
        QMessageBox* box = dialogs.updateDialog();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(processEventsUntil([box] { return box->windowHandle() && box->windowHandle()->isExposed(); }))
            << "the offer never appeared";
        EXPECT_EQ(processEventsUntil([box] { return box->isActiveWindow(); }, 3s), c.takesFocus);
        EXPECT_EQ(activeWindow() == editor.window(), !c.takesFocus);
        box->close();
    }
}

}  // namespace
}  // namespace korvane
