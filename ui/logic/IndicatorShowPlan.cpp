#include "ui/logic/IndicatorShowPlan.h"

namespace korvane {

IndicatorShowPlan planIndicatorShow(const IndicatorChange& current, const IndicatorChange& next)
{
    using Kind = IndicatorChange::Kind;
    IndicatorShowPlan plan;
    if (next == current) {
        return plan;
    }
    plan.changes = true;
    if (next.kind == Kind::hidden) {
        plan.hide = true;
        plan.meter = MeterTimer::stop;
        return plan;
    }
    plan.refreshAvoidRect = current.kind == Kind::hidden;
    switch (next.kind) {
    case Kind::copiedToClipboard:
    case Kind::error:
        plan.meter = MeterTimer::stop;
        plan.autoHideAfterSeconds = kIndicatorAutoHideSeconds;
        break;
    case Kind::recording:
    case Kind::recordingLimitReached:
        // An already running meter carries on from recording into the limit without a stutter.
        plan.meter = MeterTimer::start;
        break;
    case Kind::transcribing:
        plan.meter = MeterTimer::stop;
        break;
    case Kind::hidden:
        break;
    }
    return plan;
}

}  // namespace korvane
