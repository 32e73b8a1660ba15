#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace korvane {

// The samples of a WAV file as floats in [-1, 1], channels interleaved.
struct WavAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<float> interleaved;
};

// Reads a RIFF/WAVE file with 16-bit integer or 32-bit float samples (plain or extensible format
// header), any channel count, at 1 to 768 kHz. Float samples beyond [-1, 1] are clipped, and NaN or
// infinite ones read as silence. A data chunk shorter than its header says (a recording cut
// off) is read as far as it goes. Throws std::runtime_error naming what is wrong with the file.
WavAudio readWav(const std::filesystem::path& file);
WavAudio parseWav(std::string_view bytes);

// The average of the channels, resampled to 16 kHz with libsoxr's high-quality resampler.
std::vector<float> toMono16k(const WavAudio& audio);

}  // namespace korvane
