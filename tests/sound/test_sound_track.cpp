// A segment's sound track on the recording output: which files play, where a
// start lands, pause and resume, the volume, and a machine without sound.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "SoundTestSupport.h"
#include "film/Streams.h"
#include "platform/FileOps.h"
#include "sound/Mp3Header.h"
#include "sound/Volume.h"

using namespace movarel;
using namespace soundtest;

namespace {

constexpr int kRate = 44100;
constexpr size_t kMp3Frame = 1152;

// Whether played continues the reference at frame `from` (channels samples a
// frame). After a seek the decoder lacks the bits that earlier frames left
// for the next ones, so the first few MP3 frames may differ; after them the
// samples must be the reference's, give or take the last bit of rounding.
void ExpectContinues(const std::vector<int16_t>& played, const std::vector<int16_t>& reference, size_t from,
                     int channels, const std::string& what) {
    const size_t skip = 4 * kMp3Frame * static_cast<size_t>(channels);
    const size_t offset = from * static_cast<size_t>(channels);
    ASSERT_LE(offset + played.size(), reference.size()) << what;
    int worst = 0;
    for (size_t i = skip; i < played.size(); ++i)
        worst = std::max(worst, std::abs(played[i] - reference[offset + i]));
    EXPECT_LE(worst, 1) << what;
}

struct StartCase {
    const char* name;
    int channels;
    const char* lame;
    double fraction;
};

class TrackStart : public TrackFixture, public ::testing::WithParamInterface<StartCase> {};
class Track : public TrackFixture {};

// The track plays from round(fraction x length) to its end, sample for sample
// what a decode from the start has there.
TEST_P(TrackStart, PlaysFromTheFractionOfItsSamples) {
    const StartCase& c = GetParam();
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0, kRate, c.channels, c.lame);
    std::vector<int16_t> reference = DecodeWhole(mp3);
    track.Open(mp3);
    const int64_t length = track.Length();
    EXPECT_EQ(static_cast<size_t>(length) * static_cast<size_t>(c.channels), reference.size())
        << "the length is what plays from the start";
    EXPECT_EQ(track.Format(), (PcmFormat{kRate, c.channels}));
    track.Start(c.fraction);
    output.PullAll();
    std::vector<int16_t> played = output.Played();
    const int64_t from = std::llround(static_cast<double>(length) * c.fraction);
    EXPECT_EQ(static_cast<int64_t>(played.size()), (length - from) * c.channels);
    ExpectContinues(played, reference, static_cast<size_t>(from), c.channels, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Fractions, TrackStart,
    ::testing::Values(StartCase{"start", 1, "-b 128", 0.0}, StartCase{"half", 1, "-b 128", 0.5},
                      StartCase{"third", 1, "-b 128", 1.0 / 3}, StartCase{"end", 1, "-b 128", 1.0},
                      StartCase{"stereo", 2, "-b 128", 0.75},
                      // As the demo film's track is made: no info frame.
                      StartCase{"no_info_frame", 1, "-b 128 -t", 0.4},
                      StartCase{"variable_rate", 2, "-V 4", 0.6}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(Track, TheLengthLeavesOutTheEncodersPadding) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.0);
    track.Open(mp3);
    EXPECT_EQ(track.Length(), kRate);
    // Outside 0..1 the start is clamped.
    track.Start(-0.5);
    EXPECT_EQ(output.PullAll(), static_cast<size_t>(kRate));
    track.Start(std::nan(""));
    EXPECT_EQ(output.PullAll(), static_cast<size_t>(kRate));
    track.Start(7.0);
    EXPECT_EQ(output.PullAll(), 0u);
}

// The clock pauses the sound and, on resuming, starts it again at the frame
// where it stopped: the two pieces join without a gap or a repeat.
TEST_F(Track, PauseHoldsTheSoundAndAResumeContinuesIt) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    std::vector<int16_t> reference = DecodeWhole(mp3);
    track.Open(mp3);
    const int64_t length = track.Length();
    track.Start(0.25);
    ASSERT_EQ(output.Pull(4410), 4410u);
    track.Pause();
    EXPECT_EQ(output.Pull(1024), 0u) << "a paused output asks for nothing";
    track.Start((0.25 * static_cast<double>(length) + 4410) / static_cast<double>(length));
    output.PullAll();
    std::vector<int16_t> played = output.Played();
    const size_t from = static_cast<size_t>(std::llround(0.25 * static_cast<double>(length)));
    ASSERT_EQ(played.size(), reference.size() - from) << "no gap, no repeat";
    ExpectContinues(played, reference, from, 1, "the first piece");
    ExpectContinues(std::vector<int16_t>(played.begin() + 4410, played.end()), reference, from + 4410, 1,
                    "the second piece");
    std::vector<std::string> calls = output.Calls();
    EXPECT_EQ(calls, (std::vector<std::string>{"open 44100x1", "resume", "pause", "resume"}));
}

