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
    // Every connection, then the process of each, as the server learnt it from the socket.
    int clientCount = 0;
    XResClient* rawClients = nullptr;
    if (!XResQueryClients(display.get(), &clientCount, &rawClients)) {
        throw std::runtime_error("X-Resource did not list the clients");
    }
    const std::unique_ptr<XResClient, XFreeDeleter> clients(rawClients);
    XClientResources held;
    for (int i = 0; i < clientCount; ++i) {
        const XID client = clients.get()[i].resource_base;
        XResClientIdSpec asked{client, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* ids = nullptr;
        if (XResQueryClientIds(display.get(), 1, &asked, &count, &ids) != Success) {
            continue;
        }
        const bool ours = count > 0 && XResGetClientPid(&ids[0]) == pid;
        XResClientIdsDestroy(count, ids);
        if (!ours) {
            continue;
        }
        ++held.connections;
        int types = 0;
        XResType* rawCounts = nullptr;
        // These two answer non-zero on success, as Xlib's requests do; the client ids above answer
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
    return held;
}

}  // namespace korvane::bench
