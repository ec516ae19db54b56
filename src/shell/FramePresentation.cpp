#include "shell/FramePresentation.h"

#include <QPainter>

#include <cmath>
#include <cstring>

#include "platform/LargePages.h"
#include "shell/AreaScaler.h"

namespace movarel {

namespace {

// The picture's fourth byte is 0; the window format wants it opaque.
void CopyRows(QImage& target, const Picture& picture, const QRect& r) {
    // The rows never overlap; saying so lets the compiler vectorise the copy,
    // which is most of the timer thread's cost to hand a frame over.
    const int width = r.width();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint32_t* __restrict src = picture.Row(y) + r.left();
        uint32_t* __restrict dst = reinterpret_cast<uint32_t*>(target.scanLine(y)) + r.left();
        for (int x = 0; x < width; ++x) dst[x] = src[x] | 0xFF000000u;
    }
}

// The two frame copies are megabytes each; see LargePages.h.
QImage LargeImage(const QSize& size) {
    const qsizetype stride = qsizetype{size.width()} * 4;
    void* memory = AllocateLarge(static_cast<size_t>(stride) * static_cast<size_t>(size.height()));
    return QImage(static_cast<uchar*>(memory), size.width(), size.height(), stride, QImage::Format_RGB32,
                  [](void* m) { FreeLarge(m); }, memory);
}

bool PictureValid(const Picture& picture) {
    return picture.Width > 0 && picture.Height > 0 &&
           picture.Pixels.size() >= static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height);
}

void AskForRepaint(PresentationState& p) {
    if (!p.RepaintPending.exchange(true) && p.RequestRepaint) p.RequestRepaint();
}

}  // namespace

void PresentFrame(PresentationState& p, const Picture& picture) {
    if (!PictureValid(picture)) return;
    {
        std::lock_guard<std::mutex> guard(p.Lock);
        if (p.Shared.width() != picture.Width || p.Shared.height() != picture.Height)
            p.Shared = LargeImage(QSize(picture.Width, picture.Height));
        if (p.Shared.isNull()) return;
        const QRect all(0, 0, picture.Width, picture.Height);
        CopyRows(p.Shared, picture, all);
        p.Dirty = all;
        p.CursorOnly = false;
    }
    AskForRepaint(p);
}

void PresentCursorArea(PresentationState& p, const Picture& picture, const PixelRect* rects, int count) {
    if (!PictureValid(picture) || rects == nullptr || count <= 0) return;
    bool any = false;
    {
        std::lock_guard<std::mutex> guard(p.Lock);
        // Without a whole frame of this size there is nothing to patch.
        if (p.Shared.width() != picture.Width || p.Shared.height() != picture.Height) return;
        const QRect all(0, 0, picture.Width, picture.Height);
        for (int i = 0; i < count; ++i) {
            const QRect r = QRect(rects[i].x, rects[i].y, rects[i].w, rects[i].h).intersected(all);
            if (r.isEmpty()) continue;
            CopyRows(p.Shared, picture, r);
            p.Dirty = p.Dirty.isNull() ? r : p.Dirty.united(r);
            any = true;
        }
    }
    if (any) AskForRepaint(p);
}

QRect MapToWindow(const QRect& r, const PictureGeometry& g) {
    if (!g.Stretch) return r.translated(g.OffsetX, g.OffsetY);
    const int x = static_cast<int>(std::nearbyint(r.x() * g.Scale + g.OffsetX));
    const int y = static_cast<int>(std::nearbyint(r.y() * g.Scale + g.OffsetY));
    const int w = static_cast<int>(std::nearbyint(r.width() * g.Scale));
    const int h = static_cast<int>(std::nearbyint(r.height() * g.Scale));
    // One pixel more on each side covers the smoothing of the neighbours.
    return QRect(x, y, w, h).adjusted(-1, -1, 1, 1);
}

QRegion TakePresentation(PresentationState& p, const PictureGeometry& geometry) {
    p.RepaintPending.store(false);
    QRect dirty;
    bool cursorOnly = true;
    {
        std::lock_guard<std::mutex> guard(p.Lock);
        dirty = p.Dirty;
        cursorOnly = p.CursorOnly;
        p.Dirty = QRect();
        p.CursorOnly = true;
        if (dirty.isEmpty() || p.Shared.isNull()) return QRegion();
        if (p.Front.size() != p.Shared.size()) {
            p.Front = LargeImage(p.Shared.size());
            p.Scaled = QImage();
            dirty = p.Shared.rect();
            cursorOnly = false;
        }
        // The rows that really changed are noted for the scaled copy: a
        // screen recording's new frame mostly repeats the last one, and
        // scaling costs far more than comparing.
        const size_t bytes = static_cast<size_t>(dirty.width()) * 4;
        int firstChanged = -1, lastChanged = -1;
        for (int y = dirty.top(); y <= dirty.bottom(); ++y) {
            uchar* front = p.Front.scanLine(y) + static_cast<size_t>(dirty.left()) * 4;
            const uchar* shared = p.Shared.constScanLine(y) + static_cast<size_t>(dirty.left()) * 4;
            if (std::memcmp(front, shared, bytes) == 0) continue;
            std::memcpy(front, shared, bytes);
            if (firstChanged < 0) firstChanged = y;
            lastChanged = y;
        }
        if (firstChanged >= 0) {
            const QRect changed(dirty.left(), firstChanged, dirty.width(), lastChanged - firstChanged + 1);
            p.ScaledStale = p.ScaledStale.isNull() ? changed : p.ScaledStale.united(changed);
        }
    }
    p.HasFrame = true;
    const QRect area = cursorOnly && p.DevicePixelRatio == 1.0 ? MapToWindow(dirty, geometry)
                                                               : geometry.FrameRect().adjusted(-1, -1, 1, 1);
    if (cursorOnly)
        p.SmoothArea += area;
    else
        p.SmoothArea = QRegion();
    return QRegion(area);
}

