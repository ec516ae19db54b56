#include "controls/qxSlider.h"

#include <QPainter>

#include "platform/Rounding.h"

namespace movarel {

void TqxSlider::Init() {
    SetWidth(120);
    SetHeight(22);
    SetLeft(0);
    SetTop(0);
    FMin = 0;
    FMax = 10;
    FThumbOffset = 0;
    FThumbWidth = 16;
    FThumbHeight = 16;
    FDragging = false;
    FThumbBitmap = QPixmap();
    FUpdatingFromThumb = false;
    TqxControl::Init();
}

int32_t TqxSlider::PositionToOffset() const {
    if (FMin >= FMax || FWidth < FThumbWidth)
        return FMin;
    const int64_t product = static_cast<int64_t>(FPosition - FMin) * (FWidth - FThumbWidth);
    return RoundHalfEven(static_cast<double>(product) / (static_cast<double>(FMax) - FMin));
}

void TqxSlider::SetThumbOffset(int32_t x) {
    if (x == FThumbOffset)
        return;
    // A control narrower than its thumb keeps the thumb at 0.
    const int32_t range = std::max(FWidth - FThumbWidth, 0);
    if (x < 0)
        x = 0;
    else if (x > range)
        x = range;
    if (x == FThumbOffset)
        return;
    FThumbOffset = x;
    if (FMax >= FMin && FWidth > FThumbWidth) {
        struct Flag {
            bool& f;
            explicit Flag(bool& flag) : f(flag) { f = true; }
            ~Flag() { f = false; }
        } updating(FUpdatingFromThumb);
        SetPosition(FMin + RoundHalfEven(static_cast<double>(x) / range * (static_cast<double>(FMax) - FMin)));
    }
    update();
}

void TqxSlider::SetPosition(int32_t v) {
    if (v == FPosition)
        return;
    if (v < FMin)
        v = FMin;
    else if (v > FMax)
        v = FMax;
    if (v == FPosition)
        return;
    FPosition = v;
    if (!FUpdatingFromThumb)
        SetThumbOffset(PositionToOffset());
    if (FOnChange)
        FOnChange(this);
}

void TqxSlider::Resized(int32_t width, int32_t height) {
    TqxControl::Resized(width, height);
    SetThumbOffset(PositionToOffset());
}

void TqxSlider::LeftButtonDown(int32_t x, int32_t) {
    if (!FEnabled)
        return;
    // Qt keeps the mouse with the pressed widget until the release.
    FDragging = true;
    SetThumbOffset(x - FThumbWidth / 2);
}

void TqxSlider::MouseMoved(int32_t x, int32_t) {
    if (FDragging)
        SetThumbOffset(x - FThumbWidth / 2);
}

void TqxSlider::LeftButtonUp(int32_t, int32_t) {
    FDragging = false;
}

void TqxSlider::Paint(QPainter& p, const QRect& paintRect) {
    const QRect r = rect();
    p.fillRect(paintRect, FBrush);
    QPen pen(Qt::black);
    if (!FEnabled)
        pen = QPen(ColorFromRef(kSliderThumbColor));
    else if (FTrackPen)
        pen = *FTrackPen;
    pen.setWidth(1);
    pen.setCosmetic(true);
    p.setPen(pen);

    p.setBrush(Qt::white);
    DrawFrameRect(p, r.left(), r.top() + 6, r.left() + FWidth, r.top() + 14);

    p.setBrush(ColorFromRef(kSliderThumbColor));
    const int32_t left = r.left() + FThumbOffset;
    const int32_t top = r.top() - FThumbHeight / 2 + 10;
    DrawFrameRect(p, left, top, left + FThumbWidth, top + FThumbHeight);
    if (!FThumbBitmap.isNull()) {
        // Copied 1:1 like a block transfer: never scaled, cut at the picture's edge.
        const QRect source = QRect(0, 0, std::max(FThumbWidth - 2, 0), std::max(FThumbHeight - 2, 0)) &
                             FThumbBitmap.rect();
        p.drawPixmap(QPoint(left + 1, top + 1), FThumbBitmap, source);
    }
}

}  // namespace movarel
