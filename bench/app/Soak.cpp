// SPDX-License-Identifier: MIT
// A soak of the running application, not a test: hundreds of dictations in a row as a user makes
// them, on a private desktop with a tray host, a private sound server and a generated model that
// decodes a fixed phrase. The dictations take turns between a Qt field, a GTK field and a terminal
// (xterm, which takes its own paste keys), and the shortcut's mode alternates between toggle and
// hold in blocks. Before each dictation another application owns the clipboard with contents of
// one of several kinds (plain text, HTML with text, a 300 KB image sent in increments, a file
// list), different every time, so that a stale paste cannot pass for a right one.
//
// After each dictation it checks that the target holds exactly the transcript (the fields are
// emptied before; the terminal's received bytes grow by the transcript alone) and that every
// format of the user's clipboard comes back byte for byte. It prints Korvane's resident memory,
// open descriptors, threads and what it holds in the X server at the start, every 100 dictations
// and at the end. Exits 1 when a dictation went wrong.
#include "bench/app/WholeNumberOption.h"
#include "bench/app/XClientResources.h"
#include "bench/platform/XTestKeyboard.h"
#include "tests/support/TempHome.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/app/DictationRig.h"
#include "tests/support/desktop/FieldsClient.h"
#include "tests/support/desktop/TestClipboard.h"
#include "tests/support/models/GeneratedModels.h"

#include <nlohmann/json.hpp>

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
namespace fs = std::filesystem;

const std::string kRawPhrase = " Meet me at noon question mark (music)";
const std::string kTranscript = "Meet me at noon?";

struct Options {
    int dictations = 500;
    int reportEvery = 100;
    int modeBlock = 50;  // dictations in a row before the mode changes
};

Options parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) {
            throw std::invalid_argument("usage: korvane_soak [--dictations N] [--report-every N] [--mode-block N]");
        }
        const int value = bench::wholeNumberOption(arg, argv[++i]);
        if (arg == "--dictations") {
            options.dictations = value;
        } else if (arg == "--report-every") {
            options.reportEvery = value;
        } else if (arg == "--mode-block") {
            options.modeBlock = value;
        } else {
            throw std::invalid_argument("unknown option " + std::string(arg));
        }
    }
    return options;
}

// What Korvane holds at one moment.
struct Footprint {
    long long residentKiB = 0;
    int descriptors = 0;
    int threads = 0;
    bench::XClientResources x;
};

int entriesIn(const fs::path& folder)
{
    return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

Footprint footprintOf(int pid)
{
    const fs::path process = "/proc/" + std::to_string(pid);
    return Footprint{testing::readProcessActivity(pid).residentKiB, entriesIn(process / "fd"),
                     entriesIn(process / "task"), bench::xResourcesOf(pid)};
}

void print(const std::string& when, const Footprint& footprint)
{
    std::printf("%-18s RSS %7lld KiB  descriptors %3d  threads %2d  X: %d connections, %4ju resources, "
                "%7ju pixmap bytes\n",
                when.c_str(), footprint.residentKiB, footprint.descriptors, footprint.threads, footprint.x.connections,
                static_cast<std::uintmax_t>(footprint.x.resources),
                static_cast<std::uintmax_t>(footprint.x.pixmapBytes));
    std::fflush(stdout);
}

// Bytes that look like nothing a transcript could hold: a PNG signature, then a sequence that
// depends on `seed`, with NULs and high bytes throughout.
std::string imageBytes(int seed, std::size_t size)
{
    std::string bytes = "\x89PNG\r\n\x1a\n";
    std::uint32_t state = 2166136261u ^ static_cast<std::uint32_t>(seed);
    while (bytes.size() < size) {
        state = state * 1664525u + 1013904223u;
        bytes.push_back(static_cast<char>(state >> 24));
    }
    return bytes;
}

// The user's clipboard before dictation `number`: one of four kinds, each naming the dictation.
testing::ClipboardOwnerProcess::Formats clipboardFor(int number)
{
    const std::string n = std::to_string(number);
    switch (number % 4) {
    case 0:
        return {{"text/plain", "soak " + n + ": plain text, na\xc3\xafve caf\xc3\xa9"}};
    case 1:
        return {{"text/html", "<p>soak <b>" + n + "</b></p>"}, {"text/plain", "soak " + n + " as text"}};
    case 2:
        return {{"image/png", imageBytes(number, 300 * 1024)}};
    default:
        return {{"text/uri-list", "file:///tmp/soak-" + n + ".txt\r\n"},
                {"x-special/gnome-copied-files", "copy\nfile:///tmp/soak-" + n + ".txt"}};
    }
}

// xterm running a program that writes every byte the terminal hands it, raw, to a file.
class TerminalTarget {
public:
    explicit TerminalTarget(const fs::path& received)
        : received_(received), process_({"xterm", "-class", "XTerm", "-e", "sh", "-c",
                                         "stty raw -echo; exec cat > '" + received.string() + "'"})
    {
        const std::string found = testing::xdotool({"search", "--sync", "--onlyvisible", "--class", "^XTerm$"});
        window_ = found.substr(0, found.find('\n'));
    }

    void activate() const { testing::xdotool({"windowactivate", "--sync", window_}); }
    std::string received() const { return testing::readFile(received_); }

private:
    fs::path received_;
    testing::ChildProcess process_;
    std::string window_;
};

enum class Target { qt, gtk, terminal };

const char* nameOf(Target target)
{
    switch (target) {
    case Target::qt:
        return "Qt field";
    case Target::gtk:
        return "GTK field";
    default:
        return "terminal";
    }
}

// Changes "hotkeyMode" the way an editor does (a new file renamed over the old), keeping whatever
// else Korvane stored, and gives its settings watcher a moment to take it.
void setHotkeyMode(const fs::path& settingsFile, const std::string& mode)
{
    nlohmann::json document = nlohmann::json::parse(testing::readFile(settingsFile));
    document["hotkeyMode"] = mode;
    const fs::path written = settingsFile.string() + ".soak";
    testing::writeFile(written, document.dump(2));
    fs::rename(written, settingsFile);
    std::this_thread::sleep_for(1500ms);
}

std::string shown(std::string text)
{
    if (text.size() > 80) {
        text = text.substr(0, 80) + "...";
    }
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = '.';
        }
    }
    return "\"" + text + "\"";
}

