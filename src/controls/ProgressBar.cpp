#include "controls/ProgressBar.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "controls/WidgetHelpers.h"
#include "platform/Rounding.h"

namespace movarel {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setGeometry(0, 0, 200, 10);
    setVisible(parent != nullptr);
}

int32_t ProgressBar::addPart(float length) {
    parts_.push_back(length);
    return static_cast<int32_t>(parts_.size()) - 1;
}

float ProgressBar::total() const {
    float sum = 0;
    for (float length : parts_)
        sum += length;
    return sum;
}

void ProgressBar::setPosition(float v) {
    const float whole = total();
    if (v > whole)
        position_ = whole;
    else if (v >= 0)
        position_ = v;
    else
        position_ = 0;
    update();
}

void ProgressBar::selectPart(int32_t index) {
    if (index < 0 || index >= partCount())
        return;
    float before = 0;
    for (int32_t i = 0; i < index; ++i)
        before += parts_[static_cast<size_t>(i)];
    currentPart_ = index;
    setPosition(before);
}

int32_t ProgressBar::valueToX(float v) const {
    const float whole = total();
    if (whole == 0)
        return 0;
    return RoundHalfEven((static_cast<double>(width()) - 4) * v / whole) + 2;
}

void ProgressBar::mousePressEvent(QMouseEvent* e) {
    // Mouse input of the bar is its own; it does not travel on to the parent.
    e->accept();
    // A bar too narrow for its scale has no parts to point at.
    if (e->button() != Qt::LeftButton || width() <= 4)
        return;
    const int32_t x = static_cast<int32_t>(e->position().x());
    const double exact = static_cast<double>(total()) * (x - 2) / (width() - 4);
    if (!std::isfinite(exact))
        return;
    // The rounded whole number is compared, not the exact value under the pointer.
    const double t = std::nearbyint(exact);
    float end = 0;
    for (size_t i = 0; i < parts_.size(); ++i) {
        end += parts_[i];
        if (end > t) {
            emit partClicked(static_cast<int32_t>(i));
            return;
        }
    }
}

void ProgressBar::mouseReleaseEvent(QMouseEvent* e) { e->accept(); }
void ProgressBar::mouseMoveEvent(QMouseEvent* e) { e->accept(); }
// The second press of a double click is not a press to the bar.
void ProgressBar::mouseDoubleClickEvent(QMouseEvent* e) { e->accept(); }

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int32_t w = width();
    const int32_t h = height();
    QPen outline(ColorFromRef(kProgressFillColor));
    outline.setCosmetic(true);
    p.setPen(outline);
    p.setBrush(Qt::white);
    DrawFrameRect(p, 0, 0, w, h);

    p.setBrush(ColorFromRef(kProgressFillColor));
    DrawFrameRect(p, 2, 2, valueToX(position_), h - 2);

    if (parts_.size() >= 2) {
        QPen mark(Qt::black);
        mark.setCosmetic(true);
        p.setPen(mark);
        float end = 0;
        for (size_t i = 0; i + 1 < parts_.size(); ++i) {
            end += parts_[i];
            const int32_t x = valueToX(end);
            // A line from (x, 2) to (x, h - 2) leaves out its last pixel.
            if (h - 2 > 2)
                p.drawLine(x, 2, x, h - 3);
        }
    }
}

}  // namespace movarel
