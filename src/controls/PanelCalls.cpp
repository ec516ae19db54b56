#include "controls/PanelCalls.h"

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
bool PanelCalls::StartSegment(int32_t) { return false; }
void PanelCalls::RecalcTimerPeriod() {}
void PanelCalls::StartTimer() {}
void PanelCalls::StopTimer() {}
double PanelCalls::GetVolumePercent() { return 0; }
void PanelCalls::SetVolumePercent(int32_t) {}

}  // namespace movarel
