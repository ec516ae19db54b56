// Frame records into the picture.
#include <random>

#include "EngineFixture.h"
#include "engine/Player.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {
namespace {

using writer::MakeFrameRecord;
using FrameRun = writer::Run;

class Decoding_ : public EngineTest {
protected:
    // Starts a one-segment film and runs its first tick.
    void ShowFirst(SegmentBuild build) {
        AddSegment(build);
        ASSERT_TRUE(StartSegment(0));
        ASSERT_TRUE(TickManualTimers());
    }
};

TEST_F(Decoding_, RunsWrapRowsAndSkipPadding) {
    struct Case {
        const char* name;
        int32_t width, height;
        uint8_t bpp;
        std::vector<FrameRun> runs;
        std::vector<uint32_t> picture;
    };
    const uint32_t A = 0x00112233, B = 0x00445566;
    const std::vector<Case> cases = {
        {"24-bit width 3, one run over three rows", 3, 3, 24, {{A, 9}}, std::vector<uint32_t>(9, A)},
        {"run ends at the row end", 5, 2, 24, {{A, 5}, {B, 5}}, {A, A, A, A, A, B, B, B, B, B}},
        {"count-0 runs are skipped", 2, 2, 24, {{B, 0}, {A, 3}, {B, 0}, {0, 1}}, {A, A, A, 0}},
        {"32-bit rows without padding", 3, 2, 32, {{A, 4}, {B, 2}}, {A, A, A, A, B, B}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        ShowFirst({.width = c.width, .height = c.height, .bpp = c.bpp, .records = {MakeFrameRecord(c.runs)}});
        EXPECT_EQ(CurrentPicture().Pixels, c.picture);
        const DecodingState& d = Decoding();
        const int32_t pixelBytes = c.bpp / 8;
        EXPECT_EQ(d.RowBytes, c.width * pixelBytes);
        EXPECT_EQ((d.RowBytes + d.RowPadding) % 4, 0);
        EXPECT_EQ(d.XorSurface.size(), static_cast<size_t>(d.RowBytes + d.RowPadding) * (c.height + 1));
    }
}

TEST_F(Decoding_, ApplyingTheSameRecordTwiceRestoresThePicture) {
    const uint32_t A = 0x00FF00FF;
    ShowFirst({.width = 4, .height = 2, .bpp = 24, .records = {MakeFrameRecord({{A, 8}}), MakeFrameRecord({{0, 3}, {0x00010203, 5}})}});
    ASSERT_TRUE(TickManualTimers());
    std::vector<uint32_t> before = CurrentPicture().Pixels;
    ApplyXorFrame(Decoding());
    EXPECT_NE(CurrentPicture().Pixels, before);
    ApplyXorFrame(Decoding());
    EXPECT_EQ(CurrentPicture().Pixels, before);
}

// The sparse path (only changed runs written and applied) and the full-surface
// path must give the same pictures as a plain decoder, frame after frame.
TEST_F(Decoding_, PicturesMatchAPlainDecoderOnBothPaths) {
    const int32_t w = 401, h = 400;  // 160,400 pixels: one run per pixel exceeds the span list
    std::mt19937 rng(7);
    std::vector<writer::Bytes> records;
    std::vector<FrameRun> dense;
    for (int32_t i = 0; i < w * h; ++i)
        dense.push_back({static_cast<uint32_t>(rng() & 0xFFFFFF), 1});
    records.push_back(MakeFrameRecord(dense));
    for (int f = 0; f < 6; ++f) {
        std::vector<FrameRun> runs;
        int32_t left = w * h;
        while (left > 0) {
            uint16_t n = static_cast<uint16_t>(std::min<int32_t>(left, 1 + rng() % 3000));
            runs.push_back({static_cast<uint32_t>((rng() % 3 == 0) ? (rng() & 0xFFFFFF) : 0u), n});
            left -= n;
        }
        records.push_back(MakeFrameRecord(runs));
    }
    records.push_back(MakeFrameRecord(dense));  // back to the full path after sparse frames
    for (uint8_t bpp : {uint8_t{24}, uint8_t{32}}) {
        SCOPED_TRACE(int{bpp});
        ClearFilm();
        ShowFirst({.width = w - 1, .height = h, .bpp = bpp, .records = {}});  // a different size first
        ClearFilm();
        SegmentBuild build{.width = w, .height = h, .bpp = bpp, .records = records};
        AddSegment(build);
        ASSERT_TRUE(StartSegment(0));
        for (size_t f = 0; f < records.size(); ++f) {
            ASSERT_TRUE(TickManualTimers());
            Pump(false);
            ASSERT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, w, h, f + 1)) << "frame " << f;
        }
    }
}

