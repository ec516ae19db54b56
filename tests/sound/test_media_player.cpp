// The media player: modes, errors, length and seek in samples, playback.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "SoundTestSupport.h"
#include "sound/qxMPlayer.h"

using namespace movarel;
using namespace soundtest;

namespace {

TEST(MediaPlayerMode, StatusRepliesMapToModes) {
    struct Case {
        bool ok;
        uint32_t reply;
        uint8_t mode;
    } cases[] = {
        {true, MCI_MODE_NOT_READY, mpNotReady}, {true, MCI_MODE_STOP, mpStopped}, {true, MCI_MODE_PLAY, mpPlaying},
        {true, MCI_MODE_RECORD, mpRecording},   {true, MCI_MODE_SEEK, mpSeeking}, {true, MCI_MODE_PAUSE, mpPaused},
        {true, MCI_MODE_OPEN, mpOpen},          {false, MCI_MODE_PLAY, mpUnknown}, {true, 0, mpUnknown},
        {true, 999, mpUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ModeFromStatus(c.ok, c.reply), c.mode) << c.ok << " " << c.reply;
}

TEST(MediaPlayerClosed, CommandsFailQuietlyAndCloseSendsNothing) {
    MessageRecorder messages;
    TMediaPlayer player;
    EXPECT_EQ(player.Mode(), mpUnknown);
    EXPECT_EQ(player.Error, MCIERR_INVALID_DEVICE_ID);
    player.Play();
    player.Seek(10);
    EXPECT_EQ(player.Length(), 0u);
    EXPECT_EQ(player.Error, MCIERR_INVALID_DEVICE_ID);
    player.Error = 12345;
    player.Close();
    EXPECT_EQ(player.Error, 12345u) << "nothing was sent";
    EXPECT_EQ(player.ErrorMessage(), "Unknown error code");
    EXPECT_TRUE(messages.Messages().empty()) << "only Open tells the user";
}

TEST(MediaPlayerOpen, FailuresAreShownOnce) {
    MessageRecorder messages;
    TestDir dir;
    std::ofstream(dir.path + "noise.mp3") << "this is not MPEG audio at all";
    struct Case {
        std::string file;
        uint32_t error;
    } cases[] = {{dir.path + "missing.mp3", MCIERR_FILE_NOT_FOUND},
                 {"", MCIERR_FILE_NOT_FOUND},
                 {dir.path + "noise.mp3", MCIERR_INVALID_FILE}};
    for (const Case& c : cases) {
        TMediaPlayer player;
        player.FileName = c.file;
        player.Open();
        EXPECT_EQ(player.Error, c.error) << c.file;
        EXPECT_FALSE(player.Opened);
        EXPECT_EQ(player.DeviceID, 0);
    }
    auto shown = messages.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].text, MediaErrorText(MCIERR_FILE_NOT_FOUND));
    EXPECT_EQ(shown[0].owner, MsgOwner::None);
}

class MediaPlayerFile : public SoundFixture {};

TEST_F(MediaPlayerFile, LengthSeekAndReopen) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.0);
    TMediaPlayer player;
    player.FileName = mp3;
    player.Open();
    ASSERT_EQ(player.Error, 0u);
    uint16_t firstId = player.DeviceID;
    EXPECT_NE(firstId, 0);
    EXPECT_EQ(player.Mode(), mpStopped);

    player.SetTimeFormat(MCI_FORMAT_SAMPLES);
    EXPECT_EQ(player.Length(), 44100u) << "the encoder's padding is not part of the sound";
    player.SetTimeFormat(MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(player.Length(), 1000u);
    player.SetTimeFormat(7);
    EXPECT_EQ(player.Error, MCIERR_BAD_TIME_FORMAT);

    player.SetTimeFormat(MCI_FORMAT_SAMPLES);
    player.Seek(22050);
    EXPECT_EQ(player.Error, 0u);
    EXPECT_EQ(player.Position(), 22050u);
    player.Seek(44101);
    EXPECT_EQ(player.Error, MCIERR_OUTOFRANGE);

    // Open on an open player closes it first.
    player.Open();
    EXPECT_EQ(player.Error, 0u);
    EXPECT_TRUE(player.Opened);
    EXPECT_NE(player.DeviceID, firstId);
    player.Close();
    EXPECT_FALSE(player.Opened);
    EXPECT_EQ(player.DeviceID, 0);
}

TEST_F(MediaPlayerFile, PlaysPausesAndStopsAtTheEnd) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 0.5);
    TMediaPlayer player;
    player.FileName = mp3;
    player.Open();
    ASSERT_EQ(player.Error, 0u);
    player.Play();
    EXPECT_EQ(player.Mode(), mpPlaying);
    player.Pause();
    EXPECT_EQ(player.Mode(), mpPaused);
    player.Play();
    EXPECT_TRUE(host.PumpUntil([&] { return player.Mode() == mpStopped; }));
    player.SetTimeFormat(MCI_FORMAT_SAMPLES);
    EXPECT_EQ(player.Position(), player.Length());
    player.Close();
    Span played = LoudSpan(ReadSamples(diskFile));
    EXPECT_NEAR(static_cast<double>(played.length()), 22050.0, 200.0);
}

TEST_F(MediaPlayerFile, PlaysTheRangeGivenByFromAndTo) {
    std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", 1.0);
    TMediaPlayer player;
    player.FileName = mp3;
    player.Open();
    player.SetTimeFormat(MCI_FORMAT_SAMPLES);
    player.StartPos = 11025;
    player.EndPos = 22050;
    player.FromSet = player.ToSet = true;
    player.Play();
    EXPECT_FALSE(player.FromSet || player.ToSet) << "used once";
    EXPECT_TRUE(host.PumpUntil([&] { return player.Mode() == mpStopped; }));
    EXPECT_EQ(player.Position(), 22050u);
    player.Close();
    EXPECT_NEAR(static_cast<double>(LoudSpan(ReadSamples(diskFile)).length()), 11025.0, 100.0);
}

}  // namespace
