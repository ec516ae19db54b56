#pragma once
// A horizontal slider: a thin track and a square thumb dragged with the left
// button, holding an integer value between a minimum and a maximum.
#include <QPen>
#include <QPixmap>

#include <functional>
#include <optional>

#include "controls/qxControls.h"

namespace movarel {

class TqxSlider : public TqxControl {
public:
    explicit TqxSlider(QWidget* parent) : TqxControl(parent) {}

    int32_t GetPosition() const { return FPosition; }
    void SetPosition(int32_t v);
    // Stores the maximum only; the next SetPosition or resize places the thumb.
    void SetMax(int32_t v) { FMax = v; }
    void SetTrackPen(const QPen& pen) { FTrackPen = pen; }
    void SetThumbBitmap(const QPixmap& bitmap) { FThumbBitmap = bitmap; }

    int32_t PositionToOffset() const;
    void SetThumbOffset(int32_t x);

    int32_t GetMin() const { return FMin; }
    int32_t GetMax() const { return FMax; }
    int32_t GetThumbOffset() const { return FThumbOffset; }
    int32_t GetThumbWidth() const { return FThumbWidth; }
    bool Dragging() const { return FDragging; }

    // Called with the slider whenever the value changes; may be empty.
    std::function<void(TqxSlider*)> FOnChange;

protected:
    Qt::CursorShape GetCursorHandle() const override { return Qt::PointingHandCursor; }
    uint32_t GetStyle() const override { return kStyleChild | kStyleVisible | kStyleTabStop; }
    std::string GetClassName() const override { return "qxSlider"; }
    void Init() override;
    void Resized(int32_t width, int32_t height) override;
    void Paint(QPainter& painter, const QRect& paintRect) override;
    void LeftButtonDown(int32_t x, int32_t y) override;
    void MouseMoved(int32_t x, int32_t y) override;
    void LeftButtonUp(int32_t x, int32_t y) override;

private:
    int32_t FMin = 0;
    int32_t FThumbOffset = 0;
    int32_t FMax = 0;
    int32_t FThumbWidth = 0;
    int32_t FThumbHeight = 0;
    bool FDragging = false;
    int32_t FPosition = 0;
    bool FUpdatingFromThumb = false;
    // Unset: the painter's default black pen.
    std::optional<QPen> FTrackPen;
    QPixmap FThumbBitmap;
};

// Light grey of the thumb, also the outline of a disabled slider.
constexpr uint32_t kSliderThumbColor = 0xE0E0E0;

}  // namespace movarel
