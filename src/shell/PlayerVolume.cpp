#include "shell/PlayerVolume.h"

#include <algorithm>

#include "platform/AudioOutput.h"
#include "platform/Rounding.h"
#include "sound/Volume.h"

namespace movarel {

int32_t PlayerVolume::Percent() const {
    if (muted_) return keptPercent_;
    return RoundHalfEven(GetVolumePercent(output_));
}

void PlayerVolume::Set(int32_t percent) {
    percent = std::clamp(percent, 0, 100);
    muted_ = false;
    SetVolumePercent(output_, static_cast<float>(percent));
    Show();
}

void PlayerVolume::Step(int32_t steps) { Set(Percent() + steps * kVolumeStepPercent); }

void PlayerVolume::SetMuted(bool muted) {
    if (muted == muted_) return;
    if (muted) {
        keptPercent_ = Percent();
        muted_ = true;
        SetVolumePercent(output_, 0.0f);
    } else {
        muted_ = false;
        SetVolumePercent(output_, static_cast<float>(keptPercent_));
    }
    Show();
}

void PlayerVolume::Show() {
    if (show_) show_();
}

}  // namespace movarel
