#pragma once
// The presentation buffer between the timer thread and the painter. The
// timer thread copies the finished picture, or only the cursor's
// surroundings, into it under a small lock of its own and asks for a repaint;
// the GUI thread takes what changed under the same lock and paints from its
// own copy, so painting never takes the engine lock and the timer thread never
// waits for a paint, only for a copy.
#include <QImage>
#include <QRect>
#include <QRegion>

#include <atomic>
#include <functional>
#include <mutex>

#include "engine/FrameSink.h"
#include "film/Picture.h"
#include "shell/Geometry.h"

class QPainter;

namespace movarel {

// One per main window (its frame sink copies into it).
struct PresentationState {
    std::mutex Lock;
    QImage Shared;          // written by the presenting thread under Lock
    QRect Dirty;            // picture pixels of Shared not yet taken
    bool CursorOnly = true; // everything in Dirty came from cursor-area copies
    std::atomic<bool> RepaintPending{false};
    // GUI thread only.
    QImage Front;
    bool HasFrame = false;
    QRegion SmoothArea;     // window pixels of the cursor-area updates still to paint
    // Asks the GUI thread to call TakePresentation; set by the main window.
    std::function<void()> RequestRepaint;
};

// Whole picture (any thread).
void PresentFrame(PresentationState& p, const Picture& picture);
// One or two rectangles in picture coordinates (any thread); each is clipped
// to the picture.
void PresentCursorArea(PresentationState& p, const Picture& picture, const PixelRect* rects, int count);

// GUI thread: moves what changed into Front and returns the window area to
// repaint for it.
QRegion TakePresentation(PresentationState& p, const PictureGeometry& geometry);
// Forgets the frame (a new film, Stop).
void ClearPresentation(PresentationState& p);

// A picture rectangle in window pixels under geometry.
QRect MapToWindow(const QRect& pictureRect, const PictureGeometry& geometry);

// Fills the parts of the client area outside the frame.
void EraseBorders(QPainter& painter, const QRect& client, const PictureGeometry& geometry, const QBrush& brush);
// Draws Front into its place, or black there while Front is still the
// previous segment's picture of another size; smooth scaling for whole frames only at 5 fps
// or less, and always inside SmoothArea (the cursor's surroundings).
void PaintFrame(PresentationState& p, QPainter& painter, const PictureGeometry& geometry, int32_t fps,
                const QRegion& area);

}  // namespace movarel
