#include "tools/transcribe/WavFile.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace korvane {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// Rates recorders write. Beyond them the resampling to 16 kHz grows absurdly: a 64 KB file
// claiming 1 Hz would need 2 GB.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;

std::uint32_t le32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::uint16_t le16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

}  // namespace

WavAudio parseWav(std::string_view bytes)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        throw std::runtime_error("not a RIFF/WAVE file");
    }
    std::uint16_t format = 0;
    std::uint16_t bits = 0;
    WavAudio audio;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t declared = le32(bytes, at + 4);
        const std::size_t body = at + 8;
        const std::size_t size = std::min(declared, bytes.size() - body);
        if (id == "fmt ") {
            if (size < 16) {
                throw std::runtime_error("format chunk too short");
            }
            format = le16(bytes, body);
            audio.channels = le16(bytes, body + 2);
            audio.sampleRate = static_cast<int>(le32(bytes, body + 4));
            bits = le16(bytes, body + 14);
            if (format == kFormatExtensible) {
                if (size < 26) {
                    throw std::runtime_error("extensible format chunk too short");
                }
                format = le16(bytes, body + 24);  // first two bytes of the sub-format GUID
            }
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) {
                throw std::runtime_error("data chunk before the format chunk");
            }
            if (audio.channels < 1 || audio.sampleRate < 1) {
                throw std::runtime_error("no channels or no sample rate");
            }
            if (audio.sampleRate < kLowestRate || audio.sampleRate > kHighestRate) {
                throw std::runtime_error("sample rate " + std::to_string(audio.sampleRate) + " Hz is outside " +
                                         std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) + " Hz");
            }
            const std::string_view data = bytes.substr(body, size);
            if (format == kFormatPcm && bits == 16) {
                audio.interleaved.resize(data.size() / 2);
                for (std::size_t i = 0; i < audio.interleaved.size(); ++i) {
                    const auto value = static_cast<std::int16_t>(le16(data, 2 * i));
                    audio.interleaved[i] = static_cast<float>(value) / 32768.0f;
                }
            } else if (format == kFormatFloat && bits == 32) {
                audio.interleaved.resize(data.size() / 4);
                for (std::size_t i = 0; i < audio.interleaved.size(); ++i) {
                    const std::uint32_t raw = le32(data, 4 * i);
                    float value = 0;
                    std::memcpy(&value, &raw, sizeof value);
                    // Float files may hold anything; the promise is [-1, 1], and NaN would poison every
                    // sum the recogniser makes.
                    audio.interleaved[i] = std::isfinite(value) ? std::clamp(value, -1.0f, 1.0f) : 0.0f;
                }
            } else {
                throw std::runtime_error("unsupported sample format " + std::to_string(format) + " with " +
                                         std::to_string(bits) + " bits (16-bit PCM or 32-bit float only)");
            }
            // A trailing partial frame cannot be split among the channels.
            audio.interleaved.resize(audio.interleaved.size() / static_cast<std::size_t>(audio.channels) *
                                     static_cast<std::size_t>(audio.channels));
            return audio;
        }
        if (declared > bytes.size() - body) {
            break;
        }
        at = body + declared + (declared & 1);  // chunks are padded to an even length
    }
    throw std::runtime_error(haveFormat ? "no data chunk" : "no format chunk");
}

WavAudio readWav(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + file.string());
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    try {
        return parseWav(contents.str());
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(file.string() + ": " + error.what());
    }
}

std::vector<float> toMono16k(const WavAudio& audio)
{
    const auto channels = static_cast<std::size_t>(audio.channels);
    const std::size_t frames = channels == 0 ? 0 : audio.interleaved.size() / channels;
    std::vector<float> mono(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) {
            sum += audio.interleaved[f * channels + c];
        }
        mono[f] = sum / static_cast<float>(channels);
    }
    if (audio.sampleRate == 16000 || frames == 0) {
        return mono;
    }

    const double ratio = 16000.0 / audio.sampleRate;
    std::vector<float> resampled(static_cast<std::size_t>(static_cast<double>(frames) * ratio) + 16);
    std::size_t produced = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_error_t error = soxr_oneshot(audio.sampleRate, 16000, 1, mono.data(), frames, nullptr, resampled.data(),
                                            resampled.size(), &produced, &io, &quality, nullptr);
    if (error) {
        throw std::runtime_error(std::string("resampling failed: ") + error);
    }
    resampled.resize(produced);
    return resampled;
}

}  // namespace korvane
