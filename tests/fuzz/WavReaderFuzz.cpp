// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the WAV reader. It must throw std::runtime_error with a reason or give
// audio at a supported rate whose samples are whole frames, finite and within [-1, 1], and no more
// of them than the input's bytes can hold: a header's claims never size an allocation. Any breach
// aborts.

#include "tests/fuzz/FuzzChecks.h"
#include "tools/transcribe/WavFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using korvane::fuzz::require;
    korvane::WavAudio audio;
    try {
        audio = korvane::parseWav(korvane::fuzz::textOf(data, size));
    } catch (const std::runtime_error& error) {
        require(std::string(error.what()).size() > 0);
        return 0;
    }
    require(audio.sampleRate >= 1000 && audio.sampleRate <= 768000);
    require(audio.channels >= 1);
    require(audio.interleaved.size() % static_cast<std::size_t>(audio.channels) == 0);
    // Two bytes per sample at the least (16-bit integers).
    require(audio.interleaved.size() <= size / 2);
    for (const float sample : audio.interleaved) {
        require(std::isfinite(sample) && sample >= -1.0f && sample <= 1.0f);
    }
    return 0;
}
