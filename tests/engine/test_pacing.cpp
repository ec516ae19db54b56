// The frame a tick shows follows the heard sound, or the exact frame rate on
// a monotonic clock, never the count of rounded timer periods.
#include <chrono>
#include <cmath>
#include <vector>

#include "EngineFixture.h"
#include "engine/Player.h"

namespace movarel::test {
namespace {

using namespace std::chrono_literals;
using writer::MakeFrameRecord;

// Every record changes the picture differently, so a skipped record that was
// not decoded shows in the picture.
std::vector<writer::Bytes> DistinctRecords(int n) {
    std::vector<writer::Bytes> records;
    for (int i = 0; i < n; ++i)
        records.push_back(MakeFrameRecord({{static_cast<uint32_t>(i * 2654435761u), 8}}));
    return records;
}

class Pacing_ : public EngineTest {
protected:
    // Runs one tick at the test clock's time; the frame it showed, or -1.
    int32_t TickAt(std::chrono::milliseconds at) {
        testNow = start + at;
        shown = -1;
        EXPECT_TRUE(TickManualTimers());
        return shown;
    }
    void Watch() {
        host.onPresent = [this](const Picture&) { shown = Clock().FrameIndex; };
    }
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::time_point{} + 1000s;
    int32_t shown = -1;
};

TEST_F(Pacing_, WithoutSoundFramesFollowTheExactRateNotTheRoundedPeriod) {
    struct Case {
        uint8_t fps;
        int32_t roundedPeriod;
        int ticks;
    };
    // 1000/30 runs 1 % fast as 33 ms; 1000/24 runs 0.8 % slow as 42 ms.
    for (const Case c : {Case{30, 33, 300}, Case{24, 42, 300}}) {
        SCOPED_TRACE(static_cast<int>(c.fps));
        ClearFilm();
        UseTestClock();
        Watch();
        const auto records = DistinctRecords(400);
        AddSegment({.fps = c.fps, .records = records});
        testNow = start;
        ASSERT_TRUE(StartSegment(0));
        ASSERT_EQ(Clock().Period, c.roundedPeriod);
        int32_t last = -1;
        for (int n = 0; n <= c.ticks; ++n) {
            const auto at = std::chrono::milliseconds(int64_t{n} * c.roundedPeriod);
            const int32_t frame = TickAt(at);
            // By the exact rate, the frame whose time holds the middle of
            // the period the tick's frame stays on screen.
            const double middle = at.count() + c.roundedPeriod / 2.0;
            const auto expected = static_cast<int32_t>(std::floor(middle * c.fps / 1000.0));
            if (frame >= 0) {
                EXPECT_EQ(frame, expected) << "tick " << n;
                last = frame;
            } else {
                EXPECT_EQ(last, expected) << "a tick waits only while its frame is early; tick " << n;
            }
        }
        // 300 rounded periods: 9900 ms (297 frames) at 30 fps, 12600 ms
        // (302 frames) at 24 fps, where one frame a tick gives 300.
        EXPECT_EQ(last, c.fps == 30 ? 297 : 302);
        // Skipped frames were decoded all the same.
        EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 4, 2, static_cast<size_t>(last) + 1));
    }
}

TEST_F(Pacing_, FramesFollowTheHeardSound) {
    UseTestClock();
    Watch();
    const auto records = DistinctRecords(200);
    AddSegment({.fps = 25, .records = records});
    testNow = start;
    ASSERT_TRUE(StartSegment(0));
    struct Step {
        double heard;  // below 0: nothing heard
        std::chrono::milliseconds at;
        int32_t shown;  // -1: the tick waits
    };
    // The test clock stands still while sound is heard: only the sound counts.
    const Step steps[] = {
        {0.0, 0ms, 0},      // the first frame with the sound
        {0.01, 0ms, -1},    // frame 1 lies 30 ms ahead of the sound: wait
        {0.03, 0ms, 1},     // nearest to 0.03 s
        {1.0, 0ms, 25},     // the sound ran ahead: frames 2..24 are skipped
        {0.5, 0ms, -1},     // the output's latency holds the picture back
        {1.04, 0ms, 26},    //
        {2.0, 0ms, 50},     //
        {-1, 400ms, 60},    // sound gone: the clock runs on from where it was
        {-1, 440ms, 61},    //
    };
    for (const Step& step : steps) {
        sound.played = step.heard;
        EXPECT_EQ(TickAt(step.at), step.shown) << "heard " << step.heard << " at " << step.at.count();
    }
    EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 4, 2, 62));
}

TEST_F(Pacing_, PauseResumeAndSpeedChangeTakeUpTheTimeAfresh) {
    UseTestClock();
    Watch();
    AddSegment({.fps = 25, .records = DistinctRecords(200)});
    testNow = start;
    ASSERT_TRUE(StartSegment(0));
    EXPECT_EQ(TickAt(0ms), 0);
    EXPECT_EQ(TickAt(40ms), 1);
    SetPlayState(Paused);
    StopTimer();
    // Ten seconds paused are not made up after the resume.
    testNow = start + 10s;
    StartTimer();
    SetPlayState(Playing);
    EXPECT_EQ(TickAt(10040ms), 2);
    EXPECT_EQ(TickAt(10080ms), 3);
    // At 1.5x the frames come every 26.7 ms from the change on.
    player->SetSpeedFactor(1.5);
    EXPECT_EQ(Clock().Period, 27);
    EXPECT_EQ(TickAt(10100ms), 4);
    EXPECT_EQ(TickAt(10500ms), 19);
    player->SetSpeedFactor(1.0);
    EXPECT_EQ(TickAt(10500ms), 20);
    EXPECT_EQ(TickAt(11500ms), 45);
}

