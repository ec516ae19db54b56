// Cursor shape records: reading, refusing bad ones without losing the next
// record, and AND-then-XOR drawing clipped to the picture.
#include <gtest/gtest.h>

#include "FilmWriter.h"
#include "film/Picture.h"
#include "film/CursorShapes.h"
#include "film/Streams.h"

using namespace movarel;
using namespace movarel::writer;

namespace {

MemoryStream StreamOf(const Bytes& bytes) {
    MemoryStream s;
    s.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    return s;
}

// 2 x 2 colour shape: top-left pixel opaque red, the rest show through and
// get XOR 0x000001.
CursorShapeSpec SmallColour(uint8_t bpp) {
    return ColourCursor(2, 2, {0, 1, 1, 1}, {0xFF0000, 1, 1, 1}, 1, 1, bpp);
}

}  // namespace

TEST(CursorShapes, ColourShapesDrawAndThenXorAtTheHotspotCorner) {
    for (uint8_t bpp : {uint8_t{24}, uint8_t{32}}) {
        SCOPED_TRACE(bpp);
        MemoryStream s = StreamOf(EncodeCursorShape(SmallColour(bpp)));
        CursorShape c;
        ASSERT_EQ(c.LoadFromFile(s), CursorShape::kLoaded);
        EXPECT_EQ(c.MaskWidth(), 2);
        EXPECT_EQ(c.MaskHeight(), 2);
        Picture p;
        p.Reset(4, 3);
        std::fill(p.Pixels.begin(), p.Pixels.end(), 0x00404040u);
        c.Draw(p, 2, 2);  // corner (1, 1)
        EXPECT_EQ(p.Row(1)[1], 0x00FF0000u);
        EXPECT_EQ(p.Row(1)[2], 0x00404041u);
        EXPECT_EQ(p.Row(2)[1], 0x00404041u);
        EXPECT_EQ(p.Row(0)[0], 0x00404040u);
        EXPECT_EQ(p.Row(1)[3], 0x00404040u);
    }
}

TEST(CursorShapes, MonochromeShapesUseTheTwoMaskHalves) {
    // 16 x 16 cursor: mask 16 x 32; AND all set, XOR set on the diagonal.
    std::vector<uint8_t> andMask(256, 1), xorMask(256, 0);
    for (int i = 0; i < 16; ++i)
        xorMask[static_cast<size_t>(i * 16 + i)] = 1;
    MemoryStream s = StreamOf(EncodeCursorShape(MonoCursor(16, 16, andMask, xorMask)));
    CursorShape c;
    ASSERT_EQ(c.LoadFromFile(s), CursorShape::kLoaded);
    EXPECT_EQ(c.MaskWidth(), 16);
    EXPECT_EQ(c.MaskHeight(), 32);
    Picture p;
    p.Reset(20, 20);
    c.Draw(p, 0, 0);
    EXPECT_EQ(p.Row(5)[5], 0x00FFFFFFu);
    EXPECT_EQ(p.Row(5)[6], 0u);
    EXPECT_EQ(p.Row(17)[17], 0u) << "only the cursor's height is drawn";
}

TEST(CursorShapes, DrawingIsClippedOnEverySide) {
    MemoryStream s = StreamOf(EncodeCursorShape(SmallColour(32)));
    CursorShape c;
    ASSERT_EQ(c.LoadFromFile(s), CursorShape::kLoaded);
    Picture p;
    p.Reset(3, 3);
    for (auto [x, y] : {std::pair{0, 0}, {-5, -5}, {3, 3}, {4, 1}, {-2147483647, 2147483647}, {2147483647, 0}})
        c.Draw(p, x, y);
    // (0, 0): corner (-1, -1), only the shape's last pixel lands; (3, 3):
    // corner (2, 2), only its first; the others fall outside.
    std::vector<uint32_t> expected(9, 0u);
    expected[0] = 0x000001u;
    expected[8] = 0xFF0000u;
    EXPECT_EQ(p.Pixels, expected);
}

TEST(CursorShapes, BadShapesAreRefusedButTheNextRecordFollows) {
    CursorShapeSpec tooBig = MonoCursor(300, 300, std::vector<uint8_t>(90000, 1), std::vector<uint8_t>(90000, 0));
    CursorShapeSpec wrongSize = SmallColour(32);
    wrongSize.colourSize -= 4;
    wrongSize.colourBits.resize(static_cast<size_t>(wrongSize.colourSize));
    CursorShapeSpec depth16 = SmallColour(32);
    depth16.colourBpp = 16;
    CursorShapeSpec oddMono = MonoCursor(2, 1, {1, 1}, {0, 0});
    oddMono.maskHeight = 3;
    oddMono.maskBits.resize(6);
    oddMono.maskSize = 6;
    CursorShapeSpec noMask = SmallColour(32);
    noMask.maskSize = 0;
    noMask.maskBits.clear();
    for (const CursorShapeSpec& bad : {tooBig, wrongSize, depth16, oddMono, noMask}) {
        Bytes bytes = EncodeCursorShape(bad);
        Append(bytes, EncodeCursorShape(SmallColour(24)));
        MemoryStream s = StreamOf(bytes);
        CursorShape c;
        EXPECT_EQ(c.LoadFromFile(s), CursorShape::kNoBitmap);
        EXPECT_EQ(c.MaskWidth(), 0);
        Picture p;
        p.Reset(2, 2);
        c.Draw(p, 0, 0);
        EXPECT_EQ(p.Pixels, std::vector<uint32_t>(4, 0u));
        CursorShape next;
        EXPECT_EQ(next.LoadFromFile(s), CursorShape::kLoaded);
        EXPECT_EQ(next.HotSpotX, 1);
    }
}

TEST(CursorShapes, EmptyRecordIs34BytesAndAShortOneRaises) {
    Bytes empty = EncodeCursorShape(CursorShapeSpec{});
    ASSERT_EQ(empty.size(), 34u);
    MemoryStream s = StreamOf(empty);
    CursorShape c;
    EXPECT_EQ(c.LoadFromFile(s), CursorShape::kLoaded);
    EXPECT_EQ(s.GetPosition(), 34);
    Bytes huge = EncodeCursorShape(CursorShapeSpec{});
    huge[8] = 0xFF, huge[9] = 0xFF, huge[10] = 0xFF, huge[11] = 0x7F;  // mask size 2 GiB
    MemoryStream h = StreamOf(huge);
    EXPECT_THROW(c.LoadFromFile(h), Error);
}
