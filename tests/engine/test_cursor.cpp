// The recorded cursor over the picture: box size, background, clipping, track.
#include "EngineFixture.h"
#include "engine/Player.h"
#include "film/CursorShapes.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {
namespace {

using writer::MakeFrameRecord;

constexpr uint32_t kBase = 0x00203040;
constexpr uint32_t kInk = 0x00FFEEDD;

void AddShape(Segment* segment, const writer::CursorShapeSpec& written) {
    writer::Bytes bytes = writer::EncodeCursorShape(written);
    MemoryStream stream;
    stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    auto shape = std::make_unique<CursorShape>();
    ASSERT_EQ(shape->LoadFromFile(stream), CursorShape::kLoaded);
    segment->Cursors.Add(std::move(shape));
}

// An opaque colour shape: every pixel becomes kInk.
writer::CursorShapeSpec SquareShape(int32_t w, int32_t h, int32_t hotX, int32_t hotY) {
    return writer::ColourCursor(w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 0),
                                std::vector<uint32_t>(static_cast<size_t>(w * h), kInk), hotX, hotY);
}

writer::CursorShapeSpec Mono(int32_t w, int32_t h) {
    return writer::MonoCursor(w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 1),
                              std::vector<uint8_t>(static_cast<size_t>(w * h), 0));
}

// base with the 4 x 4 shape's pixels inside the picture set to kInk.
std::vector<uint32_t> WithInk(int32_t w, int32_t h, uint32_t base, int32_t left, int32_t top) {
    std::vector<uint32_t> p(static_cast<size_t>(w * h), base);
    for (int32_t y = std::max(top, 0); y < std::min(top + 4, h); ++y)
        for (int32_t x = std::max(left, 0); x < std::min(left + 4, w); ++x)
            p[static_cast<size_t>(y * w + x)] = kInk;
    return p;
}

class Cursor_ : public EngineTest {};

TEST_F(Cursor_, BoxGrowsOverSegmentsAndNeverShrinks) {
    const int32_t width0 = Cursor().BoxWidth, height0 = Cursor().BoxHeight;
    Segment* first = AddSegment({.records = {MakeFrameRecord({{0, 8}})}});
    AddShape(first, SquareShape(32, 32, 0, 0));
    AddShape(first, Mono(32, 32));  // mask 32 x 64
    Segment* second = AddSegment({.records = {MakeFrameRecord({{0, 8}})}});
    AddShape(second, SquareShape(16, 16, 0, 0));
    ASSERT_TRUE(StartSegment(0));
    EXPECT_EQ(Cursor().BoxWidth, std::max(width0, 32));
    EXPECT_EQ(Cursor().BoxHeight, std::max(height0, 64));
    ASSERT_TRUE(StartSegment(1));
    EXPECT_EQ(Cursor().BoxWidth, std::max(width0, 32));
    EXPECT_EQ(Cursor().BoxHeight, std::max(height0, 64));
    EXPECT_EQ(Cursor().Background.size(), static_cast<size_t>(Cursor().BoxWidth * Cursor().BoxHeight));
}

// Samples at and past every edge: what is drawn, saved and restored is
// clipped, and taking the cursor away gives back the frame exactly.
TEST_F(Cursor_, CursorIsClippedAtThePictureEdgesAndLeavesNoTrace) {
    struct Sample {
        uint16_t x, y;
    };
    const std::vector<Sample> samples = {{0, 0}, {7, 7}, {9, 0}, {0, 6}, {3, 3}, {8, 8}};
    std::vector<writer::CursorSample> track;
    for (Sample s : samples)
        track.push_back({0, s.x, s.y});
    std::vector<writer::Bytes> records = {MakeFrameRecord({{kBase, 64}})};
    for (size_t i = 1; i < samples.size(); ++i)
        records.push_back(MakeFrameRecord({{0, 10}, {0x00000101, 1}, {0, 53}}));
    Segment* segment = AddSegment({.width = 8, .height = 8, .records = records, .track = track});
    AddShape(segment, SquareShape(4, 4, 2, 2));
    std::vector<std::vector<uint32_t>> shown;
    host.onPresent = [&](const Picture& picture) { shown.push_back(picture.Pixels); };
    ASSERT_TRUE(StartSegment(0));
    TickToEnd();
    ASSERT_EQ(shown.size(), samples.size());
    for (size_t t = 0; t < samples.size(); ++t) {
        std::vector<uint32_t> frame = ReferenceDecode(records, 8, 8, t + 1);
        std::vector<uint32_t> expected = frame;
        std::vector<uint32_t> ink = WithInk(8, 8, 0, samples[t].x - 2, samples[t].y - 2);
        for (size_t i = 0; i < ink.size(); ++i)
            if (ink[i] == kInk)
                expected[i] = kInk;
        EXPECT_EQ(shown[t], expected) << "tick " << t;
    }
    player->RestoreCursorBackground();
    EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 8, 8, records.size()));
}

TEST_F(Cursor_, HotspotsAtTheEndsOfTheIntRangeDrawNothingAndLeaveThePictureAlone) {
    // The fuzzer's shape: a hotspot of -2147483647 once overflowed the
    // position (sample minus hotspot).
    for (int32_t hot : {INT32_MIN, -2147483647, INT32_MAX}) {
        SCOPED_TRACE(hot);
        ClearFilm();
        std::vector<writer::Bytes> records = {MakeFrameRecord({{kBase, 64}})};
        Segment* segment =
            AddSegment({.width = 8, .height = 8, .records = records, .track = {{0, 1, 1}}});
        AddShape(segment, SquareShape(4, 4, hot, hot));
        std::vector<std::vector<uint32_t>> shown;
        host.onPresent = [&](const Picture& picture) { shown.push_back(picture.Pixels); };
        ASSERT_TRUE(StartSegment(0));
        TickToEnd();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], ReferenceDecode(records, 8, 8, 1));
    }
}

