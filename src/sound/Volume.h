#pragma once
// The volume slider's percent and the output's gain behind it.
#include "platform/AudioOutput.h"

namespace movarel {

// The average of both channels' gain, in percent.
float GetVolumePercent(const AudioOutput& output);
// Sets both channels to trunc(65535 x percent / 100), percent clamped to
// 0..100 (a NaN counts as 0).
void SetVolumePercent(AudioOutput& output, float percent);

// The conversions on their own.
float VolumeToPercent(uint32_t volume);
uint32_t PercentToVolume(float percent);

}  // namespace movarel
