#include "SoundTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace soundtest {

using namespace movarel;

bool HaveEncoder() {
    static const bool have = std::system("command -v sox >/dev/null 2>&1 && command -v lame >/dev/null 2>&1") == 0;
    return have;
}

namespace {

std::string Encode(const std::string& dir, const std::string& name, const std::string& soxEffects, int rate,
                   int channels, const std::string& extraLame) {
    std::string wav = dir + name + ".wav";
    std::string mp3 = dir + name;
    std::string sox = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " '" + wav +
                      "' " + soxEffects;
    std::string lame = "lame --quiet " + extraLame + " '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(std::system(sox.c_str()), 0) << sox;
    EXPECT_EQ(std::system(lame.c_str()), 0) << lame;
    std::filesystem::remove(wav);
    return mp3;
}

}  // namespace

std::string MakeToneMp3(const std::string& dir, const std::string& name, double seconds, int rate, int channels,
                        const std::string& extraLame, double hertz) {
    return Encode(dir, name, "synth " + std::to_string(seconds) + " sine " + std::to_string(hertz) + " vol 0.5",
                  rate, channels, extraLame);
}

std::string MakeMp3(const std::string& dir, const std::string& name, const std::string& soxEffects, int rate,
                    int channels) {
    return Encode(dir, name, soxEffects, rate, channels, "-b 128");
}

std::vector<int16_t> DecodeWhole(const std::string& file) {
    RecordingAudioOutput output;
    SoundTrack track(output);
    track.Open(file);
    track.Start(0.0);
    output.PullAll();
    return output.Played();
}

void UseDiskAudio(const std::string& file, int delayMs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (delayMs >= 0)
        setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
    else
        unsetenv("SDL_DISKAUDIODELAY");
}

void UseNoAudio() { setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1); }

std::vector<int16_t> ReadSamples(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty())
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

Span LoudSpan(const std::vector<int16_t>& samples, int threshold) {
    Span span;
    bool found = false;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int{samples[i]}) > threshold) {
            if (!found)
                span.begin = i;
            found = true;
            span.end = i + 1;
        }
    }
    return span;
}

int PeakOf(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(int{s}));
    return peak;
}

double MeasuredHertz(const std::vector<int16_t>& samples, int channels, int rate, size_t begin, size_t end) {
    const size_t step = static_cast<size_t>(channels);
    end = std::min(end, samples.size() / step);
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[(i - 1) * step] < 0 && samples[i * step] >= 0) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0.0;
    return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

void TrackFixture::SetUp() {
    if (!HaveEncoder())
        GTEST_SKIP() << "sox and lame are needed to make test sounds";
}

}  // namespace soundtest