TEST_F(Pacing_, ASeekWhilePlayingTakesUpTheTimeFromTheTarget) {
    UseTestClock();
    Watch();
    AddSegment({.fps = 25, .records = DistinctRecords(200)});
    testNow = start;
    ASSERT_TRUE(StartSegment(0));
    EXPECT_EQ(TickAt(0ms), 0);
    EXPECT_EQ(TickAt(40ms), 1);
    // Ahead: the frames after the target follow at once, frame by frame.
    ASSERT_TRUE(player->SeekTo(0, 100));
    EXPECT_EQ(TickAt(80ms), 101);
    EXPECT_EQ(TickAt(120ms), 102);
    EXPECT_EQ(TickAt(160ms), 103);
    // Back: nothing is skipped to make up for the place left.
    ASSERT_TRUE(player->SeekTo(0, 10));
    EXPECT_EQ(TickAt(200ms), 11);
    EXPECT_EQ(TickAt(240ms), 12);
}

TEST_F(Pacing_, ThreeTicksPerFrameShowTheFrameDueWhenItIsPresented) {
    UseTestClock();
    Watch();
    const auto records = DistinctRecords(400);
    AddSegment({.fps = 30, .flags = 1, .records = records});
    testNow = start;
    ASSERT_TRUE(StartSegment(0));
    ASSERT_EQ(Clock().Period, 11);
    int32_t last = -1;
    for (int n = 0; n <= 900; ++n) {
        const int32_t frame = TickAt(std::chrono::milliseconds(n * 11));
        if (frame < 0)
            continue;
        EXPECT_GT(frame, last) << "tick " << n;
        const double exact = n * 11 * 30 / 1000.0;
        EXPECT_LE(std::abs(frame - exact), 1.0) << "tick " << n;
        last = frame;
    }
    EXPECT_GE(last, 296);
    EXPECT_LE(last, 298);
    EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 4, 2, static_cast<size_t>(last) + 1));
}

TEST_F(Pacing_, ManualTicksWithoutAClockShowOneFrameEach) {
    Watch();
    AddSegment({.fps = 25, .records = DistinctRecords(50)});
    ASSERT_TRUE(StartSegment(0));
    sound.played = 1.0;
    for (int32_t n = 0; n < 5; ++n) {
        shown = -1;
        ASSERT_TRUE(TickManualTimers());
        EXPECT_EQ(shown, n);
    }
}

TEST_F(Pacing_, SoundPlaysTimeStretchedFromHalfToTwiceNormalSpeed) {
    AddSegment({.records = DistinctRecords(100)});
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(TickManualTimers());
    struct Case {
        double factor;
        bool heard;
    };
    for (const Case c : {Case{1.5, true}, Case{3.0, false}, Case{0.5, true}, Case{2.0, true}, Case{0.25, false},
                         Case{1.0, true}, Case{2.01, false}}) {
        SCOPED_TRACE(c.factor);
        const int starts = sound.starts;
        const int pauses = sound.pauses;
        sound.lastSpeed = -1;
        player->SetSpeedFactor(c.factor);
        EXPECT_DOUBLE_EQ(Clock().Factor(), c.factor);
        ASSERT_TRUE(TickManualTimers());
        EXPECT_EQ(sound.starts, starts + (c.heard ? 1 : 0));
        EXPECT_GE(sound.pauses, pauses + 1) << "held for the change";
        if (c.heard) {
            EXPECT_DOUBLE_EQ(sound.lastSpeed, c.factor);
        }
    }
    // The slider's positions set their factors.
    player->SetSpeedPosition(4);
    EXPECT_DOUBLE_EQ(Clock().Factor(), 2.0);
    EXPECT_EQ(Clock().SpeedPosition, 4);
    const int starts = sound.starts;
    ASSERT_TRUE(TickManualTimers());
    EXPECT_EQ(sound.starts, starts + 1);
    EXPECT_DOUBLE_EQ(sound.lastSpeed, 2.0);
}

TEST(SpeedFactor, ClampedToTheRangeAndNearestSliderPosition) {
    struct Case {
        double factor, clamped;
        int32_t position;
    };
    const Case cases[] = {
        {1.0, 1.0, 3},   {1.5, 1.5, 4},   {1.3, 1.3, 3},  {0.05, 0.1, 0},   {0.3, 0.3, 1},
        {12.0, 10.0, 7}, {1000, 1000, 8}, {5000, 1000, 8}, {0.0, 1.0, 3},   {-2.0, 1.0, 3},
        {NAN, 1.0, 3},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ClampSpeedFactor(c.factor), c.clamped) << c.factor;
        EXPECT_EQ(NearestSpeedPosition(ClampSpeedFactor(c.factor)), c.position) << c.factor;
    }
}

}  // namespace
}  // namespace movarel::test
