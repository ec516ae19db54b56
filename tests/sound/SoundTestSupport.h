#pragma once
// What the sound tests share: tone films made with sox and lame, the disk
// audio driver read back as samples, a host whose posted messages the test
// pumps, and a recorder for message boxes.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "MessageRecorder.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "sound/UqxSound.h"
#include "platform/UserMessages.h"
#include "test_dirs.h"

namespace soundtest {

// True when sox and lame are there (tests that need them skip otherwise).
bool HaveEncoder();

// Makes an MP3 of a sine tone. extraLame: further lame options ("-b 128",
// "--tt title" for an ID3 tag). Fails the test when the tools fail.
std::string MakeToneMp3(const std::string& dir, const std::string& name, double seconds, int rate = 44100,
                        int channels = 1, const std::string& extraLame = "-b 128");

// Switches the audio output to the disk driver writing to file (raw 16-bit
// samples). delayMs paces the driver (small: faster than real time).
void UseDiskAudio(const std::string& file, int delayMs = 2);
// Switches the audio output to a driver that does not exist.
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

// A main thread that queues the returned buffers until the test pumps them;
// each goes to the sound's handler.
class PumpedHost {
public:
    // What InitSound is given.
    movarel::WaveDonePost Post();
    // Handles what is queued now; returns how many messages it handled.
    int PumpOnce();
    // Pumps until done() holds or timeoutMs passes; returns done().
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
    // Pumps for a while (lets the output play out what it holds).
    void PumpFor(int ms);
    size_t Pending();

private:
    std::mutex lock;
    std::deque<movarel::WaveHeader*> queue;
};

using movarel::test::MessageRecorder;

// The tests' film and the clock the player would keep: a segment, the
// frame on screen and the speed decide where and whether the sound plays.
movarel::Film& TestFilm();
movarel::ClockState& TestClock();
// One segment in the test film with a copy of soundFile as its sound (the
// film deletes its files) and frameCount frames; it is the current segment.
void MakeSoundSegment(const std::string& dir, const std::string& soundFile, int frameCount);
// The current segment's sound file (empty for none).
std::string CurrentSoundFile();
// The player's call at a tick: the sound from the frame on screen at normal
// speed, held at any other.
void StartCurrent();
void StartCurrent(movarel::PlayerSound& sound);
// Deletes the test film's segments.
void ClearTestFilm();

// Sets up the sound for a test and tears everything down afterwards.
class SoundFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Plays the current segment's sound from FrameIndex at the speed
    // position through the disk driver and returns what was played.
    std::vector<int16_t> PlayToEnd(int speedPosition, int frameIndex);
    // Waits until the wave-output buffers are back and played out.
    void WaitWaveOutDone();

    TestDir dir;
    PumpedHost host;
    MessageRecorder messages;
    std::string diskFile;
};

}  // namespace soundtest
