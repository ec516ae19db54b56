// The picture against the sound with real ticks and SDL's disk driver paced
// in real time: when a frame appears, the track time the device is playing
// lies within that frame's stay on screen, give or take the clock's half
// tick, at normal speed and time-stretched.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FilmWriter.h"
#include "SoundTestSupport.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "platform/SdlAudioOutput.h"

using namespace movarel;
using namespace soundtest;

namespace {

constexpr int32_t kFps = 30;
constexpr double kTrackSeconds = 2.0;

// Each frame as it appears, with the track time heard at that moment.
class HeardAtPresent : public FrameSink {
public:
    HeardAtPresent(Player** p, const PlayerSound& s) : player(p), sound(s) {}
    void PresentFrame(const Picture&) override {
        const std::optional<double> heard = sound.PlayedSeconds();
        std::lock_guard<std::mutex> guard(lock);
        if (heard)
            offsetsMs.push_back(OffsetMs((*player)->Clock().FrameIndex, *heard));
    }
    void PresentCursorArea(const Picture&, const PixelRect*, int) override {}

    // How far the heard time lies outside the frame's stay, f / fps to
    // (f + 1) / fps.
    static double OffsetMs(int32_t frame, double heard) {
        const double begins = frame / double{kFps}, ends = (frame + 1) / double{kFps};
        return std::max({begins - heard, heard - ends, 0.0}) * 1000.0;
    }

    Player** player;
    const PlayerSound& sound;
    std::mutex lock;
    std::vector<double> offsetsMs;
};

TEST(PictureSoundSync, FramesAppearWithTheSoundTheDeviceIsPlaying) {
    if (!HaveEncoder())
        GTEST_SKIP() << "sox and lame are needed to make test sounds";
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    const std::string savedDriver = driver != nullptr ? driver : "";
    SetDefaultTexts();
    TestDir dir;
    MessageRecorder messages;
    const int32_t frames = static_cast<int32_t>(kTrackSeconds * kFps);

    for (const double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        UseDiskAudio(dir.path + "played" + std::to_string(factor) + ".raw", -1);
        SdlAudioOutput output;
        SoundTrack track(output);
        // The film owns its sound file and removes it when it goes.
        const std::string mp3 = MakeToneMp3(dir.path, "tone.mp3", kTrackSeconds);
        Film film;
        Segment* s = film.Add();
        s->Width = 4;
        s->Height = 2;
        s->BitsPerPixel = 32;
        s->Fps = kFps;
        s->FrameCount = frames;
        s->SoundFileName = mp3;
        for (int32_t f = 0; f < frames; ++f) {
            const writer::Bytes record = writer::MakeFrameRecord({{static_cast<uint32_t>(f) * 2654435761u, 8}});
            s->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
        }
        s->FrameStream->SetPosition(0);

        Player* self = nullptr;
        HeardAtPresent sink(&self, track);
        PlayerSetup setup;
        setup.Sink = &sink;
        setup.Sound = &track;
        setup.SeekIndexOnStart = false;
        Player player(film, setup);
        self = &player;
        player.SetSpeedFactor(factor);
        ASSERT_TRUE(player.StartSegment(0));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (player.Clock().FrameIndex < frames - 2 && std::chrono::steady_clock::now() < deadline) {
            player.DrainEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        player.StopPlaybackForLoad();

        std::vector<double> offsets = sink.offsetsMs;
        ASSERT_GT(offsets.size(), static_cast<size_t>(frames / 2)) << "frames shown while the sound was heard";
        EXPECT_TRUE(messages.Messages().empty());
        std::sort(offsets.begin(), offsets.end());
        // The frame is chosen for the middle of its stay: as it appears, the
        // sound is at most half a frame short of it. A loaded machine may
        // delay a few ticks between choosing and presenting.
        EXPECT_LE(offsets[offsets.size() / 2], 20.0);
        EXPECT_LE(offsets[offsets.size() * 95 / 100], 40.0);
    }
    setenv("SDL_AUDIODRIVER", savedDriver.c_str(), 1);
}

}  // namespace
