// The clock's sound calls as a track receives them: the current segment's
// file, and the start at the current frame's place, at normal speed only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ClockState.h"
#include "film/SegmentList.h"
#include "sound/ClockSound.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

class CallLog : public PlayerSound {
public:
    void Open(const std::string& file) override { calls.push_back("open " + file); }
    void Start(double fraction) override { calls.push_back("start " + std::to_string(fraction)); }
    void Pause() override { calls.push_back("pause"); }
    void Stop() override { calls.push_back("stop"); }
    std::vector<std::string> calls;
};

class ClockSoundCalls : public ::testing::Test {
protected:
    void SetUp() override {
        SegmentList().Clear();
        Clock().CurrentSegment = 0;
        Clock().SpeedPosition = kNormalSpeedPosition;
        Clock().FrameIndex = 0;
    }
    void TearDown() override {
        SegmentList().Clear();
        Clock().CurrentSegment = 0;
        Clock().SpeedPosition = kNormalSpeedPosition;
        Clock().FrameIndex = -1;
    }
    TSegmentInfo* AddSegment(const std::string& soundFile, int32_t frameCount) {
        TSegmentInfo* segment = SegmentList().Add(dir.path);
        segment->SoundFileName = soundFile;
        segment->FrameCount = frameCount;
        return segment;
    }
    TestDir dir;
    CallLog track;
    ClockSound sound{track};
};

TEST_F(ClockSoundCalls, OpensTheCurrentSegmentsFile) {
    sound.OpenSound();
    AddSegment("", 10);
    AddSegment(dir.path + "second.mp3", 10);
    sound.OpenSound();
    Clock().CurrentSegment = 1;
    sound.OpenSound();
    sound.PauseSound();
    sound.StopSound();
    EXPECT_EQ(track.calls,
              (std::vector<std::string>{"open ", "open ", "open " + dir.path + "second.mp3", "pause", "stop"}));
}

TEST_F(ClockSoundCalls, StartsAtTheFramesPlaceAtNormalSpeedOnly) {
    struct Case {
        int32_t frameIndex;
        int32_t frameCount;
        int32_t speed;
        const char* call;
    } cases[] = {
        {0, 100, 3, "start 0.000000"},   {50, 100, 3, "start 0.500000"}, {1, 3, 3, "start 0.333333"},
        {-1, 100, 3, "start 0.000000"},  {150, 100, 3, "start 1.000000"}, {5, 0, 3, "start 0.000000"},
        {50, 100, 2, "pause"},           {50, 100, 4, "pause"},          {50, 100, 8, "pause"},
        {50, 100, 0, "pause"},
    };
    TSegmentInfo* segment = AddSegment(dir.path + "tone.mp3", 0);
    for (const Case& c : cases) {
        track.calls.clear();
        segment->FrameCount = c.frameCount;
        Clock().FrameIndex = c.frameIndex;
        Clock().SpeedPosition = c.speed;
        sound.StartSound();
        EXPECT_EQ(track.calls, std::vector<std::string>{c.call})
            << c.frameIndex << " of " << c.frameCount << " at speed position " << c.speed;
    }
}

TEST_F(ClockSoundCalls, WithoutASegmentTheSoundIsPaused) {
    sound.StartSound();
    EXPECT_EQ(track.calls, std::vector<std::string>{"pause"});
}

}  // namespace
