#pragma once
// A progress bar that knows the lengths of the parts a whole is made of: it
// marks the boundaries between them and turns a click into choosing a part.
#include <functional>
#include <vector>

#include "controls/qxControls.h"

namespace movarel {

class TqxProgressBar : public TqxControl {
public:
    explicit TqxProgressBar(QWidget* parent) : TqxControl(parent) {}

    // Appends a length and returns its index; no repaint.
    int32_t AddSegment(float length);
    // Empties the lengths; no repaint, the position stays.
    void ClearSegments() { FSegments.clear(); }
    // The sum of the lengths in order, in single precision.
    float GetTotal() const;
    float GetPosition() const { return FPosition; }
    // Clamped to 0 .. total; a value that is not a number gives 0.
    void SetPosition(float v);
    void SelectBarSegment(int32_t index);
    int32_t ValueToX(float v) const;
    int32_t SegmentCount() const { return static_cast<int32_t>(FSegments.size()); }
    int32_t GetCurrentSegment() const { return FCurrentSegment; }

    // Asked before a part is selected; setting allow to false refuses it.
    std::function<void(TqxProgressBar* sender, int32_t index, bool& allow)> FOnSegmentClick;

protected:
    Qt::CursorShape GetCursorHandle() const override { return Qt::PointingHandCursor; }
    uint32_t GetStyle() const override { return kStyleChild | kStyleVisible | kStyleTabStop; }
    std::string GetClassName() const override { return "qxProgressBar"; }
    void Init() override;
    void Paint(QPainter& painter, const QRect& paintRect) override;
    void LeftButtonDown(int32_t x, int32_t y) override;

private:
    float FPosition = 0;
    std::vector<float> FSegments;
    int32_t FCurrentSegment = 0;
};

constexpr uint32_t kProgressFillColor = 0xB8A8A0;

}  // namespace movarel
