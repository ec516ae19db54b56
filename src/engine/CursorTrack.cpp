#include "engine/CursorTrack.h"

#include <algorithm>
#include <cstdlib>

#include "film/CursorShapes.h"
#include "film/Film.h"
#include "platform/LittleEndian.h"

namespace movarel {
namespace {

struct Clip {
    int32_t x0, y0, x1, y1;  // picture rows and columns covered, end exclusive
};

Clip ClipBox(const Picture& picture, int32_t x, int32_t y, int32_t w, int32_t h) {
    Clip c;
    c.x0 = std::max(x, 0);
    c.y0 = std::max(y, 0);
    c.x1 = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(x) + w, picture.Width));
    c.y1 = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(y) + h, picture.Height));
    // A box wholly right of or below the picture covers nothing (not a
    // negative width).
    c.x1 = std::max(c.x1, c.x0);
    c.y1 = std::max(c.y1, c.y0);
    return c;
}

bool UsableBox(const CursorState& c, const Picture& picture) {
    return c.BoxWidth > 0 && c.BoxHeight > 0 &&
           c.Background.size() == static_cast<size_t>(c.BoxWidth) * static_cast<size_t>(c.BoxHeight) &&
           picture.Pixels.size() == static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height);
}

PixelRect ClipRect(const Picture& picture, int32_t x, int32_t y, int32_t w, int32_t h) {
    Clip c = ClipBox(picture, x, y, w, h);
    if (c.x1 <= c.x0 || c.y1 <= c.y0)
        return PixelRect{0, 0, 0, 0};
    return PixelRect{c.x0, c.y0, c.x1 - c.x0, c.y1 - c.y0};
}

}  // namespace

void UpdateCursorBox(CursorState& c, const Segment& segment) {
    bool grew = false;
    for (int32_t i = 0; i < segment.Cursors.Count(); ++i) {
        const CursorShape* shape = segment.Cursors.Get(i);
        if (shape == nullptr)
            continue;
        // Shape sizes come from the film; a box larger than any picture the
        // engine plays gains nothing, so it is bounded.
        const int32_t w = std::clamp(shape->MaskWidth(), 0, 4096);
        const int32_t h = std::clamp(shape->MaskHeight(), 0, 4096);
        if (w > c.BoxWidth) {
            c.BoxWidth = w;
            grew = true;
        }
        if (h > c.BoxHeight) {
            c.BoxHeight = h;
            grew = true;
        }
    }
    if (grew) {
        c.Background.assign(static_cast<size_t>(c.BoxWidth) * static_cast<size_t>(c.BoxHeight), 0u);
        c.BackgroundSaved = false;
    }
}

void ResetCursorBox(CursorState& c) {
    c.OldX = c.NewX = -c.BoxWidth;
    c.OldY = c.NewY = -c.BoxHeight;
    c.BackgroundSaved = false;
    c.CurrentShape = nullptr;
    c.HaveSample = false;
    c.SampleShape = c.SampleX = c.SampleY = 0;
    c.TrackOffset = 0;
}

// The background is put back only when it holds the picture under a cursor
// drawn since: restoring an older copy after a frame was applied would paint
// a stale patch into the picture.
void RestoreCursorBackground(CursorState& c, Picture& picture) {
    if (!c.BackgroundSaved)
        return;
    c.BackgroundSaved = false;
    if (!UsableBox(c, picture))
        return;
    Clip clip = ClipBox(picture, c.OldX, c.OldY, c.BoxWidth, c.BoxHeight);
    for (int32_t y = clip.y0; y < clip.y1; ++y) {
        const uint32_t* src = c.Background.data() + static_cast<size_t>(y - c.OldY) * c.BoxWidth + (clip.x0 - c.OldX);
        std::copy(src, src + (clip.x1 - clip.x0), picture.Row(y) + clip.x0);
    }
}

void ReadCursorSample(CursorState& c, const Segment* segment) {
    if (segment == nullptr) {
        c.CurrentShape = nullptr;
        return;
    }
    const std::vector<uint8_t>& track = segment->CursorTrack;
    if (c.TrackOffset >= 0 && c.TrackOffset + 6 <= static_cast<int64_t>(track.size())) {
        const uint8_t* bytes = track.data() + c.TrackOffset;
        c.SampleShape = ReadU16LE(bytes);
        c.SampleX = ReadU16LE(bytes + 2);
        c.SampleY = ReadU16LE(bytes + 4);
        c.HaveSample = true;
        c.TrackOffset += 6;
    }
    // Past the end of the track the last sample of this segment stays; a
    // segment that has none draws no cursor.
    if (!c.HaveSample) {
        c.CurrentShape = nullptr;
        return;
    }
    c.CurrentShape = segment->Cursors.Get(c.SampleShape);
    if (c.CurrentShape != nullptr) {
        // Hotspots are any 32-bit value the film holds: the difference is
        // taken wide and held far outside every picture, where it draws
        // nothing and later sums with the box size cannot overflow.
        auto place = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 30), 1 << 30)); };
        c.NewX = place(int64_t{c.SampleX} - c.CurrentShape->HotSpotX);
        c.NewY = place(int64_t{c.SampleY} - c.CurrentShape->HotSpotY);
    }
}

void SaveCursorBackground(CursorState& c, Picture& picture) {
    if (c.CurrentShape == nullptr || !UsableBox(c, picture))
        return;
    Clip clip = ClipBox(picture, c.NewX, c.NewY, c.BoxWidth, c.BoxHeight);
    for (int32_t y = clip.y0; y < clip.y1; ++y) {
        const uint32_t* src = picture.Row(y) + clip.x0;
        std::copy(src, src + (clip.x1 - clip.x0),
                  c.Background.data() + static_cast<size_t>(y - c.NewY) * c.BoxWidth + (clip.x0 - c.NewX));
    }
    c.BackgroundSaved = true;
}

void DrawCursor(CursorState& c, Picture& picture) {
    if (c.CurrentShape == nullptr || picture.Pixels.empty())
        return;
    c.CurrentShape->Draw(picture, c.SampleX, c.SampleY);
}

void CommitCursorPosition(CursorState& c) {
    c.OldX = c.NewX;
    c.OldY = c.NewY;
}

int CursorAreaRects(const CursorState& c, const Picture& picture, PixelRect rects[2]) {
    const int32_t dx = std::abs(c.NewX - c.OldX), dy = std::abs(c.NewY - c.OldY);
    PixelRect candidates[2];
    int n = 0;
    if (dx < c.BoxWidth && dy < c.BoxHeight) {
        candidates[n++] = ClipRect(picture, std::min(c.OldX, c.NewX), std::min(c.OldY, c.NewY), c.BoxWidth + dx,
                                   c.BoxHeight + dy);
    } else {
        candidates[n++] = ClipRect(picture, c.OldX, c.OldY, c.BoxWidth, c.BoxHeight);
        candidates[n++] = ClipRect(picture, c.NewX, c.NewY, c.BoxWidth, c.BoxHeight);
    }
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (candidates[i].w > 0 && candidates[i].h > 0)
            rects[count++] = candidates[i];
    return count;
}

}  // namespace movarel
