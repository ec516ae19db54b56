#include "controls/Slider.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "controls/WidgetHelpers.h"
#include "platform/Rounding.h"

namespace movarel {

Slider::Slider(QWidget* parent) : QWidget(parent), background_(QApplication::palette().color(QPalette::Window)) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setGeometry(0, 0, 120, 22);
    setVisible(parent != nullptr);
}

int32_t Slider::offsetForValue() const {
    if (minimum_ >= maximum_ || width() < thumbWidth_)
        return minimum_;
    const int64_t product = static_cast<int64_t>(value_ - minimum_) * (width() - thumbWidth_);
    return RoundHalfEven(static_cast<double>(product) / (static_cast<double>(maximum_) - minimum_));
}

void Slider::setThumbOffset(int32_t x) {
    if (x == thumbOffset_)
        return;
    // A slider narrower than its thumb keeps the thumb at 0.
    const int32_t range = std::max(width() - thumbWidth_, 0);
    x = std::clamp(x, 0, range);
    if (x == thumbOffset_)
        return;
    thumbOffset_ = x;
    if (maximum_ >= minimum_ && width() > thumbWidth_) {
        // The value taken from the thumb must not move the thumb again.
        settingFromThumb_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{settingFromThumb_};
        setValue(minimum_ +
                 RoundHalfEven(static_cast<double>(x) / range * (static_cast<double>(maximum_) - minimum_)));
    }
    update();
}

void Slider::setValue(int32_t v) {
    if (v == value_)
        return;
    v = std::clamp(v, minimum_, std::max(minimum_, maximum_));
    if (v == value_)
        return;
    value_ = v;
    // The thumb snaps to the nearest place it can stand; the value that place
    // means is taken (and announced) first, then the asked one is announced.
    if (!settingFromThumb_)
        setThumbOffset(offsetForValue());
    emit valueChanged(value_);
}

void Slider::resizeEvent(QResizeEvent*) { setThumbOffset(offsetForValue()); }

void Slider::mousePressEvent(QMouseEvent* e) {
    // Mouse input of the slider is its own; it does not travel on to the parent.
    e->accept();
    if (e->button() != Qt::LeftButton || !isEnabled())
        return;
    // Qt keeps the mouse with the pressed widget until the release.
    dragging_ = true;
    setThumbOffset(static_cast<int32_t>(e->position().x()) - thumbWidth_ / 2);
}

void Slider::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
    if (dragging_)
        setThumbOffset(static_cast<int32_t>(e->position().x()) - thumbWidth_ / 2);
}

void Slider::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::LeftButton)
        dragging_ = false;
}

// The second press of a double click is not a press to the slider.
void Slider::mouseDoubleClickEvent(QMouseEvent* e) { e->accept(); }

void Slider::changeEvent(QEvent* e) {
    // A disabled slider gets no release: disabling ends a drag.
    if (e->type() == QEvent::EnabledChange && !isEnabled())
        dragging_ = false;
    QWidget::changeEvent(e);
}

void Slider::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), background_);
    QPen pen(Qt::black);
    if (!isEnabled())
        pen = QPen(ColorFromRef(kSliderThumbColor));
    else if (trackPen_)
        pen = *trackPen_;
    pen.setWidth(1);
    pen.setCosmetic(true);
    p.setPen(pen);

    p.setBrush(Qt::white);
    DrawFrameRect(p, 0, 6, width(), 14);

    p.setBrush(ColorFromRef(kSliderThumbColor));
    const int32_t left = thumbOffset_;
    const int32_t top = 10 - thumbHeight_ / 2;
    DrawFrameRect(p, left, top, left + thumbWidth_, top + thumbHeight_);
    if (!thumbPicture_.isNull()) {
        // Copied 1:1 like a block transfer: never scaled, cut at the picture's edge.
        const QRect source = QRect(0, 0, std::max(thumbWidth_ - 2, 0), std::max(thumbHeight_ - 2, 0)) &
                             thumbPicture_.rect();
        p.drawPixmap(QPoint(left + 1, top + 1), thumbPicture_, source);
    }
}

}  // namespace movarel
