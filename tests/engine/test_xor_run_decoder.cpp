// The one-pass decoder against the engine's earlier decoder (XOR surface and
// span list): the same pictures frame after frame and the same refusals, both
// through the plain functions and through the engine's UnpackRecord and
// ApplyXorFrame, at both depths.
#include <cstring>
#include <random>

#include "EngineFixture.h"
#include "SurfaceSpanDecoder.h"
#include "engine/FrameDecoder.h"
#include "engine/PlaybackClock.h"
#include "engine/XorRunDecoder.h"

namespace movarel::test {
namespace {

using writer::MakeFrameRecord;
using Run = writer::Run;
using Old = SurfaceSpanDecoder::Result;

// A record and how many bytes of the data holding it are there (-1: all).
struct Frame {
    writer::Bytes bytes;
    int32_t available = -1;
    int32_t Available() const { return available < 0 ? static_cast<int32_t>(bytes.size()) : available; }
};

struct Case {
    std::string name;
    int32_t width, height;
    std::vector<Frame> frames;
};

XorRecordCheck AsCheck(Old r) {
    switch (r) {
    case Old::Done:
        return XorRecordCheck::Valid;
    case Old::NoRecord:
        return XorRecordCheck::NoRecord;
    case Old::TooLarge:
        return XorRecordCheck::TooLarge;
    case Old::BadRuns:
        break;
    }
    return XorRecordCheck::BadRuns;
}

UnpackResult AsUnpack(Old r) {
    switch (r) {
    case Old::Done:
        return UnpackResult::Done;
    case Old::NoRecord:
        return UnpackResult::NoRecord;
    case Old::TooLarge:
        return UnpackResult::TooLarge;
    case Old::BadRuns:
        break;
    }
    return UnpackResult::BadRuns;
}

writer::Bytes WithField(writer::Bytes record, size_t at, int32_t value) {
    std::memcpy(record.data() + at, &value, 4);
    return record;
}

// Trailing bytes after the runs, counted in the size.
writer::Bytes WithTail(writer::Bytes record, size_t extra) {
    record.resize(record.size() + extra, 0xEE);
    const auto size = static_cast<int32_t>(record.size());
    return WithField(std::move(record), 0, size);
}

std::vector<uint32_t> RandomPicture(size_t pixels, std::mt19937& rng) {
    std::vector<uint32_t> picture(pixels);
    for (uint32_t& p : picture)
        p = rng() & 0xFFFFFFu;
    return picture;
}

// Runs covering the frame, lengths 1..longest, about one in zeroEvery of
// colour 0 (zeroEvery 0: none).
std::vector<Run> RandomRuns(int32_t pixels, uint32_t longest, uint32_t zeroEvery, std::mt19937& rng) {
    std::vector<Run> runs;
    int32_t left = pixels;
    while (left > 0) {
        const uint16_t n = static_cast<uint16_t>(std::min<int64_t>(left, 1 + rng() % longest));
        const bool zero = zeroEvery != 0 && rng() % zeroEvery == 0;
        runs.push_back({zero ? 0u : static_cast<uint32_t>(rng() & 0xFFFFFFu) | 1u, n});
        left -= n;
    }
    return runs;
}

std::vector<Case> Cases() {
    const uint32_t A = 0x00112233, B = 0x00FFFFFF, C = 0x00000001;
    const writer::Bytes good = MakeFrameRecord({{A, 8}});  // 4 x 2
    std::vector<Case> cases = {
        {"runs cross row ends", 3, 3, {{MakeFrameRecord({{A, 7}, {B, 2}})}, {MakeFrameRecord({{0, 2}, {C, 5}, {0, 2}})}}},
        {"colour-0 and count-0 runs", 5, 4,
         {{MakeFrameRecord({{0, 0}, {A, 0}, {0, 7}, {B, 1}, {0, 0}, {A, 12}})},
          {MakeFrameRecord({{B, 3}, {0, 16}, {A, 0}, {C, 1}})}}},
        // The count's low byte sits next to the colour: a zero colour stays a
        // zero run whatever the count.
        {"colour 0 next to a count of 0x0101", 20, 20, {{MakeFrameRecord({{0, 0x0101}, {A, 143}})}}},
        {"largest counts over many rows", 300, 300,
         {{MakeFrameRecord({{A, 65535}, {B, 24465}})},
          {MakeFrameRecord({{0, 65535}, {C, 24465}})},
          {MakeFrameRecord({{B, 65535}, {0, 0}, {A, 24465}})}}},
        {"one pixel wide", 1, 7, {{MakeFrameRecord({{A, 3}, {0, 2}, {B, 2}})}}},
        {"one row", 9, 1, {{MakeFrameRecord({{C, 4}, {A, 5}})}}},
        {"bytes after the runs", 4, 2, {{WithTail(MakeFrameRecord({{A, 5}, {B, 3}}), 7)}}},
        // Refused records, each between good ones: the picture keeps the
        // good frame and the decoder keeps its last accepted record.
        {"refusals", 4, 2,
         {{good},
          {good, 0},
          {good, 3},
          {good, static_cast<int32_t>(good.size()) - 1},
          {WithField(good, 0, -5)},
          {MakeFrameRecord({{A, 8}}, 6)},
          {MakeFrameRecord({}), -1},
          {MakeFrameRecord({{A, 8}}, std::nullopt, -1)},
          {MakeFrameRecord({{A, 8}}, std::nullopt, 1000)},
          {MakeFrameRecord({{A, 7}})},
          {MakeFrameRecord({{A, 9}})},
          // 65552 pixels: 8 more than the frame once cut to 16 bits.
          {MakeFrameRecord({{A, 65535}, {B, 17}})},
          {MakeFrameRecord({{B, 8}})}}},
    };
    // Runs after a record cut short inside its runs.
    const writer::Bytes longer = MakeFrameRecord({{A, 1}, {B, 1}, {C, 6}});
    cases.push_back({"cut inside the runs", 4, 2, {{longer, static_cast<int32_t>(longer.size()) - 2}, {longer}}});

    std::mt19937 rng(11);
    // 401 pixels a row: 24-bit rows need padding; a frame of one run per
    // pixel has more changed pieces than the old span list held.
    const int32_t w = 401, h = 400;
    std::vector<Frame> random;
    random.push_back({MakeFrameRecord(RandomRuns(w * h, 1, 0, rng))});
    for (uint32_t longest : {3000u, 12u, 40u, 65535u})
        random.push_back({MakeFrameRecord(RandomRuns(w * h, longest, 2, rng))});
    random.push_back({MakeFrameRecord(RandomRuns(w * h, 1, 0, rng))});
    random.push_back({MakeFrameRecord(RandomRuns(w * h, 8, 3, rng))});
    cases.push_back({"random frames 401 x 400", w, h, random});

    // Small frames with damage: cut anywhere, a count changed, the run
    // count changed.
    std::vector<Frame> damaged;
    for (int i = 0; i < 300; ++i) {
        writer::Bytes record = MakeFrameRecord(RandomRuns(7 * 5, 6, 3, rng));
        switch (rng() % 4) {
        case 0:
            damaged.push_back({record, static_cast<int32_t>(rng() % (record.size() + 1))});
            break;
        case 1:
            record[8 + 5 * (rng() % ((record.size() - 8) / 5)) + 3 + rng() % 2] ^= static_cast<uint8_t>(1 + rng() % 255);
            damaged.push_back({record});
            break;
        case 2:
            damaged.push_back({WithField(record, 4, static_cast<int32_t>(rng() % 20) - 2)});
            break;
        default:
            damaged.push_back({record});
        }
    }
    cases.push_back({"random damage 7 x 5", 7, 5, damaged});
    return cases;
}

class XorRunDecoder_ : public EngineTest {};

TEST_F(XorRunDecoder_, PicturesAndRefusalsMatchTheSurfaceDecoder) {
    for (const Case& c : Cases()) {
        for (int32_t bpp : {24, 32}) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << bpp << " bits");
            std::mt19937 rng(5);
            const size_t pixels = static_cast<size_t>(c.width) * static_cast<size_t>(c.height);
            const std::vector<uint32_t> start = RandomPicture(pixels, rng);

            SurfaceSpanDecoder old(c.width, c.height, bpp);
            std::vector<uint32_t> expected = start;
            Picture plain;
            plain.Width = c.width;
            plain.Height = c.height;
            plain.Pixels = start;

            ClearFilm();
            AddSegment({.width = c.width, .height = c.height, .bpp = static_cast<uint8_t>(bpp), .records = {}});
            ASSERT_TRUE(StartSegment(0));
            CurrentPicture().Pixels = start;

            for (size_t f = 0; f < c.frames.size(); ++f) {
                SCOPED_TRACE(testing::Message() << "frame " << f);
                const Frame& frame = c.frames[f];
                const Old verdict = old.Unpack(frame.bytes.data(), frame.Available());
                if (verdict == Old::Done)
                    old.Apply(expected.data());

                const std::vector<uint32_t> before = plain.Pixels;
                EXPECT_EQ(DecodeXorRecord(frame.bytes.data(), frame.Available(), plain), AsCheck(verdict));
                if (verdict != Old::Done) {
                    ASSERT_EQ(plain.Pixels, before) << "a refused record changed the picture";
                }
                ASSERT_EQ(plain.Pixels, expected);

                const UnpackResult unpacked = UnpackRecord(Decoding(), frame.bytes.data(), frame.Available());
                EXPECT_EQ(unpacked, AsUnpack(verdict));
                if (unpacked == UnpackResult::Done)
                    ApplyXorFrame(Decoding());
                ASSERT_EQ(CurrentPicture().Pixels, expected);
            }
            // Applying again XORs the last accepted record once more, past
            // any refused ones after it.
            old.Apply(expected.data());
            ApplyXorFrame(Decoding());
            EXPECT_EQ(CurrentPicture().Pixels, expected);
        }
    }
}