// Stop closes the output; a Start after it opens the same track again (the
// clock stops the sound while it waits for frames), a new Open forgets it.
TEST_F(Track, AStartAfterStopOpensTheTrackAgain) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 2.0);
    track.Open(mp3);
    track.Start(0.0);
    output.Pull(1024);
    track.Stop();
    EXPECT_EQ(output.Pull(1024), 0u);
    EXPECT_EQ(track.Length(), 0);
    output.Forget();
    track.Start(0.5);
    EXPECT_EQ(output.PullAll(), static_cast<size_t>(kRate));
    track.Stop();
    track.Open("");
    output.Forget();
    track.Start(0.0);
    EXPECT_TRUE(output.Calls().empty()) << "nothing to open";
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(Track, VolumeScalesWhatIsPlayed) {
    struct Case {
        int channels;
        uint32_t volume;
    } cases[] = {{1, PercentToVolume(50.0f)}, {2, 0x0000FFFFu}, {2, 0x40001000u}};
    for (const Case& c : cases) {
        std::string mp3 = MakeToneMp3(dir.path, "tone" + std::to_string(c.channels) + ".mp3", 0.5, kRate, c.channels);
        std::vector<int16_t> reference = DecodeWhole(mp3);
        RecordingAudioOutput out;
        SoundTrack scaled(out);
        out.SetVolume(c.volume);
        scaled.Open(mp3);
        scaled.Start(0.0);
        out.PullAll();
        std::vector<int16_t> played = out.Played();
        ASSERT_EQ(played.size(), reference.size());
        ASSERT_GT(PeakOf(reference), 10000);
        size_t wrong = 0;
        for (size_t i = 0; i < played.size(); ++i) {
            const int32_t gain = i % static_cast<size_t>(c.channels) == 0 ? c.volume & 0xFFFF : c.volume >> 16;
            wrong += played[i] != static_cast<int16_t>(int32_t{reference[i]} * gain / 65535);
        }
        EXPECT_EQ(wrong, 0u) << std::hex << c.volume;
    }
}

TEST_F(Track, AnId3TaggedFilePlaysWhole) {
    std::string mp3 = MakeToneMp3(dir.path, "tagged.mp3", 0.5, kRate, 1, "-b 128 --tt Title");
    ASSERT_TRUE(StartsWithId3Tag(mp3));
    track.Open(mp3);
    track.Start(0.0);
    EXPECT_EQ(output.PullAll(), static_cast<size_t>(kRate / 2));
    EXPECT_GT(PeakOf(output.Played()), 14000);
    EXPECT_TRUE(messages.Messages().empty());
}

struct RefusalCase {
    const char* name;
    const char* file;
    std::string bytes;   // the file's content; "-" for no file; "tone" for a real MP3
    const char* thrown;  // the exception's text, or nullptr
    const char* told;    // the message box's text, or nullptr
};

