#include "platform/AudioOutput.h"

namespace movarel {

void ApplyGain(int16_t* samples, size_t count, int channels, uint32_t volume) {
    int32_t left = static_cast<int32_t>(volume & 0xFFFF);
    int32_t right = static_cast<int32_t>(volume >> 16);
    if (left == 0xFFFF && right == 0xFFFF)
        return;
    if (channels < 1)
        channels = 1;
    for (size_t i = 0; i < count; ++i) {
        int32_t g = (i % static_cast<size_t>(channels)) % 2 == 0 ? left : right;
        samples[i] = static_cast<int16_t>(int32_t{samples[i]} * g / 65535);
    }
}

}  // namespace movarel
