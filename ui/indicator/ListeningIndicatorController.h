#pragma once

#include "base/scheduling/MainQueue.h"
#include "core/dictation/StatusPresentation.h"
#include "delivery/focus/ScreenGeometry.h"
#include "ui/indicator/IndicatorSurface.h"
#include "ui/logic/LevelMeter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace korvane {

// The small floating panel that says, near where the user types, that the microphone is open (with
// a live level meter), that the recording limit was hit, that transcription runs, or how a
// dictation ended when the text was not pasted. It never takes the keyboard focus and lets clicks
// pass through (see QtIndicatorSurface).
//
// Construction: `ListeningIndicatorController(mainQueue)` with the application's main queue
// (QtMainQueue) draws on the Qt panel, built on the first show. Tests pass a second argument, a
// factory of another IndicatorSurface. Then set the two providers:
//   setLevelProvider(f)         f() is the recorder's current input level, 0 to 1;
//   setFocusedFrameProvider(f)  f() is the focused text element's frame in the y-up geometry of
//                               FocusInspector::focusedElementFrame, or nothing.
// The shell passes what StatusMenu::handleStatus returns to apply(). Main thread only; the meter
// (every 1/30 s) and the 4 s auto-hide run on the main queue.
class ListeningIndicatorController {
public:
    using SurfaceFactory = std::function<std::unique_ptr<IndicatorSurface>()>;

    explicit ListeningIndicatorController(std::shared_ptr<MainQueue> mainQueue, SurfaceFactory makeSurface = {});
    ~ListeningIndicatorController();

    ListeningIndicatorController(const ListeningIndicatorController&) = delete;
    ListeningIndicatorController& operator=(const ListeningIndicatorController&) = delete;

    void setLevelProvider(std::function<float()> provider);
    void setFocusedFrameProvider(std::function<std::optional<Rect>()> provider);

    // Shows `state` (a hidden state hides). Showing the state already shown changes nothing, so a
    // repeated message still goes away 4 s after it first appeared.
    void show(const IndicatorChange& state);
    // Takes the panel off screen and resets the meter; harmless when nothing shows.
    void hide();

    // What StatusMenu::handleStatus returned: nothing leaves the indicator as it is.
    void apply(const IndicatorChange& change) { show(change); }
    void apply(const std::optional<IndicatorChange>& change);

    const IndicatorChange& state() const { return state_; }
    // The focused field's frame the panel keeps clear of while it stays up.
    const std::optional<Rect>& avoidRect() const { return avoidRect_; }
    const LevelMeter& meter() const { return meter_; }

private:
    void position();
    void startMeter();
    void stopMeter();
    void tickMeter(std::uint64_t generation);
    void cancelAutoHide();

    std::shared_ptr<MainQueue> mainQueue_;
    SurfaceFactory makeSurface_;
    std::unique_ptr<IndicatorSurface> surface_;
    std::function<float()> levelProvider_;
    std::function<std::optional<Rect>()> focusedFrameProvider_;
    IndicatorChange state_;
    std::optional<Rect> avoidRect_;
    double panelWidth_ = kIndicatorMinWidth;
    LevelMeter meter_;
    // Timed posts cannot be withdrawn from the queue; each carries the generation it was started
    // in and does nothing once a stop or a newer start moved the generation on.
    std::uint64_t meterGeneration_ = 0;
    bool meterRunning_ = false;
    std::uint64_t autoHideGeneration_ = 0;
    // Timed posts hold the controller through this token and do nothing once it is gone.
    std::shared_ptr<ListeningIndicatorController*> alive_ = std::make_shared<ListeningIndicatorController*>(this);
};

}  // namespace korvane
