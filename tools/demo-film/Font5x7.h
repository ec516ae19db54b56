#pragma once
// A small bitmap font for the demo film: 5 x 7 glyphs for printable ASCII.
#include <cstdint>

namespace movarel::demo {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Seven rows, top first; bit 4 is the leftmost pixel. Characters outside
// 0x20..0x7E get the glyph of '?'.
const uint8_t* Glyph(char c);

}  // namespace movarel::demo
