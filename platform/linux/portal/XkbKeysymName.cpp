#include "platform/linux/portal/XkbKeysymName.h"

#include <xkbcommon/xkbcommon.h>

#include <array>

namespace korvane {

std::string xkbKeysymName(std::uint32_t keysym)
{
    std::array<char, 64> name{};
    const int length = xkb_keysym_get_name(keysym, name.data(), name.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= name.size()) {
        return {};
    }
    // xkbcommon writes unnamed keysyms as hexadecimal numbers, which no trigger reads.
    const std::string written(name.data(), static_cast<std::size_t>(length));
    return written.rfind("0x", 0) == 0 ? std::string() : written;
}

}  // namespace korvane