void ClearPresentation(PresentationState& p) {
    {
        std::lock_guard<std::mutex> guard(p.Lock);
        p.Shared = QImage();
        p.Dirty = QRect();
        p.CursorOnly = true;
    }
    p.Front = QImage();
    p.Scaled = QImage();
    p.ScaledStale = QRect();
    p.HasFrame = false;
    p.SmoothArea = QRegion();
    // A repaint asked of a window that is gone never comes.
    p.RepaintPending = false;
}

void EraseBorders(QPainter& painter, const QRect& client, const PictureGeometry& g, const QBrush& brush) {
    const QRect frame = g.FrameRect();
    const int R = client.width();
    const int B = client.height();
    const QRect bands[] = {
        QRect(QPoint(0, 0), QPoint(R - 1, frame.top() - 1)),
        QRect(QPoint(0, frame.top() + frame.height()), QPoint(R - 1, B - 1)),
        QRect(QPoint(0, frame.top()), QPoint(frame.left() - 1, frame.top() + frame.height() - 1)),
        QRect(QPoint(frame.left() + frame.width(), frame.top()),
              QPoint(R - 1, frame.top() + frame.height() - 1)),
    };
    for (const QRect& band : bands)
        if (band.isValid() && !band.isEmpty()) painter.fillRect(band, brush);
}

namespace {

// The scaled picture brought up to date with Front where it changed.
const QImage& ScaledFront(PresentationState& p, const QSize& size) {
    const AreaScaler scaler(p.Front.width(), p.Front.height(), size.width(), size.height());
    if (p.Scaled.size() != size) {
        p.Scaled = QImage(size, QImage::Format_RGB32);
        scaler.Scale(p.Front, p.Scaled, p.Scaled.rect());
    } else if (!p.ScaledStale.isEmpty()) {
        scaler.Scale(p.Front, p.Scaled, scaler.TargetArea(p.ScaledStale));
    }
    p.ScaledStale = QRect();
    return p.Scaled;
}

// Draws the picture under g, whose units are the painter's current ones.
void DrawPicture(QPainter& painter, PresentationState& p, const PictureGeometry& g) {
    if (!g.Stretch) {
        painter.drawImage(QPoint(g.OffsetX, g.OffsetY), p.Front);
        return;
    }
    if (g.ScaledWidth <= 0 || g.ScaledHeight <= 0) return;
    painter.drawImage(QPoint(g.OffsetX, g.OffsetY), ScaledFront(p, QSize(g.ScaledWidth, g.ScaledHeight)));
}

}  // namespace

PictureGeometry DeviceGeometry(const PictureGeometry& g, qreal dpr) {
    // The logical geometry centres the frame in the area it was given; that
    // area, in device pixels, is where the device picture is centred.
    const QRect frame = g.FrameRect();
    const int width = static_cast<int>(std::floor((2 * g.OffsetX + frame.width()) * dpr));
    const int height = static_cast<int>(std::floor((2 * g.OffsetY + frame.height()) * dpr));
    return ComputePictureGeometry(g.FilmWidth, g.FilmHeight, width, height);
}

void PaintFrame(PresentationState& p, QPainter& painter, const PictureGeometry& g, int32_t, const QRegion& area,
                const QBrush& surround) {
    const qreal dpr = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    p.DevicePixelRatio = dpr;
    if (!p.HasFrame || p.Front.isNull()) return;
    // At a change of segment the geometry is the new segment's before its
    // first frame arrives; the previous segment's picture, larger perhaps,
    // would cover the borders just erased and stay there, since only the new
    // frame's area is repainted when that frame comes. Until then the frame
    // area stays black, as before any frame.
    if (p.Front.width() != g.FilmWidth || p.Front.height() != g.FilmHeight) {
        painter.fillRect(g.FrameRect(), Qt::black);
        return;
    }
    painter.save();
    painter.setClipRegion(area, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (dpr == 1.0) {
        DrawPicture(painter, p, g);
    } else {
        // The device picture lies inside the logical frame; what it leaves
        // of the frame is surround.
        const PictureGeometry device = DeviceGeometry(g, dpr);
        painter.fillRect(g.FrameRect(), surround);
        // Painted in device pixels: the device transform and this one cancel.
        painter.scale(1.0 / dpr, 1.0 / dpr);
        DrawPicture(painter, p, device);
    }
    painter.restore();
    p.SmoothArea = p.SmoothArea.subtracted(area);
}

}  // namespace movarel
