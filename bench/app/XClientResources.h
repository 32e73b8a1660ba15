#pragma once

#include <sys/types.h>

#include <cstdint>

namespace korvane::bench {

// What one process holds in the X server, over all of its connections: the server's own count of
// resources (windows, pixmaps, GCs, pictures, atoms' properties and the rest) and the bytes its
// pixmaps take. Read through the X-Resource extension, which knows each connection's process.
struct XClientResources {
    int connections = 0;
    std::uint64_t resources = 0;
    std::uint64_t pixmapBytes = 0;
};

// On $DISPLAY; throws when there is no server or it lacks X-Resource 1.2.
XClientResources xResourcesOf(pid_t pid);

}  // namespace korvane::bench