TEST_F(Cursor_, TrackShorterThanTheSegmentAndTracksThatDrawNothing) {
    struct Case {
        const char* name;
        std::vector<writer::CursorSample> track;
        std::vector<int> inkAt;  // per tick: x of the drawn cursor, -1 none
    };
    const std::vector<Case> cases = {
        {"one sample for four ticks", {{0, 2, 2}}, {2, 2, 2, 2}},
        {"empty track", {}, {-1, -1, -1, -1}},
        {"shape index out of range", {{0, 2, 2}, {5, 5, 5}, {0, 4, 2}}, {2, -1, 4, 4}},
    };
    std::vector<writer::Bytes> records = {MakeFrameRecord({{kBase, 64}})};
    for (int i = 1; i < 4; ++i)
        records.push_back(MakeFrameRecord({{0x00010000u * static_cast<uint32_t>(i), 64}}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        // A segment with a track plays first: its last sample must not carry over.
        Segment* before = AddSegment({.width = 8, .height = 8, .records = {records[0]}, .track = {{0, 6, 6}}});
        AddShape(before, SquareShape(4, 4, 0, 0));
        Segment* segment = AddSegment({.width = 8, .height = 8, .records = records, .track = c.track});
        AddShape(segment, SquareShape(4, 4, 0, 0));
        ASSERT_TRUE(StartSegment(0));
        TickToEnd();
        std::vector<std::vector<uint32_t>> shown;
        host.onPresent = [&](const Picture& picture) { shown.push_back(picture.Pixels); };
        ASSERT_TRUE(StartSegment(1));
        TickToEnd();
        host.onPresent = nullptr;
        ASSERT_EQ(shown.size(), 4u);
        for (size_t t = 0; t < 4; ++t) {
            std::vector<uint32_t> frame = ReferenceDecode(records, 8, 8, t + 1);
            std::vector<uint32_t> expected = frame;
            if (c.inkAt[t] >= 0) {
                std::vector<uint32_t> ink = WithInk(8, 8, 0, c.inkAt[t], 2);
                for (size_t i = 0; i < ink.size(); ++i)
                    if (ink[i] == kInk)
                        expected[i] = kInk;
            }
            EXPECT_EQ(shown[t], expected) << "tick " << t;
        }
    }
}

TEST_F(Cursor_, CursorAreaIsOneRectangleWhenTheBoxesOverlap) {
    AddSegment({.width = 100, .height = 50, .records = {MakeFrameRecord({{0, 5000}})}});
    ASSERT_TRUE(StartSegment(0));
    CursorState saved = Cursor();
    struct Case {
        const char* name;
        int32_t oldX, oldY, newX, newY;
        std::vector<PixelRect> rects;
    };
    const std::vector<Case> cases = {
        {"small move", 10, 10, 13, 6, {{10, 6, 13, 14}}},
        {"jump across", 0, 0, 60, 30, {{0, 0, 10, 10}, {60, 30, 10, 10}}},
        {"just apart in x", 10, 10, 20, 12, {{10, 10, 10, 10}, {20, 12, 10, 10}}},
        {"negative corner", -4, -3, -2, -1, {{0, 0, 8, 9}}},
        {"right and bottom edges", 95, 45, 94, 47, {{94, 45, 6, 5}}},
        {"from off the picture", -10, -10, 5, 5, {{5, 5, 10, 10}}},
        {"both off the picture", -30, -30, 200, 200, {}},
    };
    Cursor().BoxWidth = 10;
    Cursor().BoxHeight = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cursor().OldX = c.oldX;
        Cursor().OldY = c.oldY;
        Cursor().NewX = c.newX;
        Cursor().NewY = c.newY;
        PixelRect rects[2];
        int n = player->CursorAreaRects(rects);
        ASSERT_EQ(n, static_cast<int>(c.rects.size()));
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(rects[i].x, c.rects[static_cast<size_t>(i)].x);
            EXPECT_EQ(rects[i].y, c.rects[static_cast<size_t>(i)].y);
            EXPECT_EQ(rects[i].w, c.rects[static_cast<size_t>(i)].w);
            EXPECT_EQ(rects[i].h, c.rects[static_cast<size_t>(i)].h);
        }
    }
    Cursor() = saved;
}

TEST_F(Cursor_, BetweenFramesOnlyTheCursorAreaIsPresented) {
    // The jump is wider than any box the process has grown to.
    std::vector<writer::CursorSample> track = {{0, 1, 1}, {0, 2, 1}, {0, 250, 90}, {0, 251, 90}};
    Segment* segment = AddSegment({.width = 300, .height = 100, .flags = 1,
                                        .records = {MakeFrameRecord({{kBase, 30000}}), MakeFrameRecord({{0, 30000}})},
                                        .track = track});
    AddShape(segment, SquareShape(4, 4, 0, 0));
    ASSERT_TRUE(StartSegment(0));
    TickToEnd();
    // Ticks 1 and 2 between the frames of ticks 0 and 3.
    ASSERT_EQ(host.cursorAreas.size(), 2u);
    EXPECT_EQ(host.cursorAreas[0].size(), 1u);
    EXPECT_EQ(host.cursorAreas[1].size(), 2u);
    EXPECT_EQ(host.cursorAreas[1][0].x, 2);
    EXPECT_EQ(host.cursorAreas[1][1].x, 250);
}

}  // namespace
}  // namespace movarel::test
