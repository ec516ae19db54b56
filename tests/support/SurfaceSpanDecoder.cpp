#include "SurfaceSpanDecoder.h"

#include <algorithm>
#include <cstring>

#include "platform/LittleEndian.h"

namespace movarel::test {

SurfaceSpanDecoder::SurfaceSpanDecoder(int32_t width, int32_t height, int32_t bitsPerPixel)
    : Width(width), Height(height), PixelBytes(bitsPerPixel / 8) {
    const int32_t rowBytes = Width * PixelBytes;
    Stride = rowBytes + ((rowBytes % 4) ? 4 - rowBytes % 4 : 0);
    Surface.assign(static_cast<size_t>(Stride) * static_cast<size_t>(Height + 1), uint8_t{0});
    Spans.reserve(kMaxSpans);
}

void SurfaceSpanDecoder::WritePixels(int32_t x, int32_t y, int32_t n, uint32_t colour) {
    uint8_t* at = Surface.data() + static_cast<size_t>(y) * Stride + static_cast<size_t>(x) * PixelBytes;
    if (PixelBytes == 4) {
        for (int32_t i = 0; i < n; ++i)
            std::memcpy(at + 4 * static_cast<size_t>(i), &colour, 4);
    } else {
        const uint8_t b = colour & 0xFF, g = (colour >> 8) & 0xFF, r = (colour >> 16) & 0xFF;
        for (int32_t i = 0; i < n; ++i) {
            at[3 * i] = b;
            at[3 * i + 1] = g;
            at[3 * i + 2] = r;
        }
    }
}

void SurfaceSpanDecoder::ZeroSpans() {
    if (!SpansComplete) {
        std::fill(Surface.begin(), Surface.end(), uint8_t{0});
    } else {
        for (const Span& span : Spans)
            WritePixels(span.Offset % Width, span.Offset / Width, span.Count, 0);
    }
    Spans.clear();
    SpansComplete = true;
}

SurfaceSpanDecoder::Result SurfaceSpanDecoder::Unpack(const uint8_t* record, int32_t available) {
    if (record == nullptr || available < 4)
        return Result::NoRecord;
    const int32_t size = ReadI32LE(record);
    if (size > available)
        return Result::TooLarge;
    if (size < 8)
        return Result::BadRuns;
    const int32_t runCount = ReadI32LE(record + 4);
    if (runCount <= 0 || 8 + 5 * static_cast<int64_t>(runCount) > size)
        return Result::BadRuns;
    const uint8_t* runs = record + 8;
    const int64_t pixels = static_cast<int64_t>(Width) * Height;
    int64_t covered = 0;
    for (int32_t i = 0; i < runCount; ++i)
        covered += ReadU16LE(runs + 5 * static_cast<size_t>(i) + 3);
    if (covered != pixels)
        return Result::BadRuns;

    ZeroSpans();
    int32_t x = 0, y = 0;
    for (int32_t i = 0; i < runCount; ++i) {
        const uint8_t* run = runs + 5 * static_cast<size_t>(i);
        int32_t count = ReadU16LE(run + 3);
        if (count == 0)
            continue;
        const uint32_t colour = ReadU24LE(run);
        if (colour == 0) {
            const int32_t end = x + count;
            y += end / Width;
            x = end % Width;
            continue;
        }
        while (count > 0) {
            const int32_t n = std::min(count, Width - x);
            WritePixels(x, y, n, colour);
            if (SpansComplete) {
                if (Spans.size() < kMaxSpans)
                    Spans.push_back(Span{y * Width + x, n, colour});
                else
                    SpansComplete = false;
            }
            count -= n;
            x += n;
            if (x == Width) {
                x = 0;
                ++y;
            }
        }
    }
    return Result::Done;
}

void SurfaceSpanDecoder::Apply(uint32_t* picture) const {
    if (SpansComplete) {
        for (const Span& span : Spans) {
            uint32_t* at = picture + span.Offset;
            for (int32_t i = 0; i < span.Count; ++i)
                at[i] ^= span.Colour;
        }
        return;
    }
    for (int32_t y = 0; y < Height; ++y) {
        const uint8_t* src = Surface.data() + static_cast<size_t>(y) * Stride;
        uint32_t* row = picture + static_cast<size_t>(y) * Width;
        if (PixelBytes == 4) {
            for (int32_t x = 0; x < Width; ++x) {
                uint32_t v;
                std::memcpy(&v, src + 4 * static_cast<size_t>(x), 4);
                row[x] ^= v & 0x00FFFFFFu;
            }
        } else {
            for (int32_t x = 0; x < Width; ++x)
                row[x] ^= ReadU24LE(src + 3 * static_cast<size_t>(x));
        }
    }
}

}  // namespace movarel::test
