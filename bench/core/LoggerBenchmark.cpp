#include "base/logging/Logger.h"
#include "tests/support/TempHome.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

namespace korvane {
namespace {

// The normal case: logging is off and the call sits on the audio and transcription paths.
void BM_LoggerLogWhileOff(benchmark::State& state)
{
    Logger::setEnabled(false);
    for (auto _ : state) {
        Logger::log("Captured 4096 frames");
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LoggerLogWhileOff)->Repetitions(10)->ReportAggregatesOnly(true);

// With logging on: one line to standard error (sent to /dev/null here) and one append, with its
// open and close, to the log file under a temporary home.
void BM_LoggerLogWhileOn(benchmark::State& state)
{
    const testing::TempHome home;
    const int savedStderr = ::dup(STDERR_FILENO);
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(devNull, STDERR_FILENO);
    Logger::setEnabled(true);

    for (auto _ : state) {
        Logger::log("Captured 4096 frames");
    }

    Logger::setEnabled(false);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    ::close(devNull);
}
BENCHMARK(BM_LoggerLogWhileOn);

}  // namespace
}  // namespace korvane
