// The segment's sound as the clock drives it: route choice, playing at the
// current frame, the buffer refill, stopping, and a machine without sound.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "SoundTestSupport.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/FileOps.h"
#include "sound/UqxSound.h"
#include "sound/qxMPlayer.h"
#include "sound/qxMp3.h"

using namespace movarel;
using namespace soundtest;

namespace {

constexpr int kRate = 44100;
constexpr int kMp3Frame = 1152;

enum class Route { WaveOut, MediaPlayer };

void ChooseRoute(Route route) {
    if (route == Route::MediaPlayer)
        setenv("MOVAREL_SOUND_ROUTE", "mediaplayer", 1);
    else
        unsetenv("MOVAREL_SOUND_ROUTE");
}

const char* RouteName(Route route) { return route == Route::WaveOut ? "wave-output" : "media player"; }

class SoundRoutes : public SoundFixture {};

TEST_F(SoundRoutes, ChoosesTheRoute) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.3);
    MakeSoundSegment(dir.path, mp3, 10);

    OpenSound(CurrentSoundFile());
    EXPECT_FALSE(SoundModule().UseMediaPlayer) << "a plain MP3 goes to the wave-output device";
    EXPECT_TRUE(SoundModule().WaveOpen);
    EXPECT_GE(SoundModule().SoundFile, 0);
    StopSound();
    EXPECT_EQ(SoundModule().SoundFile, -1);

    setenv("MOVAREL_SOUND_ROUTE", "mediaplayer", 1);
    OpenSound(CurrentSoundFile());
    EXPECT_TRUE(SoundModule().UseMediaPlayer) << "forced by the environment";
    EXPECT_TRUE(MediaPlayer().Opened);
    StopSound();
    EXPECT_FALSE(MediaPlayer().Opened);
    unsetenv("MOVAREL_SOUND_ROUTE");

    InitSound(nullptr);
    OpenSound(CurrentSoundFile());
    EXPECT_TRUE(SoundModule().UseMediaPlayer) << "no main window to receive returned buffers";
    StopSound();
    InitSound(host.Post());

    SoundModule().IsNT = false;
    OpenSound(CurrentSoundFile());
    EXPECT_TRUE(SoundModule().UseMediaPlayer);
    StopSound();
    SoundModule().IsNT = true;

    TestFilm().Items(0)->SoundFileName.clear();
    MediaPlayer().FileName = "stale.mp3";
    OpenSound(CurrentSoundFile());
    EXPECT_TRUE(SoundModule().SoundPath.empty());
    EXPECT_TRUE(MediaPlayer().FileName.empty());
    StartCurrent();  // no sound: nothing to start, nothing fails
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SoundRoutes, AnId3TaggedFileFallsBackToTheMediaPlayerAndSounds) {
    std::string mp3 = MakeToneMp3(dir.path, "tagged.mp3", 0.5, kRate, 1, "-b 128 --tt Title");
    ASSERT_TRUE(StartsWithId3Tag(mp3));
    MakeSoundSegment(dir.path, mp3, 10);
    std::vector<int16_t> played = PlayToEnd(kNormalSpeedPosition, 0);
    EXPECT_TRUE(SoundModule().UseMediaPlayer);
    EXPECT_NEAR(static_cast<double>(LoudSpan(played).length()), 0.5 * kRate, 300.0);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SoundRoutes, OtherHeaderFaultsStillFailTheSegment) {
    std::string bad = dir.path + "bad.mp3";
    std::ofstream(bad, std::ios::binary) << "RIFF....";
    MakeSoundSegment(dir.path, bad, 10);
    try {
        OpenSound(CurrentSoundFile());
        FAIL() << "no exception";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "GetMp3FileInfo: mp3 format error");
    }
}

struct SpeedCase {
    Route route;
    int speed;
    bool sounds;
};

class SoundAtSpeed : public SoundFixture, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SoundAtSpeed, SoundsOnlyAtNormalSpeed) {
    const SpeedCase& c = GetParam();
    ChooseRoute(c.route);
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    MakeSoundSegment(dir.path, mp3, 20);
    std::vector<int16_t> played = PlayToEnd(c.speed, 0);
    EXPECT_EQ(SoundModule().UseMediaPlayer, c.route == Route::MediaPlayer);
    Span span = LoudSpan(played);
    if (c.sounds) {
        EXPECT_NEAR(static_cast<double>(span.length()), 2.0 * kRate, 300.0) << RouteName(c.route);
        EXPECT_GT(PeakOf(played), 14000);
    } else {
        EXPECT_EQ(span.length(), 0u) << RouteName(c.route) << " at speed position " << c.speed;
    }
}

