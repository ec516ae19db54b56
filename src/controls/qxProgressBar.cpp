#include "controls/qxProgressBar.h"

#include <QPainter>

#include <cmath>

#include "platform/Rounding.h"

namespace movarel {

void TqxProgressBar::Init() {
    SetWidth(200);
    SetHeight(10);
    SetLeft(0);
    SetTop(0);
    FPosition = 0;
    FCurrentSegment = -1;
    TqxControl::Init();
}

int32_t TqxProgressBar::AddSegment(float length) {
    FSegments.push_back(length);
    return static_cast<int32_t>(FSegments.size()) - 1;
}

float TqxProgressBar::GetTotal() const {
    float total = 0;
    for (float length : FSegments)
        total += length;
    return total;
}

void TqxProgressBar::SetPosition(float v) {
    const float total = GetTotal();
    if (v > total)
        FPosition = total;
    else if (v >= 0)
        FPosition = v;
    else
        FPosition = 0;
    update();
}

void TqxProgressBar::SelectBarSegment(int32_t index) {
    if (index < 0 || index >= SegmentCount())
        return;
    bool allow = true;
    if (FOnSegmentClick)
        FOnSegmentClick(this, index, allow);
    if (!allow)
        return;
    float before = 0;
    for (int32_t i = 0; i < index; ++i)
        before += FSegments[static_cast<size_t>(i)];
    FCurrentSegment = index;
    SetPosition(before);
}

int32_t TqxProgressBar::ValueToX(float v) const {
    const float total = GetTotal();
    if (total == 0)
        return 0;
    return RoundHalfEven((static_cast<double>(FWidth) - 4) * v / total) + 2;
}

void TqxProgressBar::LeftButtonDown(int32_t x, int32_t) {
    // A bar too narrow for its scale has no parts to point at.
    if (FWidth <= 4)
        return;
    const float total = GetTotal();
    const double exact = static_cast<double>(total) * (x - 2) / (FWidth - 4);
    if (!std::isfinite(exact))
        return;
    // The rounded whole number is compared, not the exact value under the pointer.
    const double t = std::nearbyint(exact);
    float end = 0;
    for (size_t i = 0; i < FSegments.size(); ++i) {
        end += FSegments[i];
        if (end > t) {
            SelectBarSegment(static_cast<int32_t>(i));
            return;
        }
    }
}

void TqxProgressBar::Paint(QPainter& p, const QRect&) {
    QPen outline(ColorFromRef(kProgressFillColor));
    outline.setCosmetic(true);
    p.setPen(outline);
    p.setBrush(Qt::white);
    DrawFrameRect(p, 0, 0, FWidth, FHeight);

    p.setBrush(ColorFromRef(kProgressFillColor));
    DrawFrameRect(p, 2, 2, ValueToX(FPosition), FHeight - 2);

    if (FSegments.size() >= 2) {
        QPen mark(Qt::black);
        mark.setCosmetic(true);
        p.setPen(mark);
        float end = 0;
        for (size_t i = 0; i + 1 < FSegments.size(); ++i) {
            end += FSegments[i];
            const int32_t x = ValueToX(end);
            // A line from (x, 2) to (x, h - 2) leaves out its last pixel.
            if (FHeight - 2 > 2)
                p.drawLine(x, 2, x, FHeight - 3);
        }
    }
}

}  // namespace movarel
