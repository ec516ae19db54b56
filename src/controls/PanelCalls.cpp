#include "controls/PanelCalls.h"

#include "engine/Player.h"
#include "sound/UqxSound.h"

namespace movarel {

namespace {
struct PanelCallsState {
    PanelCalls Default;
    PanelCalls* Installed = nullptr;
};

PanelCallsState& State() {
    static PanelCallsState state;
    return state;
}
}  // namespace

PanelCalls& Calls() {
    PanelCallsState& s = State();
    return s.Installed != nullptr ? *s.Installed : s.Default;
}

PanelCalls* SetPanelCalls(PanelCalls* calls) {
    PanelCalls* previous = State().Installed;
    State().Installed = calls;
    return previous;
}

// Until the shell, the clock and the sound offer these, the panel runs without them.
void PanelCalls::Play() {}
void PanelCalls::Pause() {}
void PanelCalls::Stop() {}
void PanelCalls::ChooseFile() {}
void PanelCalls::ToggleSegmentList() {}
void PanelCalls::ToggleFullScreen() {}
void PanelCalls::UpdateMenuState() {}
void PanelCalls::ShowPopupMenu() {}
bool PanelCalls::StartSegment(int32_t index) {
    Player* player = ActivePlayer();
    return player != nullptr && player->StartSegment(index);
}
void PanelCalls::RecalcTimerPeriod() {
    if (Player* player = ActivePlayer())
        player->RecalcTimerPeriod();
}
void PanelCalls::StartTimer() {
    if (Player* player = ActivePlayer())
        player->StartTimer();
}
void PanelCalls::StopTimer() {
    if (Player* player = ActivePlayer())
        player->StopTimer();
}

const Film& PanelFilm() {
    static const Film none;
    Player* player = Calls().ActivePlayer();
    return player != nullptr ? player->PlayedFilm() : none;
}

ClockState& PanelClock() {
    static ClockState idle;
    Player* player = Calls().ActivePlayer();
    return player != nullptr ? player->Clock() : idle;
}

const Segment* PanelSegment() { return PanelFilm().Items(PanelClock().CurrentSegment); }
double PanelCalls::GetVolumePercent() { return ::movarel::GetVolumePercent(); }
void PanelCalls::SetVolumePercent(int32_t percent) { ::movarel::SetVolumePercent(static_cast<float>(percent)); }

}  // namespace movarel