INSTANTIATE_TEST_SUITE_P(Speeds, SoundAtSpeed,
                         ::testing::Values(SpeedCase{Route::WaveOut, 3, true}, SpeedCase{Route::WaveOut, 2, false},
                                           SpeedCase{Route::WaveOut, 8, false},
                                           SpeedCase{Route::MediaPlayer, 3, true},
                                           SpeedCase{Route::MediaPlayer, 4, false}));

struct SeekCase {
    Route route;
    int frameIndex;
    int frameCount;
    double tolerance;  // samples
};

class SoundSeek : public SoundFixture, public ::testing::WithParamInterface<SeekCase> {};

// The sound starts at FrameIndex / frame count of its length: the rest of the
// tone is played. The wave-output route seeks to a byte and the decoder
// starts at the next frame, so it may land up to a frame later.
TEST_P(SoundSeek, StartsAtTheCurrentFrame) {
    const SeekCase& c = GetParam();
    ChooseRoute(c.route);
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    MakeSoundSegment(dir.path, mp3, c.frameCount);
    std::vector<int16_t> played = PlayToEnd(kNormalSpeedPosition, c.frameIndex);
    double expected = 2.0 * kRate * (1.0 - static_cast<double>(c.frameIndex) / c.frameCount);
    EXPECT_NEAR(static_cast<double>(LoudSpan(played).length()), expected, c.tolerance) << RouteName(c.route);
}

INSTANTIATE_TEST_SUITE_P(Positions, SoundSeek,
                         ::testing::Values(SeekCase{Route::WaveOut, 50, 100, kMp3Frame},
                                           SeekCase{Route::WaveOut, 1, 3, kMp3Frame},
                                           SeekCase{Route::MediaPlayer, 50, 100, 200},
                                           SeekCase{Route::MediaPlayer, 3, 4, 200}));

TEST_F(SoundRoutes, FortyThousandBytesAreThreeFullBuffers) {
    std::string mp3 = MakeToneMp3(dir.path, "long.mp3", 3.0);
    std::filesystem::resize_file(mp3, 40000);
    MakeSoundSegment(dir.path, mp3, 10);
    OpenSound(CurrentSoundFile());
    ASSERT_FALSE(SoundModule().UseMediaPlayer);
    StartCurrent();
    SoundState& s = SoundModule();
    EXPECT_TRUE(s.SoundActive);
    EXPECT_EQ(s.Headers[0].dwBytesRecorded, 16384u);
    EXPECT_EQ(s.Headers[1].dwBytesRecorded, 16384u);

    // The first return is refilled with the last 7,232 bytes, zeros after them.
    ASSERT_TRUE(host.PumpUntil([&] { return s.Headers[0].dwBytesRecorded == 7232; }));
    EXPECT_TRUE(s.SoundActive);
    EXPECT_EQ(s.Headers[0].dwBufferLength, 16384u);
    EXPECT_TRUE(s.Headers[0].dwFlags.load() & WHDR_INQUEUE);
    std::vector<uint8_t> tail(s.Headers[0].lpData + 7232, s.Headers[0].lpData + 16384);
    EXPECT_EQ(std::count(tail.begin(), tail.end(), 0), 16384 - 7232);

    // The next return finds the end of the file.
    ASSERT_TRUE(host.PumpUntil([&] { return !s.SoundActive; }));
    EXPECT_EQ(s.Headers[1].dwBytesRecorded, 0u);
    EXPECT_FALSE(s.Headers[1].dwFlags.load() & WHDR_INQUEUE) << "not written again";
    WaitWaveOutDone();
}

// A pause returns both buffers; the messages for them may arrive only after
// the sound has been started again with fresh data in the same buffers.
TEST_F(SoundRoutes, LateReturnMessagesAreIgnored) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 3.0);
    MakeSoundSegment(dir.path, mp3, 10);
    OpenSound(CurrentSoundFile());
    StartCurrent();
    PauseSound();
    EXPECT_EQ(host.Pending(), 2u);
    StartCurrent();
    off_t position = Files().seek(SoundModule().SoundFile, 0, SEEK_CUR);
    EXPECT_EQ(position, 2 * 16384);
    host.PumpOnce();  // the two late messages
    EXPECT_EQ(Files().seek(SoundModule().SoundFile, 0, SEEK_CUR), position) << "no chunk was read for them";
    EXPECT_TRUE(SoundModule().Headers[0].dwFlags.load() & WHDR_INQUEUE);
    EXPECT_TRUE(SoundModule().Headers[1].dwFlags.load() & WHDR_INQUEUE);

    WaveHeader foreign;
    OnWaveDone(&foreign);
    OnWaveDone(nullptr);
    EXPECT_EQ(Files().seek(SoundModule().SoundFile, 0, SEEK_CUR), position);

    // StopSound on the main thread handles the returns itself.
    StopSound();
    EXPECT_FALSE(SoundModule().Headers[0].dwFlags.load() & (WHDR_DONE | WHDR_INQUEUE));
    EXPECT_FALSE(SoundModule().Headers[1].dwFlags.load() & (WHDR_DONE | WHDR_INQUEUE));
}

