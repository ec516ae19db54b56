// Seeking through the player: the picture after a seek is the one playing
// from the segment's start shows at that frame, cursor included, and the
// play state, the ticks after it and the sound go on from there.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <random>

#include "EngineFixture.h"
#include "film/CursorShapes.h"
#include "film/Streams.h"

namespace movarel::test {
namespace {

std::unique_ptr<CursorShape> Shape(uint32_t ink) {
    writer::Bytes bytes = writer::EncodeCursorShape(
        writer::ColourCursor(4, 4, std::vector<uint8_t>(16, 0), std::vector<uint32_t>(16, ink), 1, 1));
    MemoryStream stream;
    stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    auto shape = std::make_unique<CursorShape>();
    EXPECT_EQ(shape->LoadFromFile(stream), CursorShape::kLoaded);
    return shape;
}

// Moving blocks and a few changed pixels, as XOR records against the frame
// before.
std::vector<writer::Bytes> MovingRecords(int32_t w, int32_t h, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    writer::Image previous(static_cast<size_t>(w) * h, 0), image(static_cast<size_t>(w) * h, 0x00305070u);
    std::vector<writer::Bytes> records;
    for (int f = 0; f < count; ++f) {
        const int32_t bx = static_cast<int32_t>(rng() % w), by = static_cast<int32_t>(rng() % h);
        const uint32_t colour = rng() & 0xFFFFFFu;
        for (int32_t y = by; y < std::min(h, by + 5); ++y)
            for (int32_t x = bx; x < std::min(w, bx + 7); ++x)
                image[static_cast<size_t>(y) * w + x] = colour;
        image[rng() % image.size()] = rng() & 0xFFFFFFu;
        records.push_back(writer::EncodeFrameRecord(previous, image, w, h));
        previous = image;
    }
    return records;
}

std::vector<writer::CursorSample> WanderingTrack(int samples, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<writer::CursorSample> track;
    for (int i = 0; i < samples; ++i)
        track.push_back({static_cast<uint16_t>(rng() % 2), static_cast<uint16_t>(rng() % 30),
                         static_cast<uint16_t>(rng() % 20)});
    return track;
}

struct SegmentPlan {
    int frames;
    uint32_t flags;
    int samples;  // cursor samples in the track (-1: one per tick)
};

// Four segments: one tick per frame, three ticks per frame, a cursor track
// that ends halfway, and none at all.
const SegmentPlan kPlans[] = {
    {40, 0, -1},
    {30, kFlagThreeTicksPerFrame, -1},
    {25, 0, 10},
    {12, 0, 0},
};

class PlayerSeek_ : public EngineTest {
protected:
    static constexpr int32_t kWidth = 28, kHeight = 18;

    void SetUp() override {
        EngineTest::SetUp();
        MakeFilm();
    }

    void MakeFilm() {
        uint32_t seed = 11;
        for (const SegmentPlan& plan : kPlans) {
            const int ticks = (plan.flags & kFlagThreeTicksPerFrame) != 0 ? 3 : 1;
            Segment* segment = AddSegment({.width = kWidth,
                                           .height = kHeight,
                                           .flags = plan.flags,
                                           .records = MovingRecords(kWidth, kHeight, plan.frames, seed),
                                           .track = WanderingTrack(plan.samples < 0 ? plan.frames * ticks
                                                                                    : plan.samples,
                                                                   seed + 1)});
            segment->Cursors.Add(Shape(0x00FFEEDD));
            segment->Cursors.Add(Shape(0x00102030));
            seed += 7;
        }
    }

    // What playing each segment from its start presents at each frame.
    std::vector<std::vector<std::vector<uint32_t>>> PlayEverySegment() {
        std::vector<std::vector<std::vector<uint32_t>>> shown(LoadedFilm().Count());
        for (int32_t i = 0; i < LoadedFilm().Count(); ++i) {
            host.onPresent = [&](const Picture& picture) {
                const int32_t ticks = Clock().TicksPerFrame, tick = Clock().TickCount;
                if (tick % ticks == 0)
                    shown[i].push_back(picture.Pixels);
            };
            EXPECT_TRUE(StartSegment(i));
            TickToEnd();
            host.onPresent = nullptr;
            EXPECT_EQ(shown[i].size(), static_cast<size_t>(LoadedFilm().Items(i)->FrameCount));
        }
        StopPlaybackCommand();
        Pump();
        return shown;
    }

