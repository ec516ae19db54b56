#pragma once
// A progress bar that knows the lengths of the parts a whole is made of: it
// marks the boundaries between them and turns a click into choosing a part.
#include <QWidget>

#include <cstdint>
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

signals:
    // The user clicked into part index. The bar does not move by itself: the
    // owner calls selectPart when it takes the choice.
    void partClicked(int32_t index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    float position_ = 0;
    std::vector<float> parts_;
    int32_t currentPart_ = -1;
};

constexpr uint32_t kProgressFillColor = 0xB8A8A0;

}  // namespace movarel
