#include "film/CursorShapes.h"

#include <algorithm>

#include "film/Picture.h"
#include "film/Streams.h"
#include "platform/LittleEndian.h"

namespace movarel {

namespace {

// The largest shape the player draws; anything bigger is a damaged record.
constexpr int32_t kMaxShapeSide = 256;

void ReadHeader(Stream& stream, ShapeBitmap& d) {
    uint8_t h[13];
    stream.ReadBuffer(h, 13);
    d.Size = ReadI32LE(h);
    d.Width = ReadI32LE(h + 4);
    d.Height = ReadI32LE(h + 8);
    d.BitsPixel = h[12];
}

// Moves the stream past count bytes without keeping them.
void Skip(Stream& stream, int32_t count) {
    uint8_t buffer[4096];
    while (count > 0) {
        int32_t n = std::min<int32_t>(count, static_cast<int32_t>(sizeof buffer));
        stream.ReadBuffer(buffer, n);
        count -= n;
    }
}

bool SideOk(int32_t v, int32_t max) { return v > 0 && v <= max; }

int64_t MaskRowBytes(int32_t width) { return (static_cast<int64_t>(width) + 15) / 16 * 2; }
int64_t ColourRowBytes(int32_t width, int bits) { return (static_cast<int64_t>(width) * bits / 8 + 3) / 4 * 4; }

bool MaskBit(const std::vector<uint8_t>& bits, int32_t width, int32_t x, int32_t y) {
    size_t at = static_cast<size_t>(y * MaskRowBytes(width) + x / 8);
    return (bits[at] & (0x80 >> (x % 8))) != 0;
}

}  // namespace

void CursorShape::Free() {
    HotSpotX = HotSpotY = 0;
    Mask = ShapeBitmap();
    Colour = ShapeBitmap();
    andMask.clear();
    xorColour.clear();
    andMaskWidth = andMaskHeight = xorColourWidth = xorColourHeight = 0;
    loaded = false;
}

int CursorShape::LoadFromFile(Stream& stream) {
    Free();
    uint8_t hot[8];
    stream.ReadBuffer(hot, 8);
    HotSpotX = ReadI32LE(hot);
    HotSpotY = ReadI32LE(hot + 4);

    bool refused = false;
    ReadHeader(stream, Mask);
    if (Mask.Size > 0) {
        // A mono mask holds the AND and the XOR half, so it may be twice as high.
        bool shapeOk = Mask.BitsPixel == 1 && SideOk(Mask.Width, kMaxShapeSide) &&
                       SideOk(Mask.Height, 2 * kMaxShapeSide) &&
                       Mask.Size >= MaskRowBytes(Mask.Width) * Mask.Height &&
                       Mask.Size <= MaskRowBytes(Mask.Width) * Mask.Height + 4;
        if (shapeOk) {
            Mask.Bits.resize(static_cast<size_t>(Mask.Size));
            stream.ReadBuffer(Mask.Bits.data(), Mask.Size);
        } else {
            refused = true;
            Skip(stream, Mask.Size);
        }
    }
    ReadHeader(stream, Colour);
    if (Colour.Size > 0) {
        // 24 and 32 bits are what recorders write; other depths would need a
        // palette the record does not carry, so such shapes are refused.
        bool shapeOk = (Colour.BitsPixel == 24 || Colour.BitsPixel == 32) &&
                       SideOk(Colour.Width, kMaxShapeSide) && SideOk(Colour.Height, kMaxShapeSide) &&
                       Colour.Size >= ColourRowBytes(Colour.Width, Colour.BitsPixel) * Colour.Height &&
                       Colour.Size <= ColourRowBytes(Colour.Width, Colour.BitsPixel) * Colour.Height + 4;
        if (shapeOk && !refused) {
            Colour.Bits.resize(static_cast<size_t>(Colour.Size));
            stream.ReadBuffer(Colour.Bits.data(), Colour.Size);
        } else {
            refused = true;
            Skip(stream, Colour.Size);
        }
    }
    if (!refused && Colour.Size > 0 && Mask.Size <= 0)
        refused = true;  // a colour shape needs its AND mask
    if (!refused && Colour.Size <= 0 && Mask.Size > 0 && Mask.Height % 2 != 0)
        refused = true;  // a mono mask is two halves of the same height
    if (refused) {
        int32_t hx = HotSpotX, hy = HotSpotY;
        Free();
        HotSpotX = hx;
        HotSpotY = hy;
        return kNoBitmap;
    }

    if (Mask.Size > 0 && Colour.Size > 0) {
        andMaskWidth = Mask.Width;
        andMaskHeight = Mask.Height;
        xorColourWidth = Colour.Width;
        xorColourHeight = Colour.Height;
    } else if (Mask.Size > 0) {
        andMaskWidth = xorColourWidth = Mask.Width;
        andMaskHeight = xorColourHeight = Mask.Height / 2;
    }
    andMask.resize(static_cast<size_t>(andMaskWidth) * static_cast<size_t>(andMaskHeight));
    for (int32_t y = 0; y < andMaskHeight; ++y)
        for (int32_t x = 0; x < andMaskWidth; ++x)
            andMask[static_cast<size_t>(y * andMaskWidth + x)] = MaskBit(Mask.Bits, Mask.Width, x, y) ? 0x00FFFFFFu : 0u;
    xorColour.resize(static_cast<size_t>(xorColourWidth) * static_cast<size_t>(xorColourHeight));
    if (Colour.Size > 0) {
        int64_t rowBytes = ColourRowBytes(Colour.Width, Colour.BitsPixel);
        int pixelBytes = Colour.BitsPixel / 8;
        for (int32_t y = 0; y < xorColourHeight; ++y)
            for (int32_t x = 0; x < xorColourWidth; ++x) {
                const uint8_t* p = Colour.Bits.data() + y * rowBytes + x * pixelBytes;
                xorColour[static_cast<size_t>(y * xorColourWidth + x)] = ReadU24LE(p);
            }
    } else {
        for (int32_t y = 0; y < xorColourHeight; ++y)
            for (int32_t x = 0; x < xorColourWidth; ++x)
                xorColour[static_cast<size_t>(y * xorColourWidth + x)] =
                    MaskBit(Mask.Bits, Mask.Width, x, y + andMaskHeight) ? 0x00FFFFFFu : 0u;
    }
    loaded = true;
    return kLoaded;
}

namespace {

// Applies op to every pixel of a w x h block at (left, top) that lies inside
// the picture.
template <class Op>
void ForClipped(Picture& picture, int64_t left, int64_t top, int32_t w, int32_t h, Op op) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() < static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height))
        return;
    int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    int64_t x1 = std::min<int64_t>(left + w, picture.Width), y1 = std::min<int64_t>(top + h, picture.Height);
    for (int64_t y = y0; y < y1; ++y) {
        uint32_t* row = picture.Row(static_cast<int32_t>(y));
        for (int64_t x = x0; x < x1; ++x)
            op(row[x], static_cast<size_t>((y - top) * w + (x - left)));
    }
}

}  // namespace

void CursorShape::Draw(Picture& picture, int32_t x, int32_t y) const {
    if (!loaded)
        return;
    int64_t left = static_cast<int64_t>(x) - HotSpotX, top = static_cast<int64_t>(y) - HotSpotY;
    ForClipped(picture, left, top, andMaskWidth, andMaskHeight, [&](uint32_t& px, size_t i) { px &= andMask[i]; });
    ForClipped(picture, left, top, xorColourWidth, xorColourHeight, [&](uint32_t& px, size_t i) { px ^= xorColour[i]; });
}

}  // namespace movarel
