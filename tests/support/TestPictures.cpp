#include "TestPictures.h"

#include <cstddef>

namespace movarel::test {

writer::Image Solid(int32_t width, int32_t height, uint32_t colour) {
    return writer::Image(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
}

writer::Image Quadrants(int32_t width, int32_t height) {
    writer::Image image(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image[static_cast<size_t>(y) * width + x] =
                bottom ? (right ? 0xFFFFFFu : 0x0000FFu) : (right ? 0x00FF00u : 0xFF0000u);
        }
    return image;
}

}  // namespace movarel::test
