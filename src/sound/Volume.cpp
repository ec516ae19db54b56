#include "sound/Volume.h"

#include <cmath>

namespace movarel {

float VolumeToPercent(uint32_t volume) {
    double left = volume & 0xFFFF;
    double right = volume >> 16;
    return static_cast<float>((left + right) * 100.0 / 2.0 / 65535.0);
}

uint32_t PercentToVolume(float percent) {
    double p = percent;
    if (p > 100.0)
        p = 100.0;
    if (!(p >= 0.0))  // also a NaN
        p = 0.0;
    uint32_t level = static_cast<uint32_t>(std::trunc(65535.0 * p / 100.0));
    if (level > 0xFFFF)
        level = 0xFFFF;
    return level | (level << 16);
}

float GetVolumePercent(const AudioOutput& output) { return VolumeToPercent(output.Volume()); }

void SetVolumePercent(AudioOutput& output, float percent) { output.SetVolume(PercentToVolume(percent)); }

}  // namespace movarel
