#include "base/scheduling/MainQueue.h"

#include <cstdio>
#include <cstdlib>

namespace korvane {

void requireMainThread(const MainQueue& queue, const char* operation)
{
    if (queue.isMainThread()) {
        return;
    }
    std::fprintf(stderr, "Korvane: fatal: %s must run on the main thread\n", operation);
    std::fflush(stderr);
    std::abort();
}

}  // namespace korvane
