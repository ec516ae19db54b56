#pragma once
// A picture the demo film draws into: 0x00RRGGBB pixels, top row first.
// Every primitive clips to the picture, so scenes may draw partly outside it.
#include <cstdint>
#include <string>
#include <vector>

namespace movarel::demo {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

class Canvas {
public:
    Canvas(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::vector<uint32_t>& Pixels() const { return pixels_; }

    void Fill(const Rect& r, uint32_t colour);
    // A one-pixel frame just inside r.
    void Frame(const Rect& r, uint32_t colour);
    // Rows blend from top to bottom colour.
    void VerticalGradient(const Rect& r, uint32_t top, uint32_t bottom);
    void FillCircle(int cx, int cy, int radius, uint32_t colour);
    void Put(int x, int y, uint32_t colour);

    // Text in the built-in font, each font pixel drawn as scale x scale;
    // '\n' starts a new line. Returns the width of the longest line.
    int Text(int x, int y, const std::string& text, uint32_t colour, int scale = 1);
    static int TextWidth(const std::string& text, int scale = 1);
    static int LineHeight(int scale) { return 9 * scale; }

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

// The colour part way from a to b (t in 0..1).
uint32_t Mix(uint32_t a, uint32_t b, double t);

}  // namespace movarel::demo
