#pragma once
// Frame decoding: a frame record (run-length coded XOR image) is checked and
// kept, then XORed into the picture (engine/XorRunDecoder).
#include <cstdint>
#include <string>
#include <vector>

#include "film/Picture.h"
#include "platform/LargePages.h"

namespace movarel {

struct Segment;

// The pixel layout of the current segment's depth.
struct PixelLayout {
    int32_t PixelBytes = 0;   // 3 or 4; 0 when the depth has no layout
    int32_t ColourBytes = 3;
    int32_t CountBytes = 2;
    int32_t RunBytes = 5;
    int32_t LargestCount = 65535;
};

// A stretch of one surface row that the last unpacked frame changes.
struct XorSpan {
    int32_t Offset;   // first pixel, counted over the frame (y * width + x)
    int32_t Count;    // pixels, never past the end of the row
    uint32_t Colour;  // 0x00RRGGBB
};

// A Player's decoding state: the surfaces and what they were made for.
struct DecodingState {
    PixelLayout Layout;
    int32_t RowBytes = 0;
    int32_t RowPadding = 0;
    int64_t LargestFrame = 0;
    // Remembered values of the last creation.
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPixel = 0;
    int32_t ScreenBits = 0;
    // The XOR surface in the segment's own layout: (height + 1) rows of
    // RowBytes + RowPadding bytes, top-down.
    std::vector<uint8_t, LargePageAllocator<uint8_t>> XorSurface;
    Picture Image;
    bool StretchFlag = false;
    // The non-zero runs of the last unpacked frame. The surface is zero
    // everywhere else, so applying and clearing touch only these; when they
    // do not fit, SpansComplete is false and the whole surface is used.
    std::vector<XorSpan> Spans;
    bool SpansComplete = true;
    // The last record UnpackRecord accepted, which ApplyXorFrame XORs into
    // the picture; null when there is none. The surface and the spans above
    // are no longer written.
    const uint8_t* XorRecord = nullptr;
    int32_t XorRecordBytes = 0;
    // The current segment's depth has a layout (24 or 32 bits).
    bool Decodable = false;
};

// At most this many spans are kept; a frame with more is applied whole.
constexpr size_t kMaxXorSpans = 1u << 17;

// Outcome of UnpackFrame.
enum class UnpackResult {
    Done,          // the XOR surface holds the record
    Skipped,       // nothing to decode (no segment, depth without layout)
    NoRecord,      // no record at Frame
    TooLarge,      // the record claims more bytes than its block holds
    BadRuns,       // its runs do not lie inside it or do not cover the frame
};

// Sets up layout and surfaces for a segment whose frames fit a block (the
// caller checked its size). screenBits is the screen's depth. False when its
// depth has no layout: nothing can be decoded, the picture stays black.
bool PrepareSurfaces(DecodingState& d, const Segment& segment, int32_t screenBits);
// The layout of a depth; false (the layout unchanged) when it has none.
bool SetPixelLayout(DecodingState& d, int32_t bitsPerPixel);
void ClearFrameBitmaps(DecodingState& d);
void DeleteFrameBitmaps(DecodingState& d);

// Checks one record of available bytes and keeps it for ApplyXorFrame; a
// refused record leaves the one kept before.
UnpackResult UnpackRecord(DecodingState& d, const uint8_t* record, int32_t available);
// picture := picture XOR the kept record's runs.
void ApplyXorFrame(DecodingState& d);

// The message for a refused record of segment index.
std::string RefusedRecordMessage(UnpackResult result, int32_t segment, int32_t frame);

// The largest record a segment of width x height can have: 8 + 5 * w * h.
int64_t LargestRecordBytes(int32_t width, int32_t height);

}  // namespace movarel