// What each kind of file does when a segment opens it: raised for the
// segment, told in a box (caption "Error", no owner) and played silent, or
// played.
TEST_F(Track, FilesThatDoNotPlay) {
    const RefusalCase cases[] = {
        {"not_a_frame_header", "bad.mp3", "RIFF....", "GetMp3FileInfo: mp3 format error", nullptr},
        {"reserved_version", "version.mp3", std::string("\xFF\xEB\x90\x64", 4), "GetMp3FileInfo: version error",
         nullptr},
        {"missing_mp3", "missing.mp3", "-", nullptr, "The sound file cannot be found or opened."},
        {"missing_other", "missing.snd", "-", nullptr, "The sound file cannot be found or opened."},
        {"no_audio_under_other_name", "noise.mp2", "this is not MPEG audio at all", nullptr,
         "The sound file holds no MPEG audio that can be played."},
        {"header_without_frames", "empty.mp3", std::string("\xFF\xFB\x90\x64", 4) + std::string(4000, '\0'),
         nullptr, nullptr},
        {"mp3_under_other_name", "tone.mp2", "tone", nullptr, nullptr},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        messages.Clear();
        std::string file = dir.path + c.file;
        if (std::string(c.bytes) == "tone")
            std::filesystem::rename(MakeToneMp3(dir.path, "made.mp3", 0.5), file);
        else if (std::string(c.bytes) != "-")
            std::ofstream(file, std::ios::binary) << c.bytes;
        RecordingAudioOutput out;
        SoundTrack sound(out);
        try {
            sound.Open(file);
            EXPECT_EQ(c.thrown, nullptr) << "no exception";
        } catch (const Error& e) {
            ASSERT_NE(c.thrown, nullptr) << e.what();
            EXPECT_STREQ(e.what(), c.thrown);
        }
        sound.Start(0.0);
        size_t played = out.PullAll();
        auto shown = messages.Messages();
        if (c.told != nullptr) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, c.told);
            EXPECT_EQ(shown[0].caption, "Error");
            EXPECT_EQ(shown[0].owner, MsgOwner::None);
        } else {
            EXPECT_TRUE(shown.empty());
        }
        EXPECT_EQ(played, std::string(c.bytes) == "tone" ? static_cast<size_t>(kRate / 2) : 0u);
    }
}

TEST_F(Track, FileFailuresRaiseTheirMessages) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.3);
    static std::string soundFile;
    static int opens;
    soundFile = mp3;
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
        track.Open(mp3);
        ADD_FAILURE() << "no exception";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "_lopen error");
    }
    SetFileOps(previous);

    track.Open(mp3);
    ops = PosixFileOps();
    ops.seek = [](int, off_t, int) -> off_t {
        errno = ESPIPE;
        return -1;
    };
    previous = SetFileOps(ops);
    try {
        track.Start(0.5);
        ADD_FAILURE() << "no exception";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "_llseek error");
    }
    SetFileOps(previous);
    EXPECT_EQ(output.Pull(1024), 0u) << "nothing plays from a failed seek";
}

TEST_F(Track, WithoutADeviceTheFilmPlaysSilentlyAndTheUserIsToldOnce) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.5);
    RecordingAudioOutput silent(false);
    SoundTrack sound(silent);
    for (int segment = 0; segment < 2; ++segment) {
        sound.Stop();
        sound.Open(mp3);
        sound.Start(0.0);
        sound.Pause();
        sound.Start(0.5);
        EXPECT_EQ(silent.PullAll(), 0u);
    }
    auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "No sound output was found on this computer. The film plays without sound.");
    EXPECT_EQ(shown[0].caption, "Movarel");
    EXPECT_EQ(shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(shown[0].owner, MsgOwner::MainWindow);
}

// The output pulls on a thread of its own while the clock starts, pauses,
// stops, changes the speed of and asks the position of the track from
// others; nothing may wait on the other for good.
TEST_F(Track, PullsRunAlongsideTheCalls) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.0, kRate, 2);
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (!done)
            if (output.Pull(256) == 0)
                std::this_thread::yield();
    });
    for (int round = 0; round < 20; ++round) {
        track.Open(mp3);
        track.Start(round / 20.0);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        std::thread timer([&] {
            track.Pause();
            track.SetSpeed(round % 3 == 0 ? 1.0 : 0.5 + round * 0.1);
            track.Start(0.9);
            (void)track.PlayedSeconds();
        });
        (void)track.PlayedSeconds();
        timer.join();
        track.Stop();
        if (round % 2 == 0)
            track.Start(0.1);  // opens it again
    }
    done = true;
    device.join();
    EXPECT_FALSE(output.Played().empty());
}

}  // namespace
