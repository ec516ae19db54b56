// The track through SDL end to end: SDL's disk driver writes what the device
// would play to a file, which is read back; and a machine without a driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "SoundTestSupport.h"
#include "platform/SdlAudioOutput.h"
#include "sound/Volume.h"

using namespace movarel;
using namespace soundtest;

namespace {

constexpr int kRate = 44100;

class SdlOutput : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveEncoder())
            GTEST_SKIP() << "sox and lame are needed to make test sounds";
        const char* driver = std::getenv("SDL_AUDIODRIVER");
        savedDriver = driver != nullptr ? driver : "";
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", savedDriver.c_str(), 1); }

    // Plays the track from fraction at the volume percent through the disk
    // driver until the file stops growing, and returns what the device got.
    std::vector<int16_t> PlayOnDisk(const std::string& mp3, double fraction, float percent) {
        std::string disk = dir.path + "played" + std::to_string(plays++) + ".raw";
        UseDiskAudio(disk);
        SdlAudioOutput output;
        SoundTrack track(output);
        EXPECT_TRUE(output.HasDevice());
        SetVolumePercent(output, percent);
        track.Open(mp3);
        track.Start(fraction);
        // The output plays silence after the track; wait until the tone is
        // there and a little more has gone by.
        const size_t expected = static_cast<size_t>((1.0 - fraction) * 2.0 * kRate);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (LoudSpan(ReadSamples(disk), 500).length() + 2000 < expected &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        track.Stop();  // closing the output flushes the driver's file
        return ReadSamples(disk);
    }

    TestDir dir;
    MessageRecorder messages;
    std::string savedDriver;
    int plays = 0;
};

TEST_F(SdlOutput, TheDevicePlaysTheTrackFromItsStartPointAtItsVolume) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    std::vector<int16_t> full = PlayOnDisk(mp3, 0.5, 100.0f);
    EXPECT_NEAR(static_cast<double>(LoudSpan(full).length()), 1.0 * kRate, 200.0);
    EXPECT_GT(PeakOf(full), 14000);
    std::vector<int16_t> half = PlayOnDisk(mp3, 0.5, 50.0f);
    EXPECT_NEAR(PeakOf(half), PeakOf(full) * 32767 / 65535, 1);
    EXPECT_TRUE(messages.Messages().empty());
}

// At 1.5x through the disk driver paced in real time: a 1 kHz tone of 1.5 s
// is heard for 1 s at the same pitch, and the position the clock reads moves
// on through the track while it plays.
TEST_F(SdlOutput, TheDevicePlaysATrackFasterAtItsPitch) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.5, kRate, 1, "-b 128", 1000.0);
    std::string disk = dir.path + "fast.raw";
    UseDiskAudio(disk, -1);
    SdlAudioOutput output;
    SoundTrack track(output);
    track.Open(mp3);
    track.SetSpeed(1.5);
    const size_t expected = kRate;  // 1.5 s at 1.5x
    track.Start(0.0);
    std::vector<double> positions;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (LoudSpan(ReadSamples(disk), 500).length() + 2000 < expected && std::chrono::steady_clock::now() < deadline) {
        if (std::optional<double> at = track.PlayedSeconds())
            positions.push_back(*at);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    track.Stop();
    EXPECT_FALSE(track.PlayedSeconds().has_value());
    const std::vector<int16_t> played = ReadSamples(disk);
    const Span tone = LoudSpan(played);
    EXPECT_NEAR(static_cast<double>(tone.length()), static_cast<double>(expected), 0.02 * expected);
    EXPECT_NEAR(MeasuredHertz(played, 1, kRate, tone.begin + tone.length() / 10, tone.end - tone.length() / 10),
                1000.0, 10.0);
    ASSERT_GT(positions.size(), 10u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "the position never goes back";
    EXPECT_LT(positions.front(), 0.3);
    EXPECT_GT(positions.back(), 1.0);
    EXPECT_LE(positions.back(), 1.5);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SdlOutput, WithoutAnAudioDriverTheTrackIsSilentAndTheUserIsToldOnce) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.3);
    UseNoAudio();
    SdlAudioOutput output;
    SoundTrack track(output);
    EXPECT_FALSE(output.HasDevice());
    for (int segment = 0; segment < 2; ++segment) {
        track.Stop();
        track.Open(mp3);
        track.Start(0.0);
        track.Pause();
    }
    auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("without sound"), std::string::npos);
}

}  // namespace
