// The playback clock: periods, ticks, the end of segments and of the film.
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "EngineFixture.h"
#include "engine/Player.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {
namespace {

using writer::MakeFrameRecord;

std::vector<writer::Bytes> Records(int n, int32_t pixels) {
    std::vector<writer::Bytes> records;
    for (int i = 0; i < n; ++i)
        records.push_back(MakeFrameRecord({{0x00010203u << (i % 6), static_cast<uint16_t>(pixels)}}));
    return records;
}

class Clock_ : public EngineTest {};

TEST_F(Clock_, PeriodFollowsFrameRateTicksAndSpeed) {
    struct Case {
        uint8_t fps;
        int32_t ticks;
        int32_t position;
        int32_t period, resolution;
    };
    const Case cases[] = {
        {25, 1, 3, 40, 10}, {25, 1, 0, 400, 100}, {25, 1, 7, 4, 1},  {25, 1, 8, 1, 1},
        {0, 1, 3, 100, 25}, {0, 3, 8, 100, 25},   {15, 3, 7, 2, 1},  {15, 3, 3, 22, 6},
        {16, 1, 3, 62, 16}, {80, 1, 3, 12, 3},    {25, 3, 4, 6, 2},  {10, 1, 2, 200, 50},
        {1, 1, 0, 10000, 2500}, {255, 3, 6, 1, 1},
    };
    AddSegment({});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.fps} << " fps, " << c.ticks << " ticks, position " << c.position);
        film->Items(0)->Fps = c.fps;
        Clock().TicksPerFrame = c.ticks;
        Clock().SpeedPosition = c.position;
        Clock().Period = 77;
        RecalcTimerPeriod();
        EXPECT_EQ(Clock().Period, c.period);
        EXPECT_EQ(TimerResolutionFor(Clock().Period), c.resolution);
    }
    // Without a current segment the period stays.
    Clock().CurrentSegment = 5;
    RecalcTimerPeriod();
    EXPECT_EQ(Clock().Period, 1);
}

TEST_F(Clock_, SegmentEndPostsNextSegmentOnce) {
    struct Case {
        const char* name;
        int records;
        int32_t frameCount;
        uint32_t flags;
        // Up to the tick that shows the last frame; the tick after it ends the segment.
        int lastFrameTick;
        int32_t lastFrame;
    };
    const Case cases[] = {
        {"one frame", 1, 1, 0, 1, 0},
        {"one frame, three ticks", 1, 1, 1, 1, 0},
        {"four frames", 4, 4, 0, 4, 3},
        {"four frames, three ticks", 4, 4, 1, 10, 3},
        {"fewer records than frames", 3, 10, 0, 3, 2},
        {"fewer records, three ticks", 3, 10, 1, 7, 2},
        {"more records than frames", 5, 2, 0, 2, 1},
        {"no records", 0, 4, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        const int before = host.CountPosted<SegmentEnded>();
        const int presents = host.wholePresents;
        AddSegment({.frameCount = c.frameCount, .flags = c.flags, .records = Records(c.records, 8)});
        ASSERT_TRUE(StartSegment(0));
        for (int t = 0; t < c.lastFrameTick; ++t) {
            ASSERT_TRUE(TickManualTimers());
            Pump(false);
        }
        EXPECT_EQ(host.CountPosted<SegmentEnded>(), before) << "the last frame has its period";
        EXPECT_EQ(TickToEnd(100), 1);
        EXPECT_FALSE(TickManualTimers()) << "the timer stops at the end";
        EXPECT_EQ(host.CountPosted<SegmentEnded>(), before + 1);
        EXPECT_EQ(Clock().FrameIndex, c.lastFrame);
        EXPECT_EQ(host.wholePresents - presents, c.lastFrame + 1);
        if (c.records > 0) {
            EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(Records(c.records, 8), 4, 2, c.lastFrame + 1));
        }
    }
}

TEST_F(Clock_, ThreeTicksPerFrameDecodeApplyShowInTurn) {
    const auto records = Records(3, 8);
    AddSegment({.flags = 1, .records = records});
    std::vector<std::vector<uint32_t>> pictureAtTick;
    std::vector<int32_t> wholeAtTick;
    host.onTick = [&] { pictureAtTick.push_back(CurrentPicture().Pixels); };
    host.onPresent = [&](const Picture&) { wholeAtTick.push_back(Clock().TickCount); };
    ASSERT_TRUE(StartSegment(0));
    // The primed frame is applied before the first tick.
    EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 4, 2, 1));
    // Seven ticks of pictures, then the one that ends the segment.
    EXPECT_EQ(TickToEnd(), 8);
    const size_t applied[] = {1, 1, 2, 2, 2, 3, 3};
    ASSERT_EQ(pictureAtTick.size(), 7u);
    for (size_t t = 0; t < 7; ++t)
        EXPECT_EQ(pictureAtTick[t], ReferenceDecode(records, 4, 2, applied[t])) << "tick " << t;
    EXPECT_EQ(wholeAtTick, (std::vector<int32_t>{0, 3, 6}));
}

