#pragma once
// A progress bar that knows the lengths of the parts a whole is made of: it
// marks the boundaries between them and turns a click or a drag into a time
// within a part.
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace movarel {

class ProgressBar : public QWidget {
    Q_OBJECT
public:
    // 200 x 10 at the parent's corner, no parts, shown with its parent.
    explicit ProgressBar(QWidget* parent = nullptr);

    // Appends a length and returns its index; no repaint.
    int32_t addPart(float length);
    // Empties the lengths; no repaint, the position stays.
    void clearParts() { parts_.clear(); }
    int32_t partCount() const { return static_cast<int32_t>(parts_.size()); }
    // The sum of the lengths in order, in single precision.
    float total() const;
    float position() const { return position_; }
    // Clamped to 0 .. total; a value that is not a number gives 0.
    void setPosition(float value);
    // Marks part index as the current one and moves the position to its
    // start; an index outside the parts changes nothing.
    void selectPart(int32_t index);
    // -1 until a part is selected.
    int32_t currentPart() const { return currentPart_; }
    // The pixel column of a value on the scale, which runs from 2 to width - 2.
    int32_t valueToX(float value) const;
    // The value under pixel column x, clamped to 0 .. total.
    float xToValue(int32_t x) const;
    // The part and the offset into it under pixel column x; snap: a column
    // within kSnapPixels of a part's start is that start. The total's own
    // end is the last part's end. False without parts or room for a scale.
    bool partAt(int32_t x, bool snap, int32_t* part, float* offset) const;
    // The tooltip's text for the value under the pointer; without it the
    // bar shows its plain tooltip.
    void setValueText(std::function<QString(float)> text) { valueText_ = std::move(text); }

    static constexpr int32_t kSnapPixels = 4;

signals:
    // The user pointed at offset seconds into part: a click (snapped to a
    // start mark near it), or, with dragging, the pointer moving while the
    // button is held. The bar shows a drag's position at once; otherwise it
    // moves when the owner sets its position.
    void seekRequested(int32_t part, float offset, bool dragging);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    float position_ = 0;
    std::vector<float> parts_;
    int32_t currentPart_ = -1;
    bool dragging_ = false;
    std::function<QString(float)> valueText_;
};

constexpr uint32_t kProgressFillColor = 0xB8A8A0;

}  // namespace movarel
