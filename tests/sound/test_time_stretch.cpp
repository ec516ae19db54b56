// Sound at other speeds: the pitch of a tone stays where it was, the length
// follows the factor, and at 1x the samples come out exactly as they went in.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "SoundTestSupport.h"
#include "sound/TimeStretch.h"

using namespace movarel;

namespace {

constexpr int32_t kRate = 44100;

std::vector<int16_t> Tone(double hertz, double seconds, int32_t channels) {
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        const double v = 12000.0 * std::sin(2.0 * std::numbers::pi * hertz * static_cast<double>(i) / kRate);
        for (int32_t c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = static_cast<int16_t>(std::lrint(v));
    }
    return samples;
}

// Feeds the whole input in refill-sized pieces, as an audio callback would,
// and collects everything that comes out.
std::vector<int16_t> Stretch(const std::vector<int16_t>& input, int32_t channels, double factor) {
    TimeStretch stretch(kRate, channels);
    stretch.SetFactor(factor);
    std::vector<int16_t> output;
    std::vector<int16_t> piece(1024 * static_cast<size_t>(channels));
    const size_t frames = input.size() / static_cast<size_t>(channels);
    auto drain = [&] {
        while (size_t got = stretch.Take(piece.data(), 1024))
            output.insert(output.end(), piece.begin(), piece.begin() + static_cast<long>(got) * channels);
    };
    for (size_t at = 0; at < frames; at += 1024) {
        const size_t n = std::min<size_t>(1024, frames - at);
        stretch.Put(input.data() + at * static_cast<size_t>(channels), n);
        drain();
    }
    stretch.Flush();
    drain();
    return output;
}

// The tone's frequency over the middle of the signal (the ends hold the
// stretcher's ramps).
double MeasuredHertz(const std::vector<int16_t>& samples, int32_t channels) {
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    return soundtest::MeasuredHertz(samples, channels, kRate, frames / 10, frames - frames / 10);
}

}  // namespace

TEST(TimeStretch, AToneKeepsItsPitchAndTakesTheTimeTheFactorGives) {
    const double seconds = 4.0;
    for (int32_t channels : {1, 2}) {
        const std::vector<int16_t> tone = Tone(1000.0, seconds, channels);
        for (double factor : {0.5, 0.75, 1.25, 1.5, 2.0}) {
            const std::vector<int16_t> out = Stretch(tone, channels, factor);
            const double played = static_cast<double>(out.size() / static_cast<size_t>(channels)) / kRate;
            EXPECT_NEAR(played, seconds / factor, 0.02 * seconds / factor)
                << channels << " channels at " << factor << "x";
            EXPECT_NEAR(MeasuredHertz(out, channels), 1000.0, 10.0) << channels << " channels at " << factor << "x";
        }
    }
}

TEST(TimeStretch, AtNormalSpeedTheSamplesPassUntouched) {
    std::vector<int16_t> noise(2 * 5000);
    uint32_t seed = 12345;
    for (int16_t& s : noise) {
        seed = seed * 1103515245u + 12345u;
        s = static_cast<int16_t>(seed >> 16);
    }
    EXPECT_EQ(Stretch(noise, 2, 1.0), noise);

    // Back to 1x after another speed: what comes out is again the input itself.
    TimeStretch stretch(kRate, 2);
    stretch.SetFactor(1.5);
    stretch.Put(noise.data(), 1000);
    stretch.SetFactor(1.0);
    EXPECT_EQ(stretch.ReadyFrames(), 0u) << "a speed change drops what was fed before it";
    stretch.Put(noise.data(), 5000);
    std::vector<int16_t> out(noise.size());
    ASSERT_EQ(stretch.Take(out.data(), 5000), 5000u);
    EXPECT_EQ(out, noise);
    EXPECT_EQ(stretch.UnprocessedInputFrames(), 0u);
}

TEST(TimeStretch, FactorsOutsideTheRangeAreHeldToIt) {
    TimeStretch stretch(kRate, 2);
    const struct {
        double asked, kept;
    } cases[] = {{0.1, 0.5}, {10.0, 2.0}, {NAN, 1.0}, {1.75, 1.75}};
    for (const auto& c : cases) {
        stretch.SetFactor(c.asked);
        EXPECT_EQ(stretch.Factor(), c.kept) << c.asked;
    }
    EXPECT_FALSE(TimeStretch::Stretchable(0.25));
    EXPECT_TRUE(TimeStretch::Stretchable(0.5));
    EXPECT_TRUE(TimeStretch::Stretchable(2.0));
    EXPECT_FALSE(TimeStretch::Stretchable(3.0));
}
