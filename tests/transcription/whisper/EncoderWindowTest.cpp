// SPDX-License-Identifier: MIT
// The adaptive encoder window for a recording of a given length.
#include "transcription/whisper/EncoderWindow.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>

namespace korvane {
namespace {

constexpr std::size_t kSecond = 16000;

TEST(EncoderWindow, CoversTheRecordingWithAMarginAndAFloorUpToTheStandardWindow)
{
    struct Case {
        std::size_t recording;
        std::optional<EncoderWindow> window;  // absent: the standard path
    };
    const Case cases[] = {
        {3 * kSecond, EncoderWindow{.samples = 10 * kSecond, .audioContext = 500}},  // the floor
        {8 * kSecond, EncoderWindow{.samples = 10 * kSecond, .audioContext = 500}},  // 8 + 2 is the floor
        {10 * kSecond, EncoderWindow{.samples = 12 * kSecond, .audioContext = 600}},
        // A part of an encoder position still needs the whole position.
        {10 * kSecond + 1, EncoderWindow{.samples = 192320, .audioContext = 601}},
        {27 * kSecond + 14400, EncoderWindow{.samples = 478400, .audioContext = 1495}},  // 27.9 s
        {28 * kSecond, std::nullopt},  // 28 + 2 is the standard window: nothing to save
        {31 * kSecond, std::nullopt},  // more than one window
        {600 * kSecond, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(adaptiveEncoderWindow(c.recording), c.window) << c.recording << " samples";
    }
}

}  // namespace
}  // namespace korvane
