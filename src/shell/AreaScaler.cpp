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
        std::vector<double> covered;
        double total = 0;
        for (int s = span.First; s <= last; ++s) {
            covered.push_back(std::max(std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s)), 0.0));
            total += covered.back();
        }
        uint32_t sum = 0;
        size_t largest = 0;
        for (size_t k = 0; k < covered.size(); ++k) {
            const double share = total > 0 ? covered[k] / total : (k == 0 ? 1.0 : 0.0);
            span.Weights.push_back(static_cast<uint32_t>(std::lround(share * 4096)));
            sum += span.Weights.back();
            if (span.Weights[k] > span.Weights[largest]) largest = k;
        }
        // Rounding may leave the sum a unit off; the largest share takes it.
        span.Weights[largest] = span.Weights[largest] + 4096 - sum;
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
    // Per target pixel: blue, green, red sums of weight x weight x channel.
    std::vector<uint32_t> sums(static_cast<size_t>(width) * 3);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const Span& rowSpan = rows_[static_cast<size_t>(y)];
        for (size_t k = 0; k < rowSpan.Weights.size(); ++k) {
            const uint32_t wy = rowSpan.Weights[k];
            if (wy == 0) continue;
            const auto* line =
                reinterpret_cast<const uint32_t*>(source.constScanLine(rowSpan.First + static_cast<int>(k)));
            uint32_t* out = sums.data();
            for (int x = 0; x < width; ++x, out += 3) {
                const Span& column = columns_[static_cast<size_t>(area.left() + x)];
                const uint32_t* pixel = line + column.First;
                uint32_t b = 0, g = 0, r = 0;
                for (const uint32_t wx : column.Weights) {
                    const uint32_t p = *pixel++;
                    b += wx * (p & 0xFF);
                    g += wx * ((p >> 8) & 0xFF);
                    r += wx * ((p >> 16) & 0xFF);
                }
                out[0] += wy * b;
                out[1] += wy * g;
                out[2] += wy * r;
            }
        }
        auto* line = reinterpret_cast<uint32_t*>(target.scanLine(y)) + area.left();
        const uint32_t* s = sums.data();
        constexpr uint32_t kHalf = 1u << 23;
        for (int x = 0; x < width; ++x, s += 3)
            line[x] = 0xFF000000u | ((s[2] + kHalf) >> 24) << 16 | ((s[1] + kHalf) >> 24) << 8 | ((s[0] + kHalf) >> 24);
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