    // Ticks on after a seek, collecting the frames presented, until the
    // segment ends.
    std::map<int32_t, std::vector<uint32_t>> TickOn() {
        std::map<int32_t, std::vector<uint32_t>> shown;
        host.onPresent = [&](const Picture& picture) {
            const int32_t ticks = Clock().TicksPerFrame, tick = Clock().TickCount;
            if (tick % ticks == 0)
                shown[tick / ticks] = picture.Pixels;
        };
        TickToEnd();
        host.onPresent = nullptr;
        return shown;
    }
};

TEST_F(PlayerSeek_, PictureEqualsPlayingFromTheStart) {
    const auto shown = PlayEverySegment();
    // Film's first and last, each segment's first and last, and some inside,
    // visited back and forth across the segments.
    const std::vector<std::pair<int32_t, int32_t>> targets = {
        {0, 0},  {3, 11}, {1, 0}, {1, 29}, {0, 39}, {2, 0},  {2, 24}, {3, 0},  {0, 17},
        {1, 14}, {1, 13}, {2, 9}, {2, 10}, {2, 11}, {0, 18}, {0, 16}, {3, 5},  {0, 0},
    };
    for (const auto& [segment, frame] : targets) {
        SCOPED_TRACE("seek " + std::to_string(segment) + ":" + std::to_string(frame));
        const int presents = host.wholePresents;
        ASSERT_TRUE(player->SeekTo(segment, frame));
        EXPECT_EQ(host.wholePresents, presents + 1);
        EXPECT_EQ(Clock().CurrentSegment, segment);
        EXPECT_EQ(Clock().PlayState, Stopped);
        EXPECT_FALSE(TimerRunning());
        EXPECT_TRUE(CurrentPicture().Pixels == shown[segment][frame]);
    }
}

TEST_F(PlayerSeek_, PlayingGoesOnFromTheTargetIntoTheNextSegment) {
    const auto shown = PlayEverySegment();
    for (const auto& [segment, frame] : std::vector<std::pair<int32_t, int32_t>>{{1, 10}, {0, 3}, {2, 23}, {1, 29}}) {
        SCOPED_TRACE("seek " + std::to_string(segment) + ":" + std::to_string(frame));
        ASSERT_TRUE(StartSegment(0));
        TickManualTimers();
        TickManualTimers();
        Pump();
        ASSERT_TRUE(player->SeekTo(segment, frame));
        EXPECT_EQ(Clock().PlayState, Playing);
        EXPECT_TRUE(TimerRunning());
        EXPECT_TRUE(CurrentPicture().Pixels == shown[segment][frame]);
        const auto after = TickOn();
        const int32_t frames = LoadedFilm().Items(segment)->FrameCount;
        EXPECT_EQ(after.size(), static_cast<size_t>(frames - frame - 1));
        for (const auto& [f, pixels] : after) {
            EXPECT_GT(f, frame);
            EXPECT_TRUE(pixels == shown[segment][f]) << "frame " << f;
        }
        // The end of the segment starts the next one, as playing does.
        Pump();
        EXPECT_EQ(Clock().CurrentSegment, segment + 1);
        EXPECT_EQ(Clock().PlayState, Playing);
        StopPlaybackCommand();
        Pump();
    }
}

TEST_F(PlayerSeek_, PausedAndStoppedStaySoShowingTheFrame) {
    const auto shown = PlayEverySegment();

    ASSERT_TRUE(StartSegment(0));
    TickManualTimers();
    SetPlayState(Paused);
    StopTimer();
    Pump();
    const int starts = sound.starts;
    ASSERT_TRUE(player->SeekTo(1, 7));
    EXPECT_EQ(Clock().PlayState, Paused);
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(sound.starts, starts);
    EXPECT_TRUE(CurrentPicture().Pixels == shown[1][7]);
    // Resumed, it plays on from the next frame.
    StartTimer();
    SetPlayState(Playing);
    const auto after = TickOn();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.begin()->first, 8);
    for (const auto& [f, pixels] : after)
        EXPECT_TRUE(pixels == shown[1][f]) << "frame " << f;
    StopPlaybackCommand();
    Pump();

