#include "engine/FrameDecoder.h"

#include <algorithm>
#include <cstring>

#include "film/Film.h"
#include "film/MessageTexts.h"
#include "platform/LittleEndian.h"

namespace movarel {
namespace {

uint32_t RunColour(const uint8_t* run) { return ReadU24LE(run); }

uint16_t RunCount(const uint8_t* run) { return ReadU16LE(run + 3); }

int32_t SurfaceStride(const DecodingState& d) { return d.RowBytes + d.RowPadding; }

// Writes n pixels of colour into the surface starting at (x, y); the piece
// never crosses the end of the row.
void WritePixels(DecodingState& d, int32_t x, int32_t y, int32_t n, uint32_t colour) {
    uint8_t* at = d.XorSurface.data() + static_cast<size_t>(y) * SurfaceStride(d) +
                  static_cast<size_t>(x) * d.Layout.PixelBytes;
    if (d.Layout.PixelBytes == 4) {
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

void ZeroSurfaceSpans(DecodingState& d) {
    if (!d.SpansComplete) {
        std::fill(d.XorSurface.begin(), d.XorSurface.end(), uint8_t{0});
    } else {
        for (const XorSpan& span : d.Spans) {
            int32_t y = span.Offset / d.Width, x = span.Offset % d.Width;
            WritePixels(d, x, y, span.Count, 0);
        }
    }
    d.Spans.clear();
    d.SpansComplete = true;
}

void CreateSurfaces(DecodingState& d) {
    d.XorSurface.assign(d.Decodable ? static_cast<size_t>(SurfaceStride(d)) * static_cast<size_t>(d.Height + 1) : 0,
                        uint8_t{0});
    d.XorSurface.shrink_to_fit();
    d.Image.Reset(d.Width, d.Height);
    d.Image.Pixels.shrink_to_fit();
    d.Spans.clear();
    d.Spans.reserve(kMaxXorSpans);
    d.SpansComplete = true;
}

}  // namespace

int64_t LargestRecordBytes(int32_t width, int32_t height) {
    return 8 + 5 * static_cast<int64_t>(width) * static_cast<int64_t>(height);
}

bool SetPixelLayout(DecodingState& d, int32_t bitsPerPixel) {
    if (bitsPerPixel == 24 || bitsPerPixel == 32) {
        d.Layout.PixelBytes = bitsPerPixel / 8;
        d.Layout.ColourBytes = 3;
        d.Layout.CountBytes = 2;
        d.Layout.RunBytes = 5;
        d.Layout.LargestCount = 65535;
        return true;
    }
    return false;
}

bool PrepareSurfaces(DecodingState& d, const Segment& segment, int32_t screenBits) {
    d.StretchFlag = false;
    bool changed = false;
    if (segment.BitsPerPixel != d.BitsPerPixel) {
        d.BitsPerPixel = segment.BitsPerPixel;
        changed = true;
    }
    const bool laidOut = SetPixelLayout(d, segment.BitsPerPixel);
    d.Decodable = segment.BitsPerPixel == 24 || segment.BitsPerPixel == 32;
    if (segment.Width != d.Width || segment.Height != d.Height) {
        d.Width = segment.Width;
        d.Height = segment.Height;
        changed = true;
    }
    d.RowBytes = d.Width * d.Layout.PixelBytes;
    d.RowPadding = (d.RowBytes % 4) ? 4 - d.RowBytes % 4 : 0;
    d.LargestFrame = 5 * static_cast<int64_t>(d.Width) * d.Height;
    const size_t surfaceBytes =
        d.Decodable ? static_cast<size_t>(SurfaceStride(d)) * static_cast<size_t>(d.Height + 1) : 0;
    if (changed || screenBits != d.ScreenBits || d.XorSurface.size() != surfaceBytes ||
        d.Image.Pixels.size() != static_cast<size_t>(d.Width) * static_cast<size_t>(d.Height)) {
        d.ScreenBits = screenBits;
        CreateSurfaces(d);
    }
    return laidOut;
}

void ClearFrameBitmaps(DecodingState& d) {
    std::fill(d.XorSurface.begin(), d.XorSurface.end(), uint8_t{0});
    std::fill(d.Image.Pixels.begin(), d.Image.Pixels.end(), 0u);
    d.Spans.clear();
    d.SpansComplete = true;
}

void DeleteFrameBitmaps(DecodingState& d) {
    d.XorSurface.clear();
    d.XorSurface.shrink_to_fit();
    d.Image.Pixels.clear();
    d.Image.Pixels.shrink_to_fit();
    d.Spans.clear();
    d.Spans.shrink_to_fit();
    d.SpansComplete = true;
}

UnpackResult UnpackRecord(DecodingState& d, const uint8_t* record, int32_t available) {
    if (!d.Decodable || d.XorSurface.empty())
        return UnpackResult::Skipped;
    if (record == nullptr || available < 4)
        return UnpackResult::NoRecord;
    const int32_t size = ReadI32LE(record);
    if (size > available)
        return UnpackResult::TooLarge;
    if (size < 8)
        return UnpackResult::BadRuns;
    const int32_t runCount = ReadI32LE(record + 4);
    if (runCount <= 0 || 8 + 5 * static_cast<int64_t>(runCount) > size)
        return UnpackResult::BadRuns;
    const uint8_t* runs = record + 8;
    const int64_t pixels = static_cast<int64_t>(d.Width) * d.Height;
    int64_t covered = 0;
    for (int32_t i = 0; i < runCount; ++i)
        covered += RunCount(runs + 5 * static_cast<size_t>(i));
    if (covered != pixels)
        return UnpackResult::BadRuns;

    // Only the changing runs are written: the surface is zero everywhere else.
    ZeroSurfaceSpans(d);
    const int32_t width = d.Width;
    int32_t x = 0, y = 0;
    for (int32_t i = 0; i < runCount; ++i) {
        const uint8_t* run = runs + 5 * static_cast<size_t>(i);
        int32_t count = RunCount(run);
        if (count == 0)
            continue;
        const uint32_t colour = RunColour(run);
        if (colour == 0) {
            const int32_t end = x + count;
            y += end / width;
            x = end % width;
            continue;
        }
        while (count > 0) {
            const int32_t n = std::min(count, width - x);
            WritePixels(d, x, y, n, colour);
            if (d.SpansComplete) {
                if (d.Spans.size() < kMaxXorSpans)
                    d.Spans.push_back(XorSpan{y * width + x, n, colour});
                else
                    d.SpansComplete = false;
            }
            count -= n;
            x += n;
            if (x == width) {
                x = 0;
                ++y;
            }
        }
    }
    return UnpackResult::Done;
}

void ApplyXorFrame(DecodingState& d) {
    if (!d.Decodable)
        return;
    const size_t pixels = static_cast<size_t>(d.Width) * static_cast<size_t>(d.Height);
    if (d.Image.Pixels.size() != pixels || d.XorSurface.empty())
        return;
    uint32_t* picture = d.Image.Pixels.data();
    if (d.SpansComplete) {
        for (const XorSpan& span : d.Spans) {
            uint32_t* at = picture + span.Offset;
            for (int32_t i = 0; i < span.Count; ++i)
                at[i] ^= span.Colour;
        }
        return;
    }
    const int32_t stride = SurfaceStride(d);
    for (int32_t y = 0; y < d.Height; ++y) {
        const uint8_t* src = d.XorSurface.data() + static_cast<size_t>(y) * stride;
        uint32_t* row = picture + static_cast<size_t>(y) * d.Width;
        if (d.Layout.PixelBytes == 4) {
            for (int32_t x = 0; x < d.Width; ++x) {
                // The surface's own pixels, which WritePixels stores in native order.
                uint32_t v;
                std::memcpy(&v, src + 4 * static_cast<size_t>(x), 4);
                row[x] ^= v & 0x00FFFFFFu;
            }
        } else {
            for (int32_t x = 0; x < d.Width; ++x) {
                row[x] ^= ReadU24LE(src + 3 * static_cast<size_t>(x));
            }
        }
    }
}

std::string RefusedRecordMessage(UnpackResult result, int32_t segment, int32_t frame) {
    switch (result) {
    case UnpackResult::TooLarge:
        return FormatText("Frame %d of segment %d cannot be shown: its record is longer than the data that holds it.",
                          {int64_t{frame + 1}, int64_t{segment + 1}});
    case UnpackResult::BadRuns:
        return FormatText("Frame %d of segment %d cannot be shown: its runs do not cover the frame's pixels exactly.",
                          {int64_t{frame + 1}, int64_t{segment + 1}});
    case UnpackResult::NoRecord:
        return "UnpackFrame: Frame Is Nil";
    default:
        return std::string();
    }
}

}  // namespace movarel
