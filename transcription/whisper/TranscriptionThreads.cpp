#include "transcription/whisper/TranscriptionThreads.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

namespace korvane {
namespace {

bool parseNumber(std::string_view text, long& value)
{
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

std::optional<std::string> readPerformanceCoreList()
{
    std::ifstream in("/sys/devices/cpu_core/cpus");
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int activeProcessorCount()
{
    // The affinity mask is what this process may actually use (taskset, cgroup cpusets); the
    // online count is only the fallback when the mask cannot be read.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) {
            return count;
        }
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(std::min<long>(online, 1 << 16)) : 1;
}

}  // namespace

int cpuListCount(std::string_view list)
{
    while (!list.empty() && (list.back() == '\n' || list.back() == ' ')) {
        list.remove_suffix(1);
    }
    if (list.empty()) {
        return 0;
    }
    long total = 0;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const auto dash = item.find('-');
        long first = 0;
        long last = 0;
        if (dash == std::string_view::npos) {
            if (!parseNumber(item, first)) {
                return 0;
            }
            last = first;
        } else if (!parseNumber(item.substr(0, dash), first) || !parseNumber(item.substr(dash + 1), last) ||
                   last < first) {
            return 0;
        }
        total += last - first + 1;
        if (total > (1 << 16)) {
            return 0;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return static_cast<int>(total);
}

int transcriptionThreadsFor(std::optional<std::string_view> performanceCoreList, int activeProcessors)
{
    if (performanceCoreList) {
        const int performanceCores = cpuListCount(*performanceCoreList);
        if (performanceCores > 0) {
            return performanceCores;
        }
    }
    return std::max(activeProcessors - 1, 1);
}

int transcriptionThreads()
{
    static const int threads = [] {
        const auto list = readPerformanceCoreList();
        return transcriptionThreadsFor(list ? std::optional<std::string_view>(*list) : std::nullopt,
                                       activeProcessorCount());
    }();
    return threads;
}

}  // namespace korvane
