#pragma once

#include <linux/uinput.h>

#include <cstddef>
#include <memory>
#include <sys/types.h>

namespace korvane {

// Every call that reaches a uinput device: the ioctls that describe and create it, and the writes
// of its events. Tests stand in for it, since build machines have no /dev/uinput.
class UinputDeviceControl {
public:
    virtual ~UinputDeviceControl() = default;

    virtual bool enableEventType(int fd, int type) = 0;                     // UI_SET_EVBIT
    virtual bool enableKey(int fd, int code) = 0;                           // UI_SET_KEYBIT
    virtual bool describe(int fd, const uinput_setup& setup) = 0;           // UI_DEV_SETUP
    virtual bool create(int fd) = 0;                                        // UI_DEV_CREATE
    virtual void destroy(int fd) = 0;                                       // UI_DEV_DESTROY
    virtual ssize_t write(int fd, const void* data, std::size_t size) = 0;  // errno set when < 0
};

// The kernel's: ioctl() and write().
std::unique_ptr<UinputDeviceControl> systemUinputControl();

}  // namespace korvane
