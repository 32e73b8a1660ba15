#pragma once

#include <optional>
#include <string_view>

namespace korvane {

// How many threads whisper.cpp decodes with: the performance cores only, so that efficiency cores
// do not hold back every step of the decoder. Computed once per process.
int transcriptionThreads();

// The rule behind transcriptionThreads(): the number of CPUs in the kernel's list of performance
// cores (the text of /sys/devices/cpu_core/cpus, present on hybrid CPUs) when it names at least one;
// otherwise the processors this process may run on minus one (one is left to the desktop), at
// least 1.
int transcriptionThreadsFor(std::optional<std::string_view> performanceCoreList, int activeProcessors);

// The number of CPUs in a kernel CPU list such as "0-7,16-23"; 0 when the text is not such a list.
int cpuListCount(std::string_view list);

}  // namespace korvane
