// The volume slider's percent, the gain it sets on the output, and the gain
// applied to the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/RecordingAudioOutput.h"
#include "sound/Volume.h"

using namespace movarel;

namespace {

TEST(Volume, PercentIsClampedAndTruncatedIntoBothChannels) {
    struct Case {
        float percent;
        uint32_t level;
    } cases[] = {
        {150.0f, 65535}, {100.0f, 65535}, {50.0f, 32767}, {0.0f, 0}, {-5.0f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0}, {std::numeric_limits<float>::infinity(), 65535},
        {-std::numeric_limits<float>::infinity(), 0}, {0.001f, 0}, {99.999f, 65534},
    };
    RecordingAudioOutput output;
    for (const Case& c : cases) {
        output.SetVolume(0x12345678);
        SetVolumePercent(output, c.percent);
        EXPECT_EQ(output.Volume(), c.level | (c.level << 16)) << c.percent;
    }
}

TEST(Volume, PercentIsTheAverageOfBothChannels) {
    struct Case {
        uint32_t value;
        float percent;
    } cases[] = {{0xFFFFFFFFu, 100.0f}, {0, 0.0f}, {0x0000FFFFu, 50.0f}, {0x7FFF7FFFu, 49.9992f}};
    RecordingAudioOutput output;
    for (const Case& c : cases) {
        output.SetVolume(c.value);
        EXPECT_NEAR(GetVolumePercent(output), c.percent, 0.0001f) << std::hex << c.value;
    }
}

TEST(Volume, GainScalesEachChannel) {
    int16_t stereo[4] = {1000, 1000, -32768, 32767};
    ApplyGain(stereo, 4, 2, 0x0000FFFFu);  // left full, right silent
    EXPECT_EQ(stereo[0], 1000);
    EXPECT_EQ(stereo[1], 0);
    EXPECT_EQ(stereo[2], -32768);
    EXPECT_EQ(stereo[3], 0);
    int16_t mono[3] = {32767, -32768, 2};
    ApplyGain(mono, 3, 1, 0x7FFF7FFFu);
    EXPECT_EQ(mono[0], 16383);
    EXPECT_EQ(mono[1], -16383);
    EXPECT_EQ(mono[2], 0);
}

}  // namespace
