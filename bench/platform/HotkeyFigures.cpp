// SPDX-License-Identifier: MIT
// Prints the hotkey figures under a private desktop: the time from an XTest key press to the
// shortcut's callback on the main thread, and the CPU a running chord watch costs while someone
// types. Figures, not a test.
#include "bench/platform/XTestKeyboard.h"
#include "hotkeys/HotkeyBackendFactory.h"
#include "platform/linux/QtMainQueue.h"
#include "platform/linux/x11/InputPermission.h"
#include "platform/linux/x11/X11Connection.h"
#include "platform/linux/x11/X11HotkeyBackends.h"
#include "tests/support/desktop/DesktopSession.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using namespace korvane;
using Clock = std::chrono::steady_clock;

double cpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

// Runs the event loop, sleeping until events come, until `done` holds.
void runUntil(const std::function<bool()>& done)
{
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Runs the event loop for `seconds`.
void runFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

void pressLatency(HotkeyBackendFactory& factory)
{
    int presses = 0;
    int releases = 0;
    Clock::time_point pressedAt;
    Clock::time_point calledAt;
    const auto backend = factory.make(HotkeyBinding::fallback(), [&](HotkeyEvent event) {
        if (event == HotkeyEvent::pressed) {
            calledAt = Clock::now();
            ++presses;
        } else {
            ++releases;
        }
    });
    backend->start();
    bench::XTestKeyboard keyboard;
    std::vector<double> samples;
    for (int round = 0; round < 110; ++round) {
        keyboard.press("Control_L");
        keyboard.press("Shift_L");
        pressedAt = Clock::now();
        keyboard.press("space");
        runUntil([&] { return presses == round + 1; });
        if (round >= 10) {  // the first rounds warm caches and the server's key state
            samples.push_back(std::chrono::duration<double, std::milli>(calledAt - pressedAt).count());
        }
        keyboard.release("space");
        keyboard.release("Shift_L");
        keyboard.release("Control_L");
        runUntil([&] { return releases == round + 1; });
    }
    std::sort(samples.begin(), samples.end());
    std::printf("⌃⇧Space, XTest press to callback on the main thread: median %.3f ms, 90th percentile %.3f ms, "
                "worst %.3f ms (%zu presses)\n",
                samples[samples.size() / 2], samples[samples.size() * 9 / 10], samples.back(), samples.size());
}

void chordWatchCpu(HotkeyBackendFactory& factory)
{
    const auto backend = factory.make(HotkeyBinding::modifierChord({ChordModifier::function, ChordModifier::option}),
                                      [](HotkeyEvent) {});
    if (!backend->start()) {
        std::puts("the chord backend did not start");
        return;
    }
    constexpr double kSeconds = 20.0;
    const double idleStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    runFor(5.0);
    const double idle = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - idleStart;

    std::atomic<bool> typing = true;
    std::atomic<int> typed = 0;
    std::thread typist([&] {
        bench::XTestKeyboard keyboard;
        const char* keys[] = {"h", "e", "l", "l", "o", "space", "w", "o", "r", "l", "d", "Return"};
        auto next = Clock::now();
        for (int i = 0; typing; ++i) {
            // Every tenth key a capital, so the modifier set changes as it does in real typing.
            const bool capital = i % 10 == 0;
            if (capital) {
                keyboard.press("Shift_L");
            }
            keyboard.press(keys[i % 12]);
            keyboard.release(keys[i % 12]);
            if (capital) {
                keyboard.release("Shift_L");
            }
            ++typed;
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
        }
    });
    const double mainStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto wallStart = Clock::now();
    runFor(kSeconds);
    const double main = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    typing = false;
    typist.join();
    std::printf("🌐⌥ chord watch running, main thread CPU: idle %.3f %% of one core; while typing %.1f keys/s "
                "%.3f %% of one core (%.2f ms CPU in %.1f s)\n",
                idle / 5.0 * 100.0, typed / wall, main / wall * 100.0, main * 1000.0, wall);
}

}  // namespace

int main(int argc, char** argv)
{
    testing::DesktopSession session(testing::DesktopSession::Options{false, true, 1280, 800});
    QGuiApplication application(argc, argv);
    auto connection = X11Connection::open();
    InputPermission permission(connection.get());
    auto queue = std::make_shared<QtMainQueue>(&application);
    auto factory = makeX11HotkeyBackendFactory(*connection, permission, queue, [](std::string_view) {});
    pressLatency(*factory);
    chordWatchCpu(*factory);
    return 0;
}
