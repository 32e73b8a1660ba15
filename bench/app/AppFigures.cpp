// SPDX-License-Identifier: MIT
// Prints figures of the running application, not a test. Korvane runs as a user runs it, on a
// private desktop with a tray host and a private sound server, with a generated model of the given
// size (default: the "small" model's widths and depths) that decodes a fixed phrase. Reported:
//   - shortcut press (XTest key event sent) to the first captured audio block,
//   - second press to "Paste sent to", and to the text in the field (read back through the client
//     every few milliseconds once the transcription is complete), minus the recogniser's own time
//     (from "Sending ... to whisper" to "Transcription complete"),
//   - CPU time and wake-ups (context switches over all threads) while idle for 10 s,
//   - resident memory with the model loaded, idle and after dictating.
// With --portal, Korvane runs as in a Wayland session whose desktop binds the shortcut through the
// real xdg-desktop-portal (our test backend behind it): presses are the portal's signals, and the
// stop-to-paste figure is left out (the transcript stays on the clipboard there).
// Times come from the moment each log line arrives on Korvane's standard error (the log's own
// clock shows whole seconds only).
#include "bench/app/WholeNumberOption.h"
#include "bench/platform/XTestKeyboard.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempHome.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/portal/PortalTestBus.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace korvane;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Options {
    modelgen::ModelRecipe recipe;
    int dictations = 3;
    int idleSeconds = 10;
    bool portal = false;
};

Options parse(int argc, char** argv)
{
    Options options;
    // The widths and depths of Whisper "small"; the vocabulary is the generated one, so the file
    // is smaller than the published model by its token embedding (about 80 MB).
    options.recipe = testing::scriptedModel(" Meet me at noon.");
    options.recipe.state = 768;
    options.recipe.audioHeads = 12;
    options.recipe.textHeads = 12;
    options.recipe.audioLayers = 12;
    options.recipe.textLayers = 12;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--portal") {
            options.portal = true;
            continue;
        }
        if (i + 1 >= argc) {
            throw std::invalid_argument("usage: app_figures [--state N --heads N --audio-layers N --text-layers N "
                                        "--dictations N --idle-seconds N --portal]");
        }
        const int value = bench::wholeNumberOption(arg, argv[++i]);
        if (arg == "--state") {
            options.recipe.state = value;
        } else if (arg == "--heads") {
            options.recipe.audioHeads = options.recipe.textHeads = value;
        } else if (arg == "--audio-layers") {
            options.recipe.audioLayers = value;
        } else if (arg == "--text-layers") {
            options.recipe.textLayers = value;
        } else if (arg == "--dictations") {
            options.dictations = value;
        } else if (arg == "--idle-seconds") {
            options.idleSeconds = value;
        } else {
            throw std::invalid_argument("unknown option " + std::string(arg));
        }
    }
    return options;
}

// The moment the first line from `from` on containing `text` arrived; throws when none came.
Clock::time_point arrivalOf(const testing::RunningKorvane& app, const std::string& text, std::size_t from,
                            std::chrono::seconds timeout)
{
    const auto index = app.waitForLine(text, timeout, from);
    if (!index) {
        throw std::runtime_error("no \"" + text + "\" in Korvane's log:\n" + app.output());
    }
    return app.line(*index).arrived;
}

void pressShortcut(bench::XTestKeyboard& keyboard, Clock::time_point& sent)
{
    keyboard.press("Control_L");
    keyboard.press("Shift_L");
    sent = Clock::now();
    keyboard.press("space");  // the grab fires on this key
    keyboard.release("space");
    keyboard.release("Shift_L");
    keyboard.release("Control_L");
}

