#pragma once
// The player's volume as the user handles it: the slider's percent, steps
// from the keys and the wheel, and mute. Muting silences the output but keeps
// the percent, so unmuting (or any volume change) comes back to it. GUI thread.
#include <cstdint>

namespace movarel {

constexpr int32_t kVolumeStepPercent = 5;

// The percent the slider shows: while muted, the one to come back to.
int32_t PlayerVolumePercent();
bool PlayerVolumeMuted();
// Sets the percent (clamped to 0..100); a muted player is unmuted.
void SetPlayerVolume(int32_t percent);
// steps of kVolumeStepPercent, up when positive.
void StepPlayerVolume(int32_t steps);
void SetPlayerMuted(bool muted);
void TogglePlayerMute();
// Forgets the mute (a new main window starts unmuted unless told otherwise).
void ResetPlayerVolume();

}  // namespace movarel
