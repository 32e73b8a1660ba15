#include "ui/logic/IndicatorAppearance.h"

#include <algorithm>
#include <cmath>

namespace korvane {

IndicatorAppearance indicatorAppearance(const IndicatorChange& state)
{
    namespace colours = indicator_colours;
    using Kind = IndicatorChange::Kind;
    switch (state.kind) {
    case Kind::copiedToClipboard:
        return {colours::yellow, state.message, colours::label, false};
    case Kind::error:
        return {colours::red, state.message, colours::label, false};
    case Kind::recording:
        return {colours::red, state.message.empty() ? std::string("Listening") : state.message, colours::label, true};
    case Kind::recordingLimitReached:
        return {colours::orange, "Limit reached — stop to transcribe", colours::orange, true};
    case Kind::transcribing:
        return {colours::blue, "Transcribing…", colours::label, false};
    case Kind::hidden:
        break;
    }
    return {colours::red, {}, colours::label, false};
}

IndicatorLayout indicatorLayout(double textWidth, bool showsLevels)
{
    constexpr double kTextStart = 34;
    const double reserve = showsLevels ? 136 : 20;
    // A width the text measurement could not give (NaN, negative) counts as an empty label.
    const double text = std::isfinite(textWidth) && textWidth > 0 ? std::ceil(textWidth) : 0;
    const double width = std::clamp(text + kTextStart + reserve, kIndicatorMinWidth, kIndicatorMaxWidth);
    IndicatorLayout layout;
    layout.panelWidth = width;
    layout.labelWidth = width - kTextStart - reserve;
    return layout;
}

}  // namespace korvane