TEST_F(XorRunDecoder_, NoRecordAndEmptyFramesAreRefused) {
    Picture picture;
    picture.Reset(2, 2);
    EXPECT_EQ(DecodeXorRecord(nullptr, 100, picture), XorRecordCheck::NoRecord);
    const writer::Bytes none = MakeFrameRecord({{0x00FFFFFF, 0}});
    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-1, -1}})
        EXPECT_EQ(CheckXorRecord(none.data(), static_cast<int64_t>(none.size()), w, h), XorRecordCheck::BadRuns);
    EXPECT_EQ(picture.Pixels, std::vector<uint32_t>(4, 0));
}

// ApplyXorRecord trusts nothing it reads: a record that says more than the
// bytes or the picture hold (as one changed after its check would) stays
// inside both. The buffers are exactly as long as stated, so the address
// sanitizer sees any step outside.
TEST_F(XorRunDecoder_, ApplyStaysInsideBothBuffers) {
    const uint32_t A = 0x00ABCDEF;
    struct Case {
        const char* name;
        writer::Bytes record;
        int64_t available;  // -1: the whole record
        std::vector<uint32_t> picture;  // of 6 pixels, from 0
    };
    const writer::Bytes nine = MakeFrameRecord({{A, 4}, {0, 1}, {A, 4}});
    const std::vector<Case> cases = {
        {"counts past the picture", nine, -1, {A, A, A, A, 0, A}},
        {"run count past the record", MakeFrameRecord({{A, 2}, {A, 1}}, std::nullopt, 1000), -1, {A, A, A, 0, 0, 0}},
        {"size past the available bytes", MakeFrameRecord({{A, 2}, {A, 1}}, 1 << 30), -1, {A, A, A, 0, 0, 0}},
        {"available cuts the second run", MakeFrameRecord({{A, 2}, {A, 1}}), 8 + 5 + 4, {A, A, 0, 0, 0, 0}},
        {"fewer than 8 bytes", MakeFrameRecord({{A, 2}}), 7, {0, 0, 0, 0, 0, 0}},
        {"negative run count", MakeFrameRecord({{A, 2}}, std::nullopt, -3), -1, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int64_t available = c.available < 0 ? static_cast<int64_t>(c.record.size()) : c.available;
        std::vector<uint8_t> bytes(c.record.begin(), c.record.begin() + std::min<int64_t>(available, c.record.size()));
        std::vector<uint32_t> picture(6, 0);
        ApplyXorRecord(bytes.data(), static_cast<int64_t>(bytes.size()), picture.data(), picture.size());
        EXPECT_EQ(picture, c.picture);
    }
}

}  // namespace
}  // namespace movarel::test
