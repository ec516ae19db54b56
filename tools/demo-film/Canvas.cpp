#include "Canvas.h"

#include <algorithm>

#include "Font5x7.h"

namespace movarel::demo {

Canvas::Canvas(int width, int height)
    : width_(std::max(0, width)), height_(std::max(0, height)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

void Canvas::Fill(const Rect& r, uint32_t colour) {
    int x0 = std::max(0, r.x), y0 = std::max(0, r.y);
    int x1 = std::min(width_, r.x + r.w), y1 = std::min(height_, r.y + r.h);
    for (int y = y0; y < y1; ++y) {
        uint32_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
        std::fill(row + x0, row + std::max(x0, x1), colour);
    }
}

void Canvas::Frame(const Rect& r, uint32_t colour) {
    Fill({r.x, r.y, r.w, 1}, colour);
    Fill({r.x, r.y + r.h - 1, r.w, 1}, colour);
    Fill({r.x, r.y, 1, r.h}, colour);
    Fill({r.x + r.w - 1, r.y, 1, r.h}, colour);
}

void Canvas::VerticalGradient(const Rect& r, uint32_t top, uint32_t bottom) {
    for (int i = 0; i < r.h; ++i)
        Fill({r.x, r.y + i, r.w, 1}, Mix(top, bottom, r.h > 1 ? double(i) / (r.h - 1) : 0.0));
}

void Canvas::FillCircle(int cx, int cy, int radius, uint32_t colour) {
    for (int dy = -radius; dy <= radius; ++dy) {
        int dx = 0;
        while ((dx + 1) * (dx + 1) + dy * dy <= radius * radius)
            ++dx;
        Fill({cx - dx, cy + dy, 2 * dx + 1, 1}, colour);
    }
}

void Canvas::Put(int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_)
        pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = colour;
}

int Canvas::Text(int x, int y, const std::string& text, uint32_t colour, int scale) {
    int penX = x, penY = y, widest = 0;
    for (char c : text) {
        if (c == '\n') {
            widest = std::max(widest, penX - x);
            penX = x;
            penY += LineHeight(scale);
            continue;
        }
        const uint8_t* rows = Glyph(c);
        for (int gy = 0; gy < kGlyphHeight; ++gy)
            for (int gx = 0; gx < kGlyphWidth; ++gx)
                if (rows[gy] & (0x10 >> gx))
                    Fill({penX + gx * scale, penY + gy * scale, scale, scale}, colour);
        penX += (kGlyphWidth + 1) * scale;
    }
    return std::max(widest, penX - x);
}

int Canvas::TextWidth(const std::string& text, int scale) {
    int width = 0, widest = 0;
    for (char c : text) {
        if (c == '\n') {
            widest = std::max(widest, width);
            width = 0;
        } else {
            width += (kGlyphWidth + 1) * scale;
        }
    }
    return std::max(widest, width);
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<uint32_t>(ca + (cb - ca) * t + 0.5) << shift;
    }
    return out;
}

}  // namespace movarel::demo
