#include "bench/app/XClientResources.h"

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <memory>
#include <stdexcept>

namespace korvane::bench {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

struct XFreeDeleter {
    void operator()(void* data) const { XFree(data); }
};

}  // namespace

XClientResources xResourcesOf(pid_t pid)
{
    const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        throw std::runtime_error("no X server to count resources on");
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XResQueryExtension(display.get(), &eventBase, &errorBase) ||
        !XResQueryVersion(display.get(), &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        throw std::runtime_error("the X server lacks X-Resource 1.2");
    }
    // Every connection with its process, as the server learnt it from the socket.
    XResClientIdSpec everyClient{0, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display.get(), 1, &everyClient, &count, &ids) != Success) {
        throw std::runtime_error("X-Resource did not list the clients");
    }
    XClientResources held;
    for (long i = 0; i < count; ++i) {
        if (XResGetClientIdType(&ids[i]) != XRES_CLIENT_ID_PID || XResGetClientPid(&ids[i]) != pid) {
            continue;
        }
        const XID client = ids[i].spec.client;
        ++held.connections;
        int types = 0;
        XResType* rawCounts = nullptr;
        // These two answer non-zero on success, as Xlib's requests do; the client list above answers
        // Success (zero), as the newer requests of the extension do.
        if (XResQueryClientResources(display.get(), client, &types, &rawCounts) != 0) {
            const std::unique_ptr<XResType, XFreeDeleter> counts(rawCounts);
            for (int type = 0; type < types; ++type) {
                held.resources += counts.get()[type].count;
            }
        }
        unsigned long bytes = 0;
        if (XResQueryClientPixmapBytes(display.get(), client, &bytes) != 0) {
            held.pixmapBytes += bytes;
        }
    }
    XResClientIdsDestroy(count, ids);
    return held;
}

}  // namespace korvane::bench
