#include "shell/PlayerVolume.h"

#include <algorithm>

#include "controls/BottomPanel.h"
#include "platform/Rounding.h"
#include "shell/MainWindow.h"
#include "shell/PanelBinding.h"
#include "sound/Volume.h"

namespace movarel {

namespace {

struct MuteState {
    bool Muted = false;
    int32_t KeptPercent = 0;
};

MuteState& Mute() {
    static MuteState state;
    return state;
}

void ShowOnPanel() {
    if (BottomPanel* panel = Panel()) {
        panel->setVolume(PlayerVolumePercent());
        panel->setMuted(Mute().Muted);
    }
}

}  // namespace

int32_t PlayerVolumePercent() {
    if (Mute().Muted) return Mute().KeptPercent;
    return RoundHalfEven(GetVolumePercent(ShellAudioOutput()));
}

bool PlayerVolumeMuted() { return Mute().Muted; }

void SetPlayerVolume(int32_t percent) {
    percent = std::clamp(percent, 0, 100);
    Mute().Muted = false;
    SetVolumePercent(ShellAudioOutput(), static_cast<float>(percent));
    ShowOnPanel();
}

void StepPlayerVolume(int32_t steps) { SetPlayerVolume(PlayerVolumePercent() + steps * kVolumeStepPercent); }

void SetPlayerMuted(bool muted) {
    MuteState& m = Mute();
    if (muted == m.Muted) return;
    if (muted) {
        m.KeptPercent = PlayerVolumePercent();
        m.Muted = true;
        SetVolumePercent(ShellAudioOutput(), 0.0f);
    } else {
        m.Muted = false;
        SetVolumePercent(ShellAudioOutput(), static_cast<float>(m.KeptPercent));
    }
    ShowOnPanel();
}

void TogglePlayerMute() { SetPlayerMuted(!Mute().Muted); }

void ResetPlayerVolume() {
    // The output outlives the window: a mute left behind is taken back.
    if (Mute().Muted) SetVolumePercent(ShellAudioOutput(), static_cast<float>(Mute().KeptPercent));
    Mute() = MuteState();
}

}  // namespace movarel
