#include "engine/FrameDecoder.h"

#include <algorithm>
#include <cstring>

#include "engine/XorRunDecoder.h"
#include "film/Film.h"
#include "film/TextFormat.h"
#include "platform/LittleEndian.h"

namespace movarel {
namespace {

int32_t SurfaceStride(const DecodingState& d) { return d.RowBytes + d.RowPadding; }

void CreateSurfaces(DecodingState& d) {
    d.XorSurface.assign(d.Decodable ? static_cast<size_t>(SurfaceStride(d)) * static_cast<size_t>(d.Height + 1) : 0,
                        uint8_t{0});
    d.XorSurface.shrink_to_fit();
    d.Image.Reset(d.Width, d.Height);
    d.Image.Pixels.shrink_to_fit();
    d.Spans.clear();
    d.Spans.reserve(kMaxXorSpans);
    d.SpansComplete = true;
    d.XorRecord = nullptr;
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
    d.XorRecord = nullptr;
}

void DeleteFrameBitmaps(DecodingState& d) {
    d.XorSurface.clear();
    d.XorSurface.shrink_to_fit();
    d.Image.Pixels.clear();
    d.Image.Pixels.shrink_to_fit();
    d.Spans.clear();
    d.Spans.shrink_to_fit();
    d.SpansComplete = true;
    d.XorRecord = nullptr;
}

UnpackResult UnpackRecord(DecodingState& d, const uint8_t* record, int32_t available) {
    if (!d.Decodable || d.XorSurface.empty())
        return UnpackResult::Skipped;
    switch (CheckXorRecord(record, available, d.Width, d.Height)) {
    case XorRecordCheck::Valid:
        break;
    case XorRecordCheck::NoRecord:
        return UnpackResult::NoRecord;
    case XorRecordCheck::TooLarge:
        return UnpackResult::TooLarge;
    case XorRecordCheck::BadRuns:
        return UnpackResult::BadRuns;
    }
    // The record stays where it is, in its block, until it is applied: the
    // block is handed back only once the clock has moved past its records.
    d.XorRecord = record;
    d.XorRecordBytes = available;
    return UnpackResult::Done;
}

void ApplyXorFrame(DecodingState& d) {
    if (!d.Decodable)
        return;
    const size_t pixels = static_cast<size_t>(d.Width) * static_cast<size_t>(d.Height);
    if (d.Image.Pixels.size() != pixels || d.XorSurface.empty() || d.XorRecord == nullptr)
        return;
    ApplyXorRecord(d.XorRecord, d.XorRecordBytes, d.Image.Pixels.data(), pixels);
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
