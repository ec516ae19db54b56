#pragma once
// The picture: the image as it is after the last applied frame, 32 bits per
// pixel in memory order blue, green, red, 0 (a little-endian 0x00RRGGBB),
// rows top-down without padding.
#include <cstdint>
#include <vector>

#include "platform/LargePages.h"

namespace movarel {

struct Picture {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint32_t> Pixels;  // Width * Height

    void Reset(int32_t width, int32_t height) {
        Width = width;
        Height = height;
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        if (Pixels.capacity() < count) {
            // Fresh memory is advised before the zeros touch it.
            std::vector<uint32_t> fresh;
            fresh.reserve(count);
            AdviseLargePages(fresh.data(), count * sizeof(uint32_t));
            Pixels.swap(fresh);
        }
        Pixels.assign(count, 0u);
    }
    uint32_t* Row(int32_t y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    const uint32_t* Row(int32_t y) const {
        return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width);
    }
};

}  // namespace movarel
