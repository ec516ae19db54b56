#pragma once
// A horizontal slider: a thin track and a square thumb dragged with the left
// button, holding an integer value between a minimum and a maximum.
#include <QBrush>
#include <QPen>
#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace movarel {

class Slider : public QWidget {
    Q_OBJECT
public:
    // 120 x 22 at the parent's corner, range 0 .. 10, shown with its parent.
    explicit Slider(QWidget* parent = nullptr);

    int32_t value() const { return value_; }
    // Clamped to the range; the thumb follows.
    void setValue(int32_t value);
    int32_t minimum() const { return minimum_; }
    int32_t maximum() const { return maximum_; }
    // Stores the maximum only; the next setValue or resize places the thumb.
    void setMaximum(int32_t maximum) { maximum_ = maximum; }

    void setTrackPen(const QPen& pen) { trackPen_ = pen; }
    void setThumbPicture(const QPixmap& picture) { thumbPicture_ = picture; }
    // A copy: the slider keeps no claim on a brush it was handed.
    void setBackground(const QBrush& brush) { background_ = brush; }
    const QBrush& background() const { return background_; }

    // The thumb's left edge in pixels, 0 .. width - thumb width.
    int32_t thumbOffset() const { return thumbOffset_; }
    int32_t thumbWidth() const { return thumbWidth_; }
    // The offset the current value puts the thumb at.
    int32_t offsetForValue() const;
    // Moves the thumb (clamped) and takes the value it points at.
    void setThumbOffset(int32_t offset);
    // The left button is held on the slider.
    bool isDragging() const { return dragging_; }

signals:
    // Every change of the value, from the mouse or from setValue.
    void valueChanged(int32_t value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int32_t minimum_ = 0;
    int32_t maximum_ = 10;
    int32_t value_ = 0;
    int32_t thumbOffset_ = 0;
    int32_t thumbWidth_ = 16;
    int32_t thumbHeight_ = 16;
    bool dragging_ = false;
    bool settingFromThumb_ = false;
    // Unset: a black outline.
    std::optional<QPen> trackPen_;
    QPixmap thumbPicture_;
    QBrush background_;
};

// Light grey of the thumb, also the outline of a disabled slider.
constexpr uint32_t kSliderThumbColor = 0xE0E0E0;

}  // namespace movarel