class SoundBlockWait : public SoundFixture, public ::testing::WithParamInterface<Route> {};

// The timer thread stops the sound while it waits for frames and starts it
// again after the wait when the sound was playing before.
TEST_P(SoundBlockWait, SoundResumesAfterTheWait) {
    ChooseRoute(GetParam());
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    MakeSoundSegment(dir.path, mp3, 100);
    TqxSoundCalls calls;
    calls.Open(CurrentSoundFile());
    std::thread timer([&] {
        StartCurrent(calls);
        EXPECT_EQ(calls.MediaPlayerMode(), mpPlaying);
        calls.Stop();
        EXPECT_NE(calls.MediaPlayerMode(), mpPlaying);
        TestClock().FrameIndex = 50;
        StartCurrent(calls);
        EXPECT_EQ(calls.MediaPlayerMode(), mpPlaying);
    });
    timer.join();
    if (SoundModule().UseMediaPlayer)
        host.PumpUntil([] { return MediaPlayer().Mode() != mpPlaying; });
    else
        WaitWaveOutDone();
    host.PumpFor(60);
    ShutdownSound();
    // The media player's output was opened again for the restart, so its
    // file holds only the second half. The wave-output device stayed open:
    // its file holds the moment before the wait too, then the second half,
    // not the whole tone again.
    double played = static_cast<double>(LoudSpan(ReadSamples(diskFile)).length());
    if (GetParam() == Route::MediaPlayer) {
        EXPECT_NEAR(played, 1.0 * kRate, 200.0);
    } else {
        EXPECT_GT(played, 0.97 * kRate);
        EXPECT_LT(played, 1.3 * kRate);
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, SoundBlockWait, ::testing::Values(Route::WaveOut, Route::MediaPlayer));

TEST_F(SoundRoutes, FileFailuresRaiseTheirMessages) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.3);
    MakeSoundSegment(dir.path, mp3, 10);
    static std::string soundFile;
    static int opens;
    soundFile = TestFilm().Items(0)->SoundFileName;
    opens = 0;
    FileOps ops = PosixFileOps();
    // The header is read, then the file cannot be opened again.
    ops.open = [](const char* path, int flags, mode_t mode) {
        if (soundFile == path && ++opens > 1) {
            errno = EACCES;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    FileOps previous = SetFileOps(ops);
    try {
        OpenSound(CurrentSoundFile());
        ADD_FAILURE() << "no exception";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "_lopen error");
    }
    SetFileOps(previous);

    OpenSound(CurrentSoundFile());
    ops = PosixFileOps();
    ops.seek = [](int, off_t, int) -> off_t {
        errno = ESPIPE;
        return -1;
    };
    previous = SetFileOps(ops);
    try {
        StartCurrent();
        ADD_FAILURE() << "no exception";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "_llseek error");
    }
    SetFileOps(previous);
}

TEST_F(SoundRoutes, WithoutAudioOutputTheFilmPlaysSilentlyAndTheUserIsToldOnce) {
    UseNoAudio();
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.5);
    MakeSoundSegment(dir.path, mp3, 10);
    MakeSoundSegment(dir.path, mp3, 10);
    for (int segment = 0; segment < 2; ++segment) {
        TestClock().CurrentSegment = segment;
        StopSound();
        OpenSound(CurrentSoundFile());
        EXPECT_FALSE(SoundModule().UseMediaPlayer);
        StartCurrent();
        EXPECT_TRUE(host.PumpUntil([] { return !SoundModule().SoundActive; })) << "the file is used up silently";
    }
    setenv("MOVAREL_SOUND_ROUTE", "mediaplayer", 1);
    StopSound();
    OpenSound(CurrentSoundFile());
    ASSERT_TRUE(MediaPlayer().Opened);
    EXPECT_TRUE(MediaPlayer().Silent());
    StartCurrent();
    EXPECT_EQ(MediaPlayer().Mode(), mpPlaying) << "the player keeps time without output";
    EXPECT_TRUE(host.PumpUntil([] { return MediaPlayer().Mode() == mpStopped; }));
    unsetenv("MOVAREL_SOUND_ROUTE");

    auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("without sound"), std::string::npos);
}

TEST_F(SoundRoutes, HalfVolumeHalvesTheAmplitude) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.5);
    MakeSoundSegment(dir.path, mp3, 10);
    int full = PeakOf(PlayToEnd(kNormalSpeedPosition, 0));
    SetVolumePercent(50.0f);
    diskFile = dir.path + "half.raw";
    UseDiskAudio(diskFile);
    int half = PeakOf(PlayToEnd(kNormalSpeedPosition, 0));
    ASSERT_GT(full, 10000);
    EXPECT_NEAR(half, full * 32767 / 65535, 1);
}

}  // namespace
