#include "controls/ProgressBar.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "controls/WidgetHelpers.h"
#include "platform/Rounding.h"

namespace movarel {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    // The tooltip follows the pointer with the time under it.
    setMouseTracking(true);
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

float ProgressBar::xToValue(int32_t x) const {
    if (width() <= 4)
        return 0;
    const float whole = total();
    const double exact = static_cast<double>(whole) * (x - 2) / (width() - 4);
    if (!std::isfinite(exact))
        return 0;
    return static_cast<float>(std::clamp(exact, 0.0, static_cast<double>(whole)));
}

bool ProgressBar::partAt(int32_t x, bool snap, int32_t* part, float* offset) const {
    // A bar too narrow for its scale has no parts to point at.
    if (parts_.empty() || width() <= 4)
        return false;
    if (snap) {
        // The nearest start mark within reach: short parts put several close.
        int32_t best = -1;
        int32_t bestDistance = kSnapPixels + 1;
        float start = 0;
        for (size_t i = 0; i < parts_.size(); ++i) {
            const int32_t distance = std::abs(valueToX(start) - x);
            if (distance < bestDistance) {
                best = static_cast<int32_t>(i);
                bestDistance = distance;
            }
            start += parts_[i];
        }
        if (best >= 0) {
            *part = best;
            *offset = 0;
            return true;
        }
    }
    const float value = xToValue(x);
    float start = 0;
    for (size_t i = 0; i < parts_.size(); ++i) {
        if (start + parts_[i] > value || i + 1 == parts_.size()) {
            *part = static_cast<int32_t>(i);
            *offset = std::clamp(value - start, 0.0f, std::max(parts_[i], 0.0f));
            return true;
        }
        start += parts_[i];
    }
    return false;
}

bool ProgressBar::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && valueText_ && !parts_.empty()) {
        const auto* help = static_cast<QHelpEvent*>(e);
        QToolTip::showText(help->globalPos(), valueText_(xToValue(help->pos().x())), this);
        return true;
    }
    return QWidget::event(e);
}

void ProgressBar::mousePressEvent(QMouseEvent* e) {
    // Mouse input of the bar is its own; it does not travel on to the parent.
    e->accept();
    if (e->button() != Qt::LeftButton)
        return;
    int32_t part = 0;
    float offset = 0;
    if (!partAt(static_cast<int32_t>(e->position().x()), true, &part, &offset))
        return;
    dragging_ = true;
    emit seekRequested(part, offset, false);
}

void ProgressBar::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::LeftButton)
        dragging_ = false;
}

void ProgressBar::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
    const int32_t x = static_cast<int32_t>(e->position().x());
    if (valueText_ && !parts_.empty() && (dragging_ || QToolTip::isVisible()))
        QToolTip::showText(e->globalPosition().toPoint(), valueText_(xToValue(x)), this);
    if (!dragging_ || !(e->buttons() & Qt::LeftButton))
        return;
    int32_t part = 0;
    float offset = 0;
    if (!partAt(x, false, &part, &offset))
        return;
    setPosition(xToValue(x));
    emit seekRequested(part, offset, true);
}

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
