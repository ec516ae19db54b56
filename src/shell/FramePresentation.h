#pragma once
// The presentation buffer between the timer thread and the painter. The
// timer thread copies the finished picture, or only the cursor's
// surroundings, into it under a small lock of its own and asks for a repaint;
// the GUI thread takes what changed under the same lock and paints from its
// own copy, so painting never takes the engine lock and the timer thread never
// waits for a paint, only for a copy.
#include <QBrush>
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
    // The picture scaled down for a stretched frame, and the picture pixels
    // of Front it does not show yet.
    QImage Scaled;
    QRect ScaledStale;
    // Of the window painted last: at a fractional ratio the picture is placed
    // in device pixels, where the window mapping of a dirty rectangle misses.
    qreal DevicePixelRatio = 1.0;
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
// previous segment's picture of another size. A picture shown smaller than
// its size is scaled down by area averaging (AreaScaler.h), kept between
// paints and redone only where the picture changed. On a screen with a
// fractional pixel ratio the picture is placed in device pixels, one picture
// pixel to one device pixel when it fits, and surround fills what the frame
// rectangle holds beside it.
void PaintFrame(PresentationState& p, QPainter& painter, const PictureGeometry& geometry, int32_t fps,
                const QRegion& area, const QBrush& surround = QBrush(Qt::black));
// The geometry of the picture in device pixels of a window at ratio dpr,
// for the logical geometry g.
PictureGeometry DeviceGeometry(const PictureGeometry& g, qreal dpr);

}  // namespace movarel
