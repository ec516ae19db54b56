#pragma once
// The recorded cursor: one sample per timer tick, drawn over the picture and
// erased again before the next frame is applied, so it never becomes part of
// the XOR-coded picture.
#include <cstdint>
#include <vector>

#include "engine/EngineHost.h"

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
};

CursorState& Cursor();

void UpdateCursorBox(const Segment& segment);
// Both boxes off the picture, no sample yet.
void ResetCursorBox();

void RestoreCursorBackground();
void ReadCursorSample();
void SaveCursorBackground();
void DrawCursor();
void CommitCursorPosition();

// The rectangles to present for the cursor's move from the old to the new
// box, clipped to the picture: one when the boxes overlap, else the old box
// then the new one. Returns how many (0 to 2).
int CursorAreaRects(PixelRect rects[2]);

}  // namespace movarel
