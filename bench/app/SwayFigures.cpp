// SPDX-License-Identifier: MIT
// Prints how long a dictation's text takes to reach a Wayland window, not a test. Korvane runs in a
// sway session as a user of a wlroots desktop runs it (tests/support/app/SwayDictation.h): the
// shortcut is sway's binding, the paste keys go through sway's virtual keyboard and the clipboard
// through data control, into a Qt window on Wayland. For each dictation:
//   - the second press of the binding (wtype's keys sent) to the text in the field,
//   - the same from Korvane's receipt of the request ("Instance request: toggle"), which leaves out
//     the binding's own start of `korvane --toggle`,
// both minus the recogniser's own time (from "Sending ... to whisper" to "Transcription complete"),
// and their medians. The field is read back through the client every few milliseconds once the
// transcription is complete; app_figures prints the same figure on X11.
#include "bench/app/WholeNumberOption.h"
#include "tests/support/app/SwayDictation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace korvane;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kPhrase = "Meet me at noon.";

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Clock::time_point arrivalOf(const testing::RunningKorvane& app, const std::string& text, std::size_t from)
{
    const auto index = app.waitForLine(text, 120s, from);
    if (!index) {
        throw std::runtime_error("no \"" + text + "\" in Korvane's log:\n" + app.output());
    }
    return app.line(*index).arrived;
}

int run(int dictations, const modelgen::ModelRecipe& recipe)
{
    testing::SwayDictation session(kPhrase, recipe);
    testing::RunningKorvane& app = session.app();
    testing::HeadlessSway::Client client = session.sway().startClient(testing::HeadlessSway::Toolkit::qt);
    session.sway().focus(client.appId);
    client.process->writeLine("focus single");
    client.process->expectLine("focused single", 5s);

    std::vector<double> fromPress;
    std::vector<double> fromRequest;
    std::vector<double> whisper;
    for (int round = 0; round < dictations; ++round) {
        client.process->writeLine("clear single");
        client.process->expectLine("cleared single", 5s);
        const std::size_t before = app.lineCount();
        session.pressShortcut();
        arrivalOf(app, "Recording started", before);
        session.desktop().speak();
        const std::size_t beforeStop = app.lineCount();
        const Clock::time_point pressed = Clock::now();
        session.pressShortcut();
        const Clock::time_point requested = arrivalOf(app, "Instance request: toggle", beforeStop);
        const Clock::time_point sending = arrivalOf(app, "to whisper", beforeStop);
        const Clock::time_point transcribed = arrivalOf(app, "Transcription complete", beforeStop);
        while (testing::SwayDictation::fieldText(client) != kPhrase) {
            if (Clock::now() - transcribed > 10s) {
                throw std::runtime_error("the text never reached the field:\n" + app.output());
            }
            std::this_thread::sleep_for(1ms);
        }
        const Clock::time_point arrived = Clock::now();
        const double recogniser = millisecondsBetween(sending, transcribed);
        fromPress.push_back(millisecondsBetween(pressed, arrived) - recogniser);
        fromRequest.push_back(millisecondsBetween(requested, arrived) - recogniser);
        whisper.push_back(recogniser);
        std::printf("dictation %d: stop to text in the field %.1f ms without whisper (%.1f ms from the request); "
                    "whisper %.0f ms\n",
                    round + 1, fromPress.back(), fromRequest.back(), recogniser);
        std::this_thread::sleep_for(1500ms);  // the clipboard restore and the indicator's fade
    }
    std::printf("median of %d on sway: stop to text in the field without whisper %.1f ms (%.1f ms from the "
                "request); whisper %.0f ms\n",
                dictations, median(fromPress), median(fromRequest), median(whisper));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        int dictations = 20;
        // The widths and depths of Whisper "tiny": the recogniser's time is left out of the figure.
        modelgen::ModelRecipe recipe;
        recipe.state = 384;
        recipe.audioHeads = recipe.textHeads = 6;
        recipe.audioLayers = recipe.textLayers = 4;
        for (int i = 1; i + 1 < argc; i += 2) {
            const std::string_view arg = argv[i];
            const int value = bench::wholeNumberOption(arg, argv[i + 1]);
            if (arg == "--dictations") {
                dictations = value;
            } else {
                throw std::invalid_argument("usage: sway_figures [--dictations N]");
            }
        }
        return run(dictations, recipe);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sway_figures: %s\n", error.what());
        return 1;
    }
}
