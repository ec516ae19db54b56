// A track at other speeds on the recording output: the pitch stays, the
// length follows the factor, 1x is the decoder's own samples, and the
// position the clock reads is where the sound heard at the device lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <ostream>

#include "SoundTestSupport.h"

using namespace movarel;
using namespace soundtest;

namespace {

constexpr int kRate = 44100;
constexpr double kVideoFrame = 1.0 / 30;

class TrackSpeed : public TrackFixture {};

// A 1 kHz tone at each speed, set before the track opens or after: the same
// pitch, a length divided by the factor.
TEST_F(TrackSpeed, AToneKeepsItsPitchAndItsLengthFollowsTheFactor) {
    const struct {
        double factor;
        int channels;
        bool beforeOpen;
    } cases[] = {{1.5, 1, false}, {0.75, 1, true}, {1.5, 2, true}, {0.75, 2, false}, {2.0, 1, false},
                 {0.5, 2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.factor) + "x, " + std::to_string(c.channels) + " channels");
        std::string mp3 = MakeToneMp3(dir.path, "tone" + std::to_string(c.channels) + ".mp3", 2.0, kRate, c.channels,
                                      "-b 128", 1000.0);
        RecordingAudioOutput out;
        SoundTrack sound(out);
        if (c.beforeOpen)
            sound.SetSpeed(c.factor);
        sound.Open(mp3);
        if (!c.beforeOpen)
            sound.SetSpeed(c.factor);
        const int64_t length = sound.Length();
        sound.Start(0.0);
        const size_t played = out.PullAll();
        EXPECT_NEAR(static_cast<double>(played), static_cast<double>(length) / c.factor,
                    0.02 * static_cast<double>(length) / c.factor);
        const std::vector<int16_t> samples = out.Played();
        EXPECT_NEAR(MeasuredHertz(samples, c.channels, kRate, played / 10, played - played / 10), 1000.0, 10.0);
        EXPECT_GT(PeakOf(samples), 12000) << "the tone keeps its loudness";
    }
}

// At 1x nothing stands between the decoder and the output: after any other
// speed, a start and a change back mid-play give the reference decode's
// samples exactly.
TEST_F(TrackSpeed, AtNormalSpeedTheSamplesAreTheDecodersOwn) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0, kRate, 2, "-b 128", 1000.0);
    const std::vector<int16_t> reference = DecodeWhole(mp3);
    track.SetSpeed(1.5);
    track.Open(mp3);
    track.Start(0.3);
    output.PullAll(kRate / 4);
    track.SetSpeed(1.0);
    track.Start(0.0);
    output.Forget();
    output.PullAll();
    EXPECT_TRUE(output.Played() == reference) << "a start at 1x";

    // From 1.5x back to 1x while playing: the rest is the reference from
    // the position reached, sample for sample.
    track.SetSpeed(1.5);
    track.Start(0.25);
    output.PullAll(kRate / 2);
    const std::optional<double> at = track.PlayedSeconds();
    ASSERT_TRUE(at.has_value());
    const size_t from = static_cast<size_t>(std::llround(*at * kRate));
    track.SetSpeed(1.0);
    output.Forget();
    output.PullAll();
    const std::vector<int16_t> rest = output.Played();
    ASSERT_EQ(rest.size(), reference.size() - 2 * from);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), reference.begin() + static_cast<ptrdiff_t>(2 * from)))
        << "a change to 1x mid-play, from frame " << from;
}

struct PositionCase {
    const char* name;
    double factor;
    double fraction;    // where the track starts
    size_t held;        // frames the output holds before they are heard
    double thenFactor;  // a speed set mid-play, 0 for none
    bool pauseAndResume;
};

void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.name; }

class TrackPosition : public TrackFixture, public ::testing::WithParamInterface<PositionCase> {};