    const size_t posted = host.Posted().size();
    ASSERT_TRUE(player->SeekTo(2, 20));
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_FALSE(TimerRunning());
    EXPECT_TRUE(CurrentPicture().Pixels == shown[2][20]);
    // The segment was prepared as a start prepares it, and said so.
    const auto events = host.Posted();
    bool told = false;
    for (size_t i = posted; i < events.size(); ++i)
        if (const auto* started = std::get_if<SegmentStarted>(&events[i]))
            told = started->index == 2 && started->prepared && !started->playing;
    EXPECT_TRUE(told);
}

TEST_F(PlayerSeek_, SoundGoesOnFromTheFrameAtNormalSpeedOnly) {
    ASSERT_TRUE(StartSegment(0));
    TickManualTimers();
    Pump();
    const int opens = sound.opens;
    int starts = sound.starts;
    ASSERT_TRUE(player->SeekTo(0, 20));
    EXPECT_EQ(sound.starts, starts + 1);
    EXPECT_DOUBLE_EQ(sound.lastFraction, 20.0 / 40.0);
    EXPECT_EQ(sound.opens, opens);
    // The first tick after the seek does not start it again.
    TickManualTimers();
    EXPECT_EQ(sound.starts, starts + 1);

    // Another segment opens its own sound.
    ASSERT_TRUE(player->SeekTo(1, 6));
    EXPECT_EQ(sound.opens, opens + 1);
    EXPECT_EQ(sound.starts, starts + 2);
    EXPECT_DOUBLE_EQ(sound.lastFraction, 6.0 / 30.0);

    SetSpeedPosition(5);
    starts = sound.starts;
    ASSERT_TRUE(player->SeekTo(1, 12));
    EXPECT_EQ(sound.starts, starts);
    EXPECT_EQ(Clock().PlayState, Playing);
}

TEST_F(PlayerSeek_, TargetsOutsideTheFilmChangeNothing) {
    ASSERT_TRUE(StartSegment(1));
    TickManualTimers();
    Pump();
    const std::vector<uint32_t> before = CurrentPicture().Pixels;
    for (const auto& [segment, frame] : std::vector<std::pair<int32_t, int32_t>>{{-1, 0}, {4, 0}, {0, -1}, {0, 40}, {1, 30}}) {
        EXPECT_FALSE(player->SeekTo(segment, frame)) << segment << ":" << frame;
        EXPECT_EQ(Clock().CurrentSegment, 1);
        EXPECT_EQ(Clock().PlayState, Playing);
        EXPECT_TRUE(CurrentPicture().Pixels == before);
    }
}

TEST_F(PlayerSeek_, TimesMapToSegmentAndFrame) {
    // 25 frames per second: 40, 30 (three ticks each), 25 and 12 frames.
    struct Case {
        double seconds;
        bool found;
        int32_t segment, frame;
    };
    const Case cases[] = {
        {0.0, true, 0, 0},   {0.039, true, 0, 0},  {0.041, true, 0, 1}, {1.59, true, 0, 39},
        {1.61, true, 1, 0},  {2.81, true, 2, 0},   {3.81, true, 3, 0},  {4.27, true, 3, 11},
        {4.3, false, 0, 0},  {-0.5, false, 0, 0},
    };
    for (const Case& c : cases) {
        FilmPosition position;
        ASSERT_EQ(player->PositionAtFilmTime(c.seconds, &position), c.found) << c.seconds;
        if (c.found) {
            EXPECT_EQ(position.Segment, c.segment) << c.seconds;
            EXPECT_EQ(position.Frame, c.frame) << c.seconds;
        }
    }
    FilmPosition position;
    ASSERT_TRUE(player->PositionAtSegmentTime(1, 0.5, &position));
    EXPECT_EQ(position.Segment, 1);
    EXPECT_EQ(position.Frame, 12);
    EXPECT_FALSE(player->PositionAtSegmentTime(1, 1.2, &position));

    // Back from a frame to its start in film time, segments before it summed.
    const std::pair<FilmPosition, double> starts[] = {
        {{0, 0}, 0.0}, {{0, 39}, 1.56}, {{1, 0}, 1.6}, {{2, 5}, 2.8 + 0.2}, {{3, 11}, 3.8 + 0.44}};
    for (const auto& [at, seconds] : starts) {
        EXPECT_NEAR(player->FilmTimeAt(at), seconds, 1e-9) << at.Segment << ":" << at.Frame;
        ASSERT_TRUE(player->PositionAtFilmTime(player->FilmTimeAt(at) + 1e-6, &position));
        EXPECT_EQ(position.Segment, at.Segment);
        EXPECT_EQ(position.Frame, at.Frame);
    }
    EXPECT_NEAR(player->FilmLength(), 4.28, 1e-9);
}

// The index's build is held halfway through segment 0 while the player
// seeks on both sides of it: no seek waits for the build.
TEST_F(PlayerSeek_, SeeksWhileTheIndexIsHalfBuilt) {
    const auto shown = PlayEverySegment();
    std::mutex lock;
    std::condition_variable changed;
    bool halfway = false, release = false;
    PlayerSetup setup;
    setup.Sink = &host;
    setup.Sound = &sound;
    setup.ManualTicks = true;
    setup.SeekLimits.FramesPerSnapshot = 4;
    setup.OnSeekIndexProgress = [&](int32_t segment, const SeekIndexProgress& p) {
        std::unique_lock<std::mutex> guard(lock);
        if (segment == 0 && !halfway && p.FramesIndexed >= 20) {
            halfway = true;
            changed.notify_all();
            changed.wait(guard, [&] { return release; });
        }
    };
    player = std::make_unique<Player>(*film, setup);
    ASSERT_TRUE(StartSegment(0));
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return halfway; }));
    }
    const SeekIndexProgress half = player->SeekIndexProgressOf(0);
    EXPECT_EQ(half.State, SeekIndexState::Building);
    EXPECT_LT(half.FramesIndexed, 40);
    for (int32_t frame : {half.FramesIndexed + 3, 2, half.FramesIndexed - 1, 39, half.FramesIndexed}) {
        ASSERT_TRUE(player->SeekTo(0, frame)) << frame;
        EXPECT_TRUE(CurrentPicture().Pixels == shown[0][frame]) << frame;
    }
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    changed.notify_all();
    // The build calls back into this test's locals until it ends.
    player.reset();
}

}  // namespace
}  // namespace movarel::test
