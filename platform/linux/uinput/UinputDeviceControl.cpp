#include "platform/linux/uinput/UinputDeviceControl.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace korvane {

namespace {

class SystemUinputControl final : public UinputDeviceControl {
public:
    bool enableEventType(int fd, int type) override { return ::ioctl(fd, UI_SET_EVBIT, type) == 0; }
    bool enableKey(int fd, int code) override { return ::ioctl(fd, UI_SET_KEYBIT, code) == 0; }
    bool describe(int fd, const uinput_setup& setup) override { return ::ioctl(fd, UI_DEV_SETUP, &setup) == 0; }
    bool create(int fd) override { return ::ioctl(fd, UI_DEV_CREATE) == 0; }
    void destroy(int fd) override { ::ioctl(fd, UI_DEV_DESTROY); }
    ssize_t write(int fd, const void* data, std::size_t size) override { return ::write(fd, data, size); }
};

}  // namespace

std::unique_ptr<UinputDeviceControl> systemUinputControl()
{
    return std::make_unique<SystemUinputControl>();
}

}  // namespace korvane
