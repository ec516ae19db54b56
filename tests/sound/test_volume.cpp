// The volume slider's operations and the device gain they set.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/WaveOut.h"
#include "sound/UqxSound.h"

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
    for (const Case& c : cases) {
        WaveOutSetVolume(0x12345678);
        SetVolumePercent(c.percent);
        EXPECT_EQ(WaveOutGetVolume(), c.level | (c.level << 16)) << c.percent;
    }
    WaveOutSetVolume(0xFFFFFFFFu);
}

TEST(Volume, PercentIsTheAverageOfBothChannels) {
    struct Case {
        uint32_t value;
        float percent;
    } cases[] = {{0xFFFFFFFFu, 100.0f}, {0, 0.0f}, {0x0000FFFFu, 50.0f}, {0x7FFF7FFFu, 49.9992f}};
    for (const Case& c : cases) {
        WaveOutSetVolume(c.value);
        EXPECT_NEAR(GetVolumePercent(), c.percent, 0.0001f) << std::hex << c.value;
    }
    WaveOutSetVolume(0xFFFFFFFFu);
}

TEST(Volume, GainScalesEachChannel) {
    WaveOutSetVolume(0x0000FFFFu);  // left full, right silent
    int16_t stereo[4] = {1000, 1000, -32768, 32767};
    ApplyDeviceGain(stereo, 4, 2);
    EXPECT_EQ(stereo[0], 1000);
    EXPECT_EQ(stereo[1], 0);
    EXPECT_EQ(stereo[2], -32768);
    EXPECT_EQ(stereo[3], 0);
    WaveOutSetVolume(0x7FFF7FFFu);
    int16_t mono[3] = {32767, -32768, 2};
    ApplyDeviceGain(mono, 3, 1);
    EXPECT_EQ(mono[0], 16383);
    EXPECT_EQ(mono[1], -16383);
    EXPECT_EQ(mono[2], 0);
    WaveOutSetVolume(0xFFFFFFFFu);
}

}  // namespace
