// SPDX-License-Identifier: MIT
// Feeds arbitrary lines to the running instance's request reader, as another local program could
// write them to its socket. A line it accepts names a request and carries only tokens that are
// usable, and the line written for that message reads back as the same message. Any breach aborts.

#include "app/CommandLine.h"
#include "tests/fuzz/FuzzChecks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using korvane::fuzz::require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line = korvane::fuzz::textOf(data, size);
    if (const auto request = korvane::parseRequestWord(line)) {
        require(korvane::requestWord(*request) == line);
    }
    const auto message = korvane::parseRequestLine(line);
    if (!message) {
        return 0;
    }
    const std::string written = korvane::requestLine(*message);
    require(written.find('\n') == std::string::npos && korvane::fuzz::printable(written));
    require(korvane::parseRequestLine(written) == message);
    return 0;
}