// The track is a tone that stops at about 1 s and silence after it. Pulled
// in device-sized steps, the position the track reports for the frame heard
// must step by the factor for every frame, and where the tone is heard to
// stop it must say the tone's end, within a video frame.
TEST_P(TrackPosition, FollowsTheSoundHeard) {
    const PositionCase& c = GetParam();
    std::string mp3 = MakeMp3(dir.path, "edge.mp3", "synth 1 sine 1000 vol 0.5 pad 0 1");
    const double toneEnd = static_cast<double>(LoudSpan(DecodeWhole(mp3)).end) / kRate;
    ASSERT_NEAR(toneEnd, 1.0, 0.01);
    output.SetHeldFrames(c.held);
    track.SetSpeed(c.factor);
    track.Open(mp3);
    const double length = static_cast<double>(track.Length());
    track.Start(c.fraction);
    ASSERT_TRUE(track.PlayedSeconds().has_value());
    EXPECT_NEAR(*track.PlayedSeconds(), c.fraction * length / kRate, 1e-9) << "at the start point at once";

    constexpr size_t kStep = 512;
    double factor = c.factor;
    bool changed = false;
    uint64_t settled = c.held + kStep;  // heard frames from which the steps are regular
    std::vector<std::pair<uint64_t, double>> heard;  // heard frames, position
    for (;;) {
        const size_t got = output.Pull(kStep);
        if (got < kStep)
            break;
        const uint64_t frames = output.HeardFrames();
        const std::optional<double> at = track.PlayedSeconds();
        ASSERT_TRUE(at.has_value());
        if (!heard.empty() && frames >= settled && heard.back().first + kStep == frames) {
            ASSERT_NEAR(*at - heard.back().second, kStep * factor / kRate, 1e-6) << "at " << frames;
        }
        heard.emplace_back(frames, *at);
        if (!changed && *at > 0.6) {
            changed = true;
            if (c.thenFactor > 0) {
                track.SetSpeed(c.thenFactor);
                factor = c.thenFactor;
            }
            if (c.pauseAndResume) {
                track.Pause();
                EXPECT_FALSE(track.PlayedSeconds().has_value()) << "paused";
                EXPECT_EQ(output.Pull(kStep), 0u);
                track.Start(*at * kRate / length);
                ASSERT_TRUE(track.PlayedSeconds().has_value());
                EXPECT_NEAR(*track.PlayedSeconds(), *at, 1.0 / kRate) << "resumed where it was";
            }
            settled = output.HeardFrames() + 2 * c.held + kStep;
        }
    }
    ASSERT_TRUE(changed);
    // The heard frame at which the tone stops, and what the track said there.
    const uint64_t stop = LoudSpan(output.Played()).end;
    auto after = std::find_if(heard.begin(), heard.end(), [&](const auto& h) { return h.first >= stop; });
    ASSERT_TRUE(after != heard.begin() && after != heard.end());
    const auto before = std::prev(after);
    const double said = before->second + (after->second - before->second) *
                                             static_cast<double>(stop - before->first) /
                                             static_cast<double>(after->first - before->first);
    EXPECT_NEAR(said, toneEnd, kVideoFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackPosition,
    ::testing::Values(PositionCase{"start_at_1_5x", 1.5, 0.25, 0, 0, false},
                      PositionCase{"start_at_1_5x_through_a_buffer", 1.5, 0.25, 2048, 0, false},
                      PositionCase{"slow", 0.75, 0.2, 1024, 0, false},
                      PositionCase{"normal", 1.0, 0.1, 1024, 0, false},
                      PositionCase{"pause_and_resume_at_1_5x", 1.5, 0.1, 1024, 0, true},
                      PositionCase{"from_1x_to_1_5x", 1.0, 0.0, 1024, 1.5, false},
                      PositionCase{"from_1_5x_to_0_75x", 1.5, 0.0, 2048, 0.75, false},
                      PositionCase{"from_2x_to_1x", 2.0, 0.0, 1024, 1.0, false}),
    [](const ::testing::TestParamInfo<PositionCase>& info) { return std::string(info.param.name); });

// No position while no sound is heard; a speed back in range plays on.
TEST_F(TrackSpeed, NoPositionWhileNothingIsHeard) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.0);
    EXPECT_FALSE(track.PlayedSeconds().has_value()) << "no track";
    track.Open(mp3);
    EXPECT_FALSE(track.PlayedSeconds().has_value()) << "not started";
    track.Start(0.5);
    EXPECT_TRUE(track.PlayedSeconds().has_value());
    for (double silent : {3.0, 0.25, 0.0, -1.0, std::nan("")}) {
        track.SetSpeed(silent);
        EXPECT_FALSE(track.PlayedSeconds().has_value()) << silent << "x";
        EXPECT_FALSE(output.Running()) << silent << "x";
        track.Start(0.5);
        EXPECT_FALSE(output.Running()) << "a start at " << silent << "x stays silent";
        EXPECT_EQ(output.Pull(512), 0u);
        track.SetSpeed(1.25);
        EXPECT_TRUE(output.Running()) << "back from " << silent << "x";
        ASSERT_TRUE(track.PlayedSeconds().has_value());
        EXPECT_NEAR(*track.PlayedSeconds(), 0.5, 1.0 / kRate) << "back from " << silent << "x";
    }
    track.Pause();
    EXPECT_FALSE(track.PlayedSeconds().has_value()) << "paused";
    track.Start(0.25);
    EXPECT_TRUE(track.PlayedSeconds().has_value());
    track.Stop();
    EXPECT_FALSE(track.PlayedSeconds().has_value()) << "stopped";

    RecordingAudioOutput silentOutput(false);
    SoundTrack sound(silentOutput);
    sound.Open(mp3);
    sound.Start(0.0);
    EXPECT_FALSE(sound.PlayedSeconds().has_value()) << "no device";
}

}  // namespace
