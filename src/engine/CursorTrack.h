#pragma once
// The recorded cursor: one sample per timer tick, drawn over the picture and
// erased again before the next frame is applied, so it never becomes part of
// the XOR-coded picture.
#include <cstdint>
#include <vector>

#include "engine/FrameSink.h"
#include "film/Picture.h"

namespace movarel {

struct Segment;
class CursorShape;

struct CursorState {
    // Largest mask size over every segment prepared so far; only grows.
    int32_t BoxWidth = 0;
    int32_t BoxHeight = 0;
    std::vector<uint32_t> Background;  // BoxWidth x BoxHeight
    int32_t OldX = 0, OldY = 0;
    int32_t NewX = 0, NewY = 0;
    // Whether the background holds the picture under the old box.
    bool BackgroundSaved = false;
    const CursorShape* CurrentShape = nullptr;
    bool HaveSample = false;  // a sample of this segment has been read
    uint16_t SampleShape = 0, SampleX = 0, SampleY = 0;
    // Where the next sample is read in the segment's track.
    int64_t TrackOffset = 0;
};

void UpdateCursorBox(CursorState& c, const Segment& segment);
// Both boxes off the picture, no sample yet, the track read from its start.
void ResetCursorBox(CursorState& c);

void RestoreCursorBackground(CursorState& c, Picture& picture);
// The next sample of segment's track (null: no segment, no cursor).
void ReadCursorSample(CursorState& c, const Segment* segment);
void SaveCursorBackground(CursorState& c, Picture& picture);
void DrawCursor(CursorState& c, Picture& picture);
void CommitCursorPosition(CursorState& c);

// The rectangles to present for the cursor's move from the old to the new
// box, clipped to the picture: one when the boxes overlap, else the old box
// then the new one. Returns how many (0 to 2).
int CursorAreaRects(const CursorState& c, const Picture& picture, PixelRect rects[2]);

}  // namespace movarel
