#include "shell/AreaScaler.h"

#include <algorithm>
#include <cmath>

namespace movarel {

std::vector<AreaScaler::Span> AreaScaler::Spans(int source, int target) {
    std::vector<Span> spans(static_cast<size_t>(std::max(target, 0)));
    if (source <= 0 || target <= 0) return spans;
    const double step = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        const double begin = i * step;
        const double end = std::min((i + 1) * step, static_cast<double>(source));
        Span& span = spans[static_cast<size_t>(i)];
        span.First = std::min(static_cast<int>(std::floor(begin)), source - 1);
        const int last = std::clamp(static_cast<int>(std::ceil(end)) - 1, span.First, source - 1);
        double total = 0;
        for (int s = span.First; s <= last; ++s) {
            const double covered = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            span.Weights.push_back(static_cast<float>(std::max(covered, 0.0)));
            total += std::max(covered, 0.0);
        }
        for (float& w : span.Weights) w = total > 0 ? static_cast<float>(w / total) : 0.0f;
    }
    return spans;
}

AreaScaler::AreaScaler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight)
    : sourceWidth_(sourceWidth),
      sourceHeight_(sourceHeight),
      targetWidth_(targetWidth),
      targetHeight_(targetHeight),
      columns_(Spans(sourceWidth, targetWidth)),
      rows_(Spans(sourceHeight, targetHeight)) {}

QRect AreaScaler::TargetArea(const QRect& r) const {
    if (r.isEmpty() || targetWidth_ <= 0 || targetHeight_ <= 0) return QRect();
    const double sx = static_cast<double>(targetWidth_) / sourceWidth_;
    const double sy = static_cast<double>(targetHeight_) / sourceHeight_;
    const int left = std::max(static_cast<int>(std::floor(r.left() * sx)), 0);
    const int top = std::max(static_cast<int>(std::floor(r.top() * sy)), 0);
    const int right = std::min(static_cast<int>(std::ceil((r.right() + 1) * sx)), targetWidth_);
    const int bottom = std::min(static_cast<int>(std::ceil((r.bottom() + 1) * sy)), targetHeight_);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void AreaScaler::Scale(const QImage& source, QImage& target, const QRect& targetRect) const {
    const QRect area = targetRect.intersected(QRect(0, 0, targetWidth_, targetHeight_));
    if (area.isEmpty() || source.width() != sourceWidth_ || source.height() != sourceHeight_ ||
        target.width() != targetWidth_ || target.height() != targetHeight_)
        return;
    const int width = area.width();
    // One source row reduced to the target's columns, four channels a pixel.
    std::vector<float> rowSums(static_cast<size_t>(width) * 4);
    std::vector<float> sums(static_cast<size_t>(width) * 4);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        const Span& rowSpan = rows_[static_cast<size_t>(y)];
        for (size_t k = 0; k < rowSpan.Weights.size(); ++k) {
            const float wy = rowSpan.Weights[k];
            const auto* line = reinterpret_cast<const uint32_t*>(source.constScanLine(rowSpan.First + static_cast<int>(k)));
            for (int x = 0; x < width; ++x) {
                const Span& column = columns_[static_cast<size_t>(area.left() + x)];
                float b = 0, g = 0, r = 0;
                for (size_t j = 0; j < column.Weights.size(); ++j) {
                    const uint32_t pixel = line[column.First + static_cast<int>(j)];
                    const float wx = column.Weights[j];
                    b += wx * static_cast<float>(pixel & 0xFF);
                    g += wx * static_cast<float>((pixel >> 8) & 0xFF);
                    r += wx * static_cast<float>((pixel >> 16) & 0xFF);
                }
                float* out = &rowSums[static_cast<size_t>(x) * 4];
                out[0] = b;
                out[1] = g;
                out[2] = r;
            }
            for (size_t i = 0; i < rowSums.size(); ++i) sums[i] += wy * rowSums[i];
        }
        auto* out = reinterpret_cast<uint32_t*>(target.scanLine(y)) + area.left();
        for (int x = 0; x < width; ++x) {
            const float* s = &sums[static_cast<size_t>(x) * 4];
            const auto channel = [](float v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
            out[x] = 0xFF000000u | channel(s[2]) << 16 | channel(s[1]) << 8 | channel(s[0]);
        }
    }
}

QImage AreaScaled(const QImage& source, const QSize& size) {
    const QImage rgb = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    QImage target(size, QImage::Format_RGB32);
    const AreaScaler scaler(rgb.width(), rgb.height(), size.width(), size.height());
    scaler.Scale(rgb, target, target.rect());
    return target;
}

}  // namespace movarel