TEST_F(Clock_, SpeedChangeRestartsOnlyARunningTimer) {
    AddSegment({.records = Records(50, 8)});
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(TickManualTimers());
    // Pause.
    SetPlayState(Paused);
    StopTimer();
    SetSpeedPosition(7);
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(Clock().Period, 4);
    // Resume, then change speed while playing.
    StartTimer();
    SetPlayState(Playing);
    const int starts = sound.starts;
    SetSpeedPosition(0);
    EXPECT_TRUE(TimerRunning());
    EXPECT_EQ(Clock().Period, 400);
    const int pauses = sound.pauses;
    ASSERT_TRUE(TickManualTimers());
    EXPECT_EQ(sound.starts, starts) << "off normal speed the sound holds";
    EXPECT_EQ(sound.pauses, pauses + 1) << "the sound is held at the new speed's first tick";
    EXPECT_EQ(Clock().FrameIndex, 2) << "playing goes on from the same frame";
    SetSpeedPosition(kNormalSpeedPosition);
    ASSERT_TRUE(TickManualTimers());
    EXPECT_EQ(sound.starts, starts + 1) << "the sound is started again at the new speed's first tick";
    EXPECT_DOUBLE_EQ(sound.lastFraction, 2.0 / 50) << "from the frame on screen";
}

TEST_F(Clock_, NextSegmentChainsToTheEndOfTheFilm) {
    AddSegment({.records = Records(2, 8)});
    AddSegment({.records = Records(3, 8)});
    ASSERT_TRUE(StartSegment(0));
    // A tick per frame, and one that ends the segment when the last frame's period is over.
    EXPECT_EQ(TickToEnd(), 3);
    Pump();
    EXPECT_EQ(Clock().CurrentSegment, 1);
    EXPECT_EQ(Clock().PlayState, Playing);
    EXPECT_EQ(TickToEnd(), 4);
    Pump();  // past the last segment: Stop
    EXPECT_EQ(host.stops, 1);
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_EQ(Clock().CurrentSegment, 0);
    EXPECT_EQ(Clock().FrameIndex, -1);
    EXPECT_TRUE(Clock().StopRequested);
    EXPECT_FALSE(TimerRunning());
    EXPECT_FALSE(StartSegment(-1));
    EXPECT_EQ(host.stops, 1);
}

TEST_F(Clock_, EndOfSegmentOvertakenByStopIsDropped) {
    AddSegment({.records = Records(1, 8)});
    AddSegment({.records = Records(1, 8)});
    ASSERT_TRUE(StartSegment(0));
    TickToEnd();
    StopPlaybackCommand();
    Pump();
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_EQ(Clock().CurrentSegment, 0);
    EXPECT_FALSE(TimerRunning());
}

TEST_F(Clock_, LoadStopsAPlayingClockFirst) {
    AddSegment({.records = Records(5, 8)});
    ASSERT_TRUE(StartSegment(0));
    TickManualTimers();
    StopPlaybackForLoad();
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_EQ(Blocks().Queue.Count(), 0);
    ClearFilm();
    EXPECT_FALSE(TickManualTimers());
}

