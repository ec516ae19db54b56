#pragma once
// Downscaling by area averaging: each target pixel is the mean of the source
// pixels it covers, weighted by how much of each it covers. Fine detail such
// as one-pixel text strokes turns into the grey it averages to instead of
// vanishing or flickering as sampled pixels would. RGB32 images.
#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

namespace movarel {

class AreaScaler {
public:
    // Scales source (sourceWidth x sourceHeight) to targetWidth x targetHeight,
    // each no larger than the source's.
    AreaScaler(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

    // The target pixels that depend on the given source pixels.
    QRect TargetArea(const QRect& sourceRect) const;
    // Recomputes targetRect (target coordinates) of target from source.
    void Scale(const QImage& source, QImage& target, const QRect& targetRect) const;

private:
    // Weights in 1/4096, summing to 4096 for each target index: the
    // products of a row's and a column's weight and a channel still fit 32 bits.
    struct Span {
        int First = 0;                 // first source index
        std::vector<uint32_t> Weights; // one per source index from First
    };
    static std::vector<Span> Spans(int source, int target);
    int sourceWidth_, sourceHeight_, targetWidth_, targetHeight_;
    std::vector<Span> columns_;
    std::vector<Span> rows_;
};

// The whole image scaled to size (a new RGB32 image).
QImage AreaScaled(const QImage& source, const QSize& size);

}  // namespace movarel
