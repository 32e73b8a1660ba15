#include "audio/capture/InputLevel.h"
#include "audio/capture/CaptureFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace korvane {
namespace {

TEST(InputLevel, MapsMinusSixtyToZeroDecibelsOntoZeroToOne)
{
    struct Case {
        float amplitude;  // of a constant block, so the RMS equals it
        float level;
    };
    const Case cases[] = {
        {1.0f, 1.0f},                             // full scale
        {2.0f, 1.0f},                             // beyond full scale still reads 1
        {std::pow(10.0f, -30.0f / 20.0f), 0.5f},  // -30 dBFS is half way
        {std::pow(10.0f, -6.0f / 20.0f), 0.9f},
        {0.001f, 0.0f},   // -60 dBFS
        {0.0001f, 0.0f},  // quieter
        {0.0f, 0.0f},
    };
    for (const Case& each : cases) {
        const std::vector<float> block(1365, each.amplitude);
        EXPECT_NEAR(inputLevel(block), each.level, 1e-4) << "amplitude " << each.amplitude;
    }
    const std::vector<float> alternating = {1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
    EXPECT_FLOAT_EQ(inputLevel(alternating), 1.0f);
}

TEST(InputLevel, ReadsSilenceForNothingOrGarbage)
{
    EXPECT_EQ(inputLevel({}), 0.0f);
    const std::vector<float> withNaN = {0.5f, std::numeric_limits<float>::quiet_NaN(), 0.5f};
    EXPECT_EQ(inputLevel(withNaN), 0.0f);
}

TEST(CaptureFormat, PrintsRatesWithAFractionalDigit)
{
    EXPECT_EQ(formatSampleRate(48000.0), "48000.0");
    EXPECT_EQ(formatSampleRate(44100.0), "44100.0");
    EXPECT_EQ(formatSampleRate(22050.5), "22050.5");
    EXPECT_EQ(formatSampleRate(0.0), "0.0");
}

}  // namespace
}  // namespace korvane