struct Sample {
    double pressToFirstBlock = 0;
    double pressToRecordingStarted = 0;
    double stopToPaste = 0;
    double stopToField = 0;
    double whisper = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int run(const Options& options)
{
    testing::DictationDesktop desktop("Meet me at noon.");
    testing::TempHome home;
    const auto generating = Clock::now();
    const testing::CatalogueModel model("figures", options.recipe, home.path(), false);
    std::printf("model: scripted, state %d, heads %d, %d audio and %d text layers; generated in %.1f s\n",
                options.recipe.state, options.recipe.audioHeads, options.recipe.audioLayers, options.recipe.textLayers,
                millisecondsBetween(generating, Clock::now()) / 1000.0);

    // A Wayland session: the portal is the session bus from here on, and DISPLAY stands in for XWayland.
    std::unique_ptr<testing::PortalTestBus> portal;
    std::vector<std::unique_ptr<testing::ScopedEnvironment>> session;
    if (options.portal) {
        portal = std::make_unique<testing::PortalTestBus>();
        session.push_back(std::make_unique<testing::ScopedEnvironment>("XDG_SESSION_TYPE", "wayland"));
        session.push_back(std::make_unique<testing::ScopedEnvironment>("WAYLAND_DISPLAY", "wayland-figures"));
        session.push_back(std::make_unique<testing::ScopedEnvironment>("XDG_CURRENT_DESKTOP", "KDE"));
    }
    const auto launched = Clock::now();
    testing::RunningKorvane app(home.path(), R"({"debugLogging": true})", model.catalogueFile());
    const Clock::time_point loaded = arrivalOf(app, "Model loaded: figures", 0, 600s);
    arrivalOf(app, options.portal ? "Portal shortcut bound" : "Carbon hotkey registered", 0, 10s);
    std::printf("model file: %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(
                                               home.path() / ".local/share/Korvane/models/ggml-figures.bin")));
    std::printf("start to model loaded: %.0f ms\n", millisecondsBetween(launched, loaded));

    testing::FieldsClient client(testing::FieldsClient::Toolkit::qt);
    client.activate();
    client.focus("single");

    // Idle: nothing happens on the desktop; the model is loaded and the shortcut grabbed.
    std::this_thread::sleep_for(2s);
    const testing::ProcessActivity idleStart = testing::readProcessActivity(app.pid());
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    const testing::ProcessActivity idleEnd = testing::readProcessActivity(app.pid());
    const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
    std::printf("since start: CPU %.0f ms, %lld context switches\n",
                static_cast<double>(idleStart.cpuTicks) * 1000.0 / ticksPerSecond, idleStart.contextSwitches);
    const double cpuMs = static_cast<double>(idleEnd.cpuTicks - idleStart.cpuTicks) * 1000.0 / ticksPerSecond;
    std::printf("idle %d s: CPU %.0f ms (%.2f %%), %lld context switches (%.1f wake-ups/s), VmRSS %lld KiB\n",
                options.idleSeconds, cpuMs, cpuMs / (options.idleSeconds * 10.0),
                idleEnd.contextSwitches - idleStart.contextSwitches,
                static_cast<double>(idleEnd.contextSwitches - idleStart.contextSwitches) / options.idleSeconds,
                idleEnd.residentKiB);

    bench::XTestKeyboard keyboard;
    // A Wayland session leaves the transcript on the clipboard: the figure ends with the recogniser.
    const char* const stopFigure = portal ? "stop to transcribed" : "stop to paste sent";
    std::vector<Sample> samples;
    for (int round = 0; round < options.dictations; ++round) {
        client.clear("single");
        const std::size_t before = app.lineCount();
        Sample sample;
        Clock::time_point pressed;
        const auto press = [&](Clock::time_point& sent) {
            if (portal) {
                sent = Clock::now();
                portal->activate("dictation");
                portal->deactivate("dictation");
            } else {
                pressShortcut(keyboard, sent);
            }
        };
        press(pressed);
        sample.pressToRecordingStarted = millisecondsBetween(pressed, arrivalOf(app, "Recording started", before, 10s));
        sample.pressToFirstBlock =
            millisecondsBetween(pressed, arrivalOf(app, "First audio block captured", before, 10s));
        desktop.speak();
        Clock::time_point stopped;
        press(stopped);
        const Clock::time_point sending = arrivalOf(app, "to whisper", before, 60s);
        const Clock::time_point transcribed = arrivalOf(app, "Transcription complete", before, 600s);
        const Clock::time_point pasted = portal ? transcribed : arrivalOf(app, "Paste sent to", before, 60s);
        sample.whisper = millisecondsBetween(sending, transcribed);
        sample.stopToPaste = millisecondsBetween(stopped, pasted) - sample.whisper;
        if (!portal) {
            while (client.text("single") != "Meet me at noon.") {
                if (Clock::now() - pasted > 10s) {
                    throw std::runtime_error("the text never reached the field:\n" + app.output());
                }
                std::this_thread::sleep_for(1ms);
            }
            sample.stopToField = millisecondsBetween(stopped, Clock::now()) - sample.whisper;
        }
        std::printf("dictation %d: press to recording started %.1f ms, to first audio block %.1f ms; "
                    "%s %.1f ms, to text in the field %.1f ms, without whisper (whisper %.0f ms)\n",
                    round + 1, sample.pressToRecordingStarted, sample.pressToFirstBlock, stopFigure, sample.stopToPaste,
                    sample.stopToField, sample.whisper);
        samples.push_back(sample);
        std::this_thread::sleep_for(2s);  // the clipboard restore and the indicator's fade
    }
    const auto medianOf = [&](double Sample::*field) {
        std::vector<double> values;
        for (const Sample& sample : samples) {
            values.push_back(sample.*field);
        }
        return median(values);
    };
    std::printf("median of %d: press to first audio block %.1f ms; %s without whisper %.1f ms; stop to text in the "
                "field without whisper %.1f ms; whisper %.0f ms\n",
                options.dictations, medianOf(&Sample::pressToFirstBlock), stopFigure, medianOf(&Sample::stopToPaste),
                medianOf(&Sample::stopToField), medianOf(&Sample::whisper));
    const testing::ProcessActivity after = testing::readProcessActivity(app.pid());
    std::printf("VmRSS after dictating: %lld KiB\n", after.residentKiB);
    std::printf("field: \"%s\"\n", client.text("single").c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "app_figures: %s\n", error.what());
        return 1;
    }
}
