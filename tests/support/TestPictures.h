#pragma once
// Pictures the tests put into films: 0x00RRGGBB pixels, top row first, as the
// film writer takes them. Kept with the tests, not in the film writer, which
// the tools link too.
#include <cstdint>

#include "FilmWriter.h"

namespace movarel::test {

// Every pixel colour.
writer::Image Solid(int32_t width, int32_t height, uint32_t colour);

// Four quadrants: red, green / blue, white.
writer::Image Quadrants(int32_t width, int32_t height);

}  // namespace movarel::test
