#pragma once
// The player's volume as the user handles it: the slider's percent, steps
// from the keys and the wheel, and mute. Muting silences the output but keeps
// the percent, so unmuting (or any volume change) comes back to it. GUI thread.
#include <cstdint>
#include <functional>

namespace movarel {

class AudioOutput;

constexpr int32_t kVolumeStepPercent = 5;

class PlayerVolume {
public:
    explicit PlayerVolume(AudioOutput& output) : output_(output) {}
    PlayerVolume(const PlayerVolume&) = delete;
    PlayerVolume& operator=(const PlayerVolume&) = delete;

    AudioOutput& Output() { return output_; }
    // The percent the slider shows: while muted, the one to come back to.
    int32_t Percent() const;
    bool Muted() const { return muted_; }
    // Sets the percent (clamped to 0..100); a muted player is unmuted.
    void Set(int32_t percent);
    // steps of kVolumeStepPercent, up when positive.
    void Step(int32_t steps);
    void SetMuted(bool muted);
    void ToggleMute() { SetMuted(!muted_); }
    // Called after each of the changes above, so the panel shows them.
    void SetDisplay(std::function<void()> show) { show_ = std::move(show); }

private:
    void Show();

    AudioOutput& output_;
    bool muted_ = false;
    int32_t keptPercent_ = 0;
    std::function<void()> show_;
};

}  // namespace movarel