TEST_F(Decoding_, RecordsThatDoNotCoverTheFrameStopTheSegment) {
    struct Case {
        const char* name;
        writer::Bytes record;
    };
    const std::vector<Case> cases = {
        {"more pixels than the frame", MakeFrameRecord({{0x00FFFFFF, 9}})},
        {"fewer pixels than the frame", MakeFrameRecord({{0x00FFFFFF, 7}})},
        {"no runs", MakeFrameRecord({})},
        {"run count past the record", MakeFrameRecord({{0x00FFFFFF, 8}}, std::nullopt, 1000)},
        {"size shorter than its header", MakeFrameRecord({{0x00FFFFFF, 8}}, 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        recorder.Clear();
        const writer::Bytes good = MakeFrameRecord({{0x00000011, 8}});
        AddSegment({.width = 4, .height = 2, .bpp = 32, .records = {good, c.record, good}});
        ASSERT_TRUE(StartSegment(0));
        const int before = host.CountPosted<PlaybackError>();
        TickToEnd(20);
        EXPECT_FALSE(TimerRunning());
        EXPECT_EQ(host.CountPosted<PlaybackError>(), before + 1);
        EXPECT_EQ(host.CountPosted<SegmentEnded>(), 0);
        // Only the good first frame was applied.
        EXPECT_EQ(CurrentPicture().Pixels, std::vector<uint32_t>(8, 0x11));
        Pump();
        EXPECT_TRUE(recorder.Contains("Frame 2 of segment 1 cannot be shown")) << player->LastEngineError();
        EXPECT_EQ(Clock().PlayState, Stopped);
    }
}

TEST_F(Decoding_, DepthWithoutLayoutWarnsAtEveryStartAndDrawsNothing) {
    AddSegment({.width = 2, .height = 2, .bpp = 16, .records = {MakeFrameRecord({{0x00FFFFFF, 4}})}});
    for (int start = 1; start <= 2; ++start) {
        ASSERT_TRUE(StartSegment(0));
        TickToEnd(5);
        int shown = 0;
        for (const auto& m : recorder.Messages())
            if (m.text == "Wrong display settings (16 bit color)" && m.caption == "Error")
                shown++;
        EXPECT_EQ(shown, start);
        EXPECT_EQ(host.minimized, start);
        EXPECT_EQ(CurrentPicture().Pixels, std::vector<uint32_t>(4, 0));
    }
}

TEST_F(Decoding_, FramesTooLargeForABlockOrEmptyAreRefusedAtStart) {
    struct Case {
        int32_t width, height;
        const char* refusal;  // nullptr: plays
    };
    // 8 + 5 * w * h must fit 16 MiB.
    for (Case c : {Case{1831, 1832, nullptr}, Case{1832, 1832, "1832 x 1832 pixels are too large."},
                   Case{0, 10, "0 x 10 pixels are empty."}, Case{-4, 10, "-4 x 10 pixels are empty."},
                   Case{100000, 100000, "100000 x 100000 pixels are too large."}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        ClearFilm();
        recorder.Clear();
        AddSegment({.width = c.width, .height = c.height, .bpp = 32, .records = {}});
        const bool plays = c.refusal == nullptr;
        EXPECT_EQ(StartSegment(0), plays);
        EXPECT_EQ(recorder.Contains("Segment 1 cannot be played: its frames of "), !plays);
        if (!plays) {
            EXPECT_TRUE(recorder.Contains(c.refusal));
            EXPECT_EQ(Clock().PlayState, Stopped);
        }
    }
}

}  // namespace
}  // namespace movarel::test