void printGrowth(const std::string& from, const Footprint& earlier, const Footprint& later)
{
    std::printf("growth from %s to the end: RSS %+lld KiB, descriptors %+d, threads %+d, X resources %+lld, "
                "pixmap bytes %+lld\n",
                from.c_str(), later.residentKiB - earlier.residentKiB, later.descriptors - earlier.descriptors,
                later.threads - earlier.threads,
                static_cast<long long>(later.x.resources) - static_cast<long long>(earlier.x.resources),
                static_cast<long long>(later.x.pixmapBytes) - static_cast<long long>(earlier.x.pixmapBytes));
}

class Soak {
public:
    explicit Soak(const Options& options)
        : options_(options), desktop_("Meet me at noon."),
          model_("soak", testing::scriptedModel(kRawPhrase), home_.path(), false),
          app_(home_.path(),
               R"({"debugLogging": true, "hotkeyMode": "toggle", "automaticallyChecksForUpdates": false})",
               model_.catalogueFile()),
          terminal_(files_.path() / "received")
    {
        if (!app_.waitForLine("Model loaded: soak", 120s) || !app_.waitForLine("Carbon hotkey registered", 10s)) {
            throw std::runtime_error("Korvane did not get ready:\n" + app_.output());
        }
    }

    int run()
    {
        const Clock::time_point started = Clock::now();
        const Footprint first = footprintOf(app_.pid());
        print("start", first);
        std::string mode = "toggle";
        Footprint last = first;
        Footprint settled = first;
        for (int number = 1; number <= options_.dictations; ++number) {
            const std::string wanted = ((number - 1) / options_.modeBlock) % 2 == 0 ? "toggle" : "hold";
            if (wanted != mode) {
                mode = wanted;
                setHotkeyMode(home_.path() / ".config/korvane/settings.json", mode);
            }
            const Target target = static_cast<Target>((number - 1) % 3);
            if (const std::string problem = dictate(number, target, mode == "hold"); !problem.empty()) {
                failures_.push_back("dictation " + std::to_string(number) + " (" + nameOf(target) + ", " + mode +
                                    "): " + problem);
                std::printf("%s\n", failures_.back().c_str());
            }
            if (number == 1) {
                // The first dictation creates what every later one reuses (the recogniser's state,
                // the sound stream, the indicator's window), so growth is also counted from here.
                settled = footprintOf(app_.pid());
                print("after 1", settled);
            }
            if (number % options_.reportEvery == 0 || number == options_.dictations) {
                last = footprintOf(app_.pid());
                const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
                print("after " + std::to_string(number), last);
                std::printf("%18s %d correct, %zu wrong, %.2f s a dictation\n", "",
                            number - static_cast<int>(failures_.size()), failures_.size(), seconds / number);
                std::fflush(stdout);
            }
        }
        std::printf("\n%d dictations: %d correct (field or terminal held exactly the transcript and the clipboard "
                    "came back whole), %zu wrong\n",
                    options_.dictations, options_.dictations - static_cast<int>(failures_.size()), failures_.size());
        printGrowth("start", first, last);
        printGrowth("dictation 1", settled, last);
        return failures_.empty() ? 0 : 1;
    }

private:
    // One dictation into `target`; "" when it went right, otherwise what went wrong.
    std::string dictate(int number, Target target, bool hold)
    {
        testing::FieldsClient* field = target == Target::qt ? &qt_ : target == Target::gtk ? &gtk_ : nullptr;
        std::size_t terminalBefore = 0;
        if (field) {
            field->activate();
            field->focus("single");
            field->clear("single");
        } else {
            terminal_.activate();
            terminalBefore = terminal_.received().size();
        }
        owner_.reset();
        const testing::ClipboardOwnerProcess::Formats clipboard = clipboardFor(number);
        owner_ = std::make_unique<testing::ClipboardOwnerProcess>(clipboard);

        const std::size_t before = app_.lineCount();
        pressShortcut();
        if (!hold) {
            releaseShortcut();
        }
        if (!app_.waitForLine("Recording started", 10s, before)) {
            if (hold) {
                releaseShortcut();
            }
            return "the shortcut started no recording";
        }
        desktop_.speak();
        if (hold) {
            releaseShortcut();
        } else {
            pressShortcut();
            releaseShortcut();
        }
        const auto ended =
            app_.waitForAnyLine({"Status changed: pasteSent", "Status changed: copiedToClipboard",
                                 "Status changed: notDelivered", "Status changed: error", "Status changed: noSpeech"},
                                60s, before);
        if (!ended) {
            keyboard_.press("Escape");
            keyboard_.release("Escape");
            std::this_thread::sleep_for(2s);
            return "the dictation did not end within 60 s";
        }
        const std::string status = app_.line(*ended).text;
        if (status.find("pasteSent(" + std::to_string(kTranscript.size()) + ")") == std::string::npos) {
            return "ended with " + status;
        }

        std::string landed;
        const bool exact = testing::waitFor(
            [&] {
                landed = field ? field->text("single") : terminal_.received().substr(terminalBefore);
                return landed == kTranscript;
            },
            10s);
        if (!exact) {
            const std::string& userText = clipboard.front().second;
            const char* kind = landed.empty()                               ? "lost paste"
                               : landed.find(userText) != std::string::npos ? "stale paste (the user's clipboard)"
                                                                            : "wrong text";
            return std::string(kind) + ": the target holds " + shown(landed);
        }
        for (const auto& [mimeType, bytes] : clipboard) {
            std::optional<std::string> now;
            if (!testing::waitFor([&] { return (now = testing::readClipboard(mimeType)) == bytes; }, 10s)) {
                return "the clipboard's " + mimeType + " did not come back: " +
                       (now ? std::to_string(now->size()) + " bytes " + shown(*now) : "not offered");
            }
        }
        return "";
    }

    void pressShortcut()
    {
        keyboard_.press("Control_L");
        keyboard_.press("Shift_L");
        keyboard_.press("space");
    }

    void releaseShortcut()
    {
        keyboard_.release("space");
        keyboard_.release("Shift_L");
        keyboard_.release("Control_L");
    }

    Options options_;
    testing::DictationDesktop desktop_;
    testing::TempHome home_;
    testing::CatalogueModel model_;
    testing::RunningKorvane app_;
    testing::FieldsClient qt_{testing::FieldsClient::Toolkit::qt};
    testing::FieldsClient gtk_{testing::FieldsClient::Toolkit::gtk};
    testing::TemporaryDirectory files_{"korvane-soak"};
    TerminalTarget terminal_;
    bench::XTestKeyboard keyboard_;
    std::unique_ptr<testing::ClipboardOwnerProcess> owner_;
    std::vector<std::string> failures_;
};

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = parse(argc, argv);
        Soak soak(options);
        return soak.run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvane_soak: %s\n", error.what());
        return 2;
    }
}
