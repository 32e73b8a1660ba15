// SPDX-License-Identifier: MIT
// The indicator controller's driving of its panel on virtual time: the meter runs only while the
// bars show, final messages go away 4 s after they first appeared, the focused field is read only
// when the panel comes up, and the panel lands on the screen the logic picked, in device pixels.
#include "ui/indicator/ListeningIndicatorController.h"
#include "base/scheduling/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {
namespace {

using Kind = IndicatorChange::Kind;

// What the controller did to its panel.
struct SurfaceRecord {
    std::vector<IndicatorScreen> screens{{{{0, 0, 1280, 800}, {0, 0, 1280, 770}}, 1}};
    Point mouse{100, 100};
    int surfacesMade = 0;
    bool visible = false;
    int levelDraws = 0;
    std::array<double, LevelMeter::kBars> history{};
    std::optional<IndicatorAppearance> appearance;
    std::optional<Rect> frame;
};

class RecordingSurface final : public IndicatorSurface {
public:
    explicit RecordingSurface(SurfaceRecord& record) : record_(record) {}

    double textWidth(const std::string& text) override { return 7.0 * static_cast<double>(text.size()); }
    void draw(const IndicatorAppearance& appearance, const IndicatorLayout& /*layout*/) override
    {
        record_.appearance = appearance;
    }
    void drawLevels(const std::array<double, LevelMeter::kBars>& history) override
    {
        ++record_.levelDraws;
        record_.history = history;
    }
    std::vector<IndicatorScreen> screens() override { return record_.screens; }
    Point mousePosition() override { return record_.mouse; }
    void place(const Rect& frame) override { record_.frame = frame; }
    void showWithoutActivating() override { record_.visible = true; }
    void hide() override { record_.visible = false; }

private:
    SurfaceRecord& record_;
};

class ListeningIndicatorControllerTest : public ::testing::Test {
protected:
    ListeningIndicatorControllerTest()
    {
        controller = std::make_unique<ListeningIndicatorController>(queue, [this] {
            ++record.surfacesMade;
            return std::make_unique<RecordingSurface>(record);
        });
        controller->setLevelProvider([this] { return level; });
        controller->setFocusedFrameProvider([this] {
            ++frameReads;
            return focusedFrame;
        });
    }

    std::shared_ptr<VirtualMainQueue> queue = std::make_shared<VirtualMainQueue>();
    SurfaceRecord record;
    float level = 0.5F;
    std::optional<Rect> focusedFrame;
    int frameReads = 0;
    std::unique_ptr<ListeningIndicatorController> controller;
};

TEST_F(ListeningIndicatorControllerTest, MeterRunsWhileTheBarsShowAndStopsWithTranscribing)
{
    controller->show({Kind::recording, {}});
    queue->advance(10 * LevelMeter::kFrameSeconds + 0.001);
    EXPECT_EQ(record.levelDraws, 10);
    EXPECT_DOUBLE_EQ(record.history.back(), 0.5);

    // Into the limit the running meter carries on at the same pace, not twice as fast.
    controller->show({Kind::recordingLimitReached, {}});
    queue->advance(10 * LevelMeter::kFrameSeconds);
    EXPECT_EQ(record.levelDraws, 20);

    controller->show({Kind::transcribing, {}});
    queue->advance(2);
    EXPECT_EQ(record.levelDraws, 20);
    EXPECT_TRUE(record.visible);
    EXPECT_EQ(queue->pendingCount(), 0U) << "transcribing stays up with no timer running";

    controller->hide();
    EXPECT_FALSE(record.visible);
    EXPECT_EQ(record.history, (std::array<double, LevelMeter::kBars>{})) << "the bars start from silence next time";
    EXPECT_DOUBLE_EQ(controller->meter().smoothedLevel(), 0);
    EXPECT_EQ(record.surfacesMade, 1) << "the panel is built once and kept";
}

TEST_F(ListeningIndicatorControllerTest, FinalMessageHidesFourSecondsAfterItFirstAppeared)
{
    controller->show({Kind::recording, {}});
    controller->show({Kind::error, "Mic error"});
    queue->advance(3);
    controller->show({Kind::error, "Mic error"});  // the same message again changes nothing
    queue->advance(0.9);
    EXPECT_TRUE(record.visible);
    EXPECT_EQ(record.levelDraws, 0) << "the meter stopped before its first frame";
    queue->advance(0.2);
    EXPECT_FALSE(record.visible);
    EXPECT_EQ(controller->state(), IndicatorChange{});

    // A newer state cancels the pending hide.
    controller->show({Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"});
    queue->advance(3);
    controller->show({Kind::recording, {}});
    queue->advance(3);
    EXPECT_TRUE(record.visible);
    EXPECT_EQ(controller->state().kind, Kind::recording);
}

TEST_F(ListeningIndicatorControllerTest, FocusedFieldIsReadWhenThePanelComesUpAndKeptWhileItStays)
{
    // A field over the default spot (y 130 up from the bottom): the panel goes just above it.
    focusedFrame = Rect{400, 120, 300, 30};
    controller->show({Kind::recording, {}});
    ASSERT_TRUE(record.frame.has_value());
    EXPECT_EQ(*record.frame, (Rect{506, 162, 268, 46}));

    focusedFrame = Rect{400, 600, 300, 30};
    controller->show({Kind::transcribing, {}});
    controller->show({Kind::copiedToClipboard, "Transcript copied — press Ctrl+V"});
    EXPECT_EQ(frameReads, 1);
    EXPECT_EQ(record.frame->y, 162) << "the panel does not jump between states";

    controller->hide();
    EXPECT_FALSE(controller->avoidRect().has_value());
    controller->show({Kind::recording, {}});
    EXPECT_EQ(frameReads, 2);
    EXPECT_EQ(record.frame->y, 130) << "the new field is clear of the default spot";
}

TEST_F(ListeningIndicatorControllerTest, PanelGoesOnTheScreenUnderTheMouseInItsDevicePixels)
{
    // A second screen to the right with twice the pixel density; the mouse is on it.
    record.screens.push_back({{{1280, 0, 2560, 1600}, {1280, 0, 2560, 1600}}, 2});
    record.mouse = {2000, 500};
    controller->show({Kind::error, std::string(200, 'x')});
    ASSERT_TRUE(record.frame.has_value());
    EXPECT_EQ(*record.frame, (Rect{1280 + 1280 - 520, 260, 1040, 92}));

    record.screens.clear();
    controller->hide();
    controller->show({Kind::recording, {}});
    EXPECT_EQ(record.frame->width, 1040) << "without screens the panel stays where it was";
    EXPECT_TRUE(record.visible);
}

TEST_F(ListeningIndicatorControllerTest, HideWithNothingShownAndPendingTimersAfterTheControllerAreHarmless)
{
    controller->hide();
    EXPECT_EQ(record.surfacesMade, 0);
    controller->show({Kind::recording, {}});
    controller->show({Kind::error, "Mic error"});
    controller->show({Kind::recording, {}});
    controller.reset();
    EXPECT_GT(queue->pendingCount(), 0U);
    queue->advance(5);
}

}  // namespace
}  // namespace korvane
