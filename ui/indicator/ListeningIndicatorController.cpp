#include "ui/indicator/ListeningIndicatorController.h"

#include "ui/indicator/QtIndicatorSurface.h"
#include "ui/logic/IndicatorShowPlan.h"

#include <utility>

namespace korvane {

ListeningIndicatorController::ListeningIndicatorController(std::shared_ptr<MainQueue> mainQueue,
                                                           SurfaceFactory makeSurface)
    : mainQueue_(std::move(mainQueue)), makeSurface_(std::move(makeSurface))
{
    if (!makeSurface_) {
        makeSurface_ = [] { return std::make_unique<QtIndicatorSurface>(); };
    }
}

ListeningIndicatorController::~ListeningIndicatorController() = default;

void ListeningIndicatorController::setLevelProvider(std::function<float()> provider)
{
    levelProvider_ = std::move(provider);
}

void ListeningIndicatorController::setFocusedFrameProvider(std::function<std::optional<Rect>()> provider)
{
    focusedFrameProvider_ = std::move(provider);
}

void ListeningIndicatorController::apply(const std::optional<IndicatorChange>& change)
{
    if (change) {
        show(*change);
    }
}

void ListeningIndicatorController::show(const IndicatorChange& state)
{
    requireMainThread(*mainQueue_, "ListeningIndicatorController::show");
    const IndicatorShowPlan plan = planIndicatorShow(state_, state);
    if (!plan.changes) {
        return;
    }
    state_ = state;
    cancelAutoHide();
    if (plan.hide) {
        hide();
        return;
    }
    if (!surface_) {
        surface_ = makeSurface_();
    }
    if (plan.refreshAvoidRect) {
        avoidRect_ = focusedFrameProvider_ ? focusedFrameProvider_() : std::nullopt;
    }

    const IndicatorAppearance appearance = indicatorAppearance(state_);
    const IndicatorLayout layout = indicatorLayout(surface_->textWidth(appearance.text), appearance.showsLevels);
    panelWidth_ = layout.panelWidth;
    surface_->draw(appearance, layout);
    position();
    surface_->showWithoutActivating();

    switch (plan.meter) {
    case MeterTimer::start:
        startMeter();
        break;
    case MeterTimer::stop:
        stopMeter();
        break;
    case MeterTimer::keep:
        break;
    }
    if (plan.autoHideAfterSeconds) {
        const std::uint64_t generation = autoHideGeneration_;
        mainQueue_->postAfter(*plan.autoHideAfterSeconds,
                              [weak = std::weak_ptr<ListeningIndicatorController*>(alive_), generation] {
                                  const auto alive = weak.lock();
                                  if (alive && (*alive)->autoHideGeneration_ == generation) {
                                      (*alive)->hide();
                                  }
                              });
    }
}

void ListeningIndicatorController::hide()
{
    requireMainThread(*mainQueue_, "ListeningIndicatorController::hide");
    state_ = IndicatorChange{};
    cancelAutoHide();
    stopMeter();
    avoidRect_.reset();
    meter_.reset();
    if (surface_) {
        surface_->hide();
        surface_->drawLevels(meter_.history());
    }
}

void ListeningIndicatorController::position()
{
    const std::vector<IndicatorScreen> screens = surface_->screens();
    std::vector<ScreenArea> areas;
    areas.reserve(screens.size());
    for (const IndicatorScreen& screen : screens) {
        areas.push_back(screen.area);
    }
    // The mouse is only asked when there is no focused field to go by.
    const Point anchor = avoidRect_ ? indicatorAnchor(avoidRect_, {}) : surface_->mousePosition();
    const std::optional<std::size_t> index = indicatorScreen(areas, anchor);
    if (!index) {
        return;  // no screen at all: the panel stays where it was
    }
    // The placement's distances (130 above the bottom, 12 around the field) are device-independent
    // like the panel's size, so place in those units and scale the result back to the screen's
    // device pixels. The focus logic's frames are device pixels.
    const IndicatorScreen& screen = screens[*index];
    const double ratio = screen.pixelRatio > 0 ? screen.pixelRatio : 1;
    const auto scaled = [ratio](const Rect& rect) {
        return Rect{rect.x / ratio, rect.y / ratio, rect.width / ratio, rect.height / ratio};
    };
    const std::optional<Rect> avoid = avoidRect_ ? std::optional<Rect>(scaled(*avoidRect_)) : std::nullopt;
    const Point origin = indicatorOrigin(panelWidth_, kIndicatorPanelHeight, scaled(screen.area.visibleFrame), avoid);
    surface_->place({origin.x * ratio, origin.y * ratio, panelWidth_ * ratio, kIndicatorPanelHeight * ratio});
}

void ListeningIndicatorController::startMeter()
{
    // Recording into the limit keeps the running meter, so the bars carry on without a stutter.
    if (meterRunning_) {
        return;
    }
    meterRunning_ = true;
    const std::uint64_t generation = ++meterGeneration_;
    mainQueue_->postAfter(LevelMeter::kFrameSeconds,
                          [weak = std::weak_ptr<ListeningIndicatorController*>(alive_), generation] {
                              if (const auto alive = weak.lock()) {
                                  (*alive)->tickMeter(generation);
                              }
                          });
}

void ListeningIndicatorController::stopMeter()
{
    meterRunning_ = false;
    ++meterGeneration_;
}

void ListeningIndicatorController::tickMeter(std::uint64_t generation)
{
    if (generation != meterGeneration_ || !meterRunning_ || !surface_) {
        return;
    }
    meter_.tick(levelProvider_ ? static_cast<double>(levelProvider_()) : 0.0);
    surface_->drawLevels(meter_.history());
    mainQueue_->postAfter(LevelMeter::kFrameSeconds,
                          [weak = std::weak_ptr<ListeningIndicatorController*>(alive_), generation] {
                              if (const auto alive = weak.lock()) {
                                  (*alive)->tickMeter(generation);
                              }
                          });
}

void ListeningIndicatorController::cancelAutoHide()
{
    ++autoHideGeneration_;
}

}  // namespace korvane
