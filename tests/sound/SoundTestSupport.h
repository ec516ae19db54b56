#pragma once
// What the sound tests share: tone files made with sox and lame, a track on
// the recording output with the reference decode to compare against, and the
// disk audio driver read back as samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "MessageRecorder.h"
#include "platform/RecordingAudioOutput.h"
#include "sound/SoundTrack.h"
#include "test_dirs.h"

namespace soundtest {

// True when sox and lame are there (tests that need them skip otherwise).
bool HaveEncoder();

// Makes an MP3 of a sine tone. extraLame: further lame options ("-b 128",
// "--tt title" for an ID3 tag, "-t" for no info frame). Fails the test when
// the tools fail.
std::string MakeToneMp3(const std::string& dir, const std::string& name, double seconds, int rate = 44100,
                        int channels = 1, const std::string& extraLame = "-b 128", double hertz = 440.0);
// Makes an MP3 of what sox's effects make from nothing ("synth 1 sine 1000
// pad 0 1"), at 128 kbit/s.
std::string MakeMp3(const std::string& dir, const std::string& name, const std::string& soxEffects,
                    int rate = 44100, int channels = 1);

// Every sample of the file from its start, as the track plays it.
std::vector<int16_t> DecodeWhole(const std::string& file);

// Points SDL at the disk driver writing raw 16-bit samples to file (delayMs
// paces it: small is faster than real time, negative is the driver's own
// pace, real time), or at a driver that does not exist. Read when the next
// SDL output starts its audio.
void UseDiskAudio(const std::string& file, int delayMs = 2);
void UseNoAudio();

std::vector<int16_t> ReadSamples(const std::string& file);

// The first and one past the last sample whose magnitude exceeds threshold;
// {0, 0} when none does.
struct Span {
    size_t begin = 0, end = 0;
    size_t length() const { return end - begin; }
};
Span LoudSpan(const std::vector<int16_t>& samples, int threshold = 1000);
int PeakOf(const std::vector<int16_t>& samples);
// A tone's frequency from the rising zero crossings of the first channel
// over [begin, end) frames; 0 without two crossings.
double MeasuredHertz(const std::vector<int16_t>& samples, int channels, int rate, size_t begin, size_t end);

using movarel::test::MessageRecorder;

// A scratch folder, a message recorder and a track on a recording output.
class TrackFixture : public ::testing::Test {
protected:
    void SetUp() override;

    TestDir dir;
    MessageRecorder messages;
    movarel::RecordingAudioOutput output;
    movarel::SoundTrack track{output};
};

}  // namespace soundtest