// The remaining tests run the real timer thread.
class RealClock_ : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        UseRealTimer();
    }
    template <class Pred>
    bool WaitFor(Pred pred, int ms = 5000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

TEST_F(RealClock_, FailureOnTheTimerThreadStopsPlaybackWithAMessage) {
    AddSegment({.records = Records(5, 8)});
    sound.throwOnStart = true;
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(WaitFor([&] { return host.CountPosted<PlaybackError>() == 1; }));
    EXPECT_FALSE(TimerRunning());
    // The lock was released.
    std::thread other([this] {
        EXPECT_TRUE(EngineLock().try_lock());
        EngineLock().unlock();
    });
    other.join();
    Pump();
    EXPECT_TRUE(recorder.Contains("_llseek error"));
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_EQ(host.stops, 1);
}

TEST_F(RealClock_, StopTimerWaitsForARunningTickAndTheTickCanStopItself) {
    AddSegment({.fps = 100, .records = Records(100, 8)});
    std::atomic<bool> inTick{false};
    std::atomic<int> ticks{0};
    host.onTick = [&] {
        inTick = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ticks++;
        inTick = false;
    };
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(WaitFor([&] { return inTick.load(); }));
    StopTimer();
    EXPECT_FALSE(inTick);
    const int after = ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(ticks, after);

    // A one-frame segment: the tick stops its own timer from AdvanceFrame.
    host.onTick = nullptr;
    ClearFilm();
    AddSegment({.records = Records(1, 8)});
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(WaitFor([&] { return !TimerRunning(); }));
    EXPECT_EQ(host.CountPosted<SegmentEnded>(), 1);
    EXPECT_EQ(host.wholePresents, 1 + after);
}

// The first frame, with the sound's start, comes when the segment starts,
// however long the period; later frames keep the period from it, and a
// resumed clock waits a period so the frame on screen is not cut short.
TEST_F(RealClock_, FirstFrameAndSoundComeAtOnceLaterFramesAPeriodApart) {
    using Ms = std::chrono::milliseconds;
    std::mutex lock;
    std::vector<std::chrono::steady_clock::time_point> shown;
    std::vector<int> soundStartsWhenShown;
    host.onPresent = [&](const Picture&) {
        std::lock_guard<std::mutex> guard(lock);
        shown.push_back(std::chrono::steady_clock::now());
        soundStartsWhenShown.push_back(sound.starts);
    };
    auto shownCount = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return shown.size();
    };
    auto since = [&](size_t i, std::chrono::steady_clock::time_point from) {
        std::lock_guard<std::mutex> guard(lock);
        return std::chrono::duration_cast<Ms>(shown[i] - from).count();
    };
    struct Case {
        const char* name;
        uint32_t flags;
        int32_t position;  // 0: x0.1, so 1 fps waits 10 s (3.3 s at three ticks) for a period
    };
    const Case cases[] = {{"1 fps at x0.1", 0, 0}, {"1 fps at x0.1, three ticks per frame", 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        {
            std::lock_guard<std::mutex> guard(lock);
            shown.clear();
            soundStartsWhenShown.clear();
        }
        sound.starts = 0;
        AddSegment({.fps = 1, .flags = c.flags, .records = Records(3, 8)});
        Clock().SpeedPosition = c.position;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(StartSegment(0));
        ASSERT_TRUE(WaitFor([&] { return shownCount() >= 1; }, 2000)) << "no frame before the first period";
        EXPECT_LT(since(0, start), 2000);
        EXPECT_EQ(soundStartsWhenShown[0], 0) << "off normal speed the sound holds";
        StopPlaybackCommand();
    }

    // 1 fps at normal speed: frame 1 a whole period after frame 0.
    ClearFilm();
    AddSegment({.fps = 1, .records = Records(3, 8)});
    Clock().SpeedPosition = kNormalSpeedPosition;
    {
        std::lock_guard<std::mutex> guard(lock);
        shown.clear();
        soundStartsWhenShown.clear();
    }
    sound.starts = 0;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(WaitFor([&] { return shownCount() >= 2; }, 5000));
    EXPECT_LT(since(0, start), 500);
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(soundStartsWhenShown[0], 1) << "the sound starts with the first frame";
    }
    EXPECT_GE(since(1, start), 950);
    // Paused and resumed: frame 2 a period after the resume, not at once.
    SetPlayState(Paused);
    StopTimer();
    const auto resumed = std::chrono::steady_clock::now();
    StartTimer();
    SetPlayState(Playing);
    ASSERT_TRUE(WaitFor([&] { return shownCount() >= 3; }, 5000));
    EXPECT_GE(since(2, resumed), 950);
}

// Run under the thread sanitizer: commands of the main thread racing the
// timer thread's ticks and block hand-overs.
TEST_F(RealClock_, StressCommandsWhileTheTimerRuns) {
    for (int s = 0; s < 3; ++s)
        AddSegment({.width = 64, .height = 8, .fps = 200, .flags = uint32_t(s == 1), .records = Records(40, 512)});
    std::mt19937 rng(11);
    ASSERT_TRUE(StartSegment(0));
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int ops = 0;
    while (std::chrono::steady_clock::now() < end && ops < 3000) {
        ++ops;
        switch (rng() % 8) {
        case 0:
            StartSegment(static_cast<int32_t>(rng() % 4));
            break;
        case 1:
            if (Clock().PlayState == Playing) {
                SetPlayState(Paused);
                StopTimer();
            }
            break;
        case 2:
            if (Clock().PlayState == Paused) {
                StartTimer();
                SetPlayState(Playing);
            }
            break;
        case 3:
            if (rng() % 4 == 0)
                StopPlaybackCommand();
            break;
        case 4:
            SetSpeedPosition(static_cast<int32_t>(rng() % 9));
            break;
        default:
            Pump();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
    }
    StopPlaybackCommand();
    Pump();
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(LiveTimerCount(), 0);
    for (const auto& m : recorder.Messages())
        ADD_FAILURE() << m.caption << ": " << m.text;
}

}  // namespace
}  // namespace movarel::test
