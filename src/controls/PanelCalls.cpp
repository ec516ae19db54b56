#include "controls/PanelCalls.h"

#include "engine/PlaybackClock.h"

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
bool PanelCalls::StartSegment(int32_t index) { return ::movarel::StartSegment(index); }
void PanelCalls::RecalcTimerPeriod() { ::movarel::RecalcTimerPeriod(); }
void PanelCalls::StartTimer() { ::movarel::StartTimer(); }
void PanelCalls::StopTimer() { ::movarel::StopTimer(); }
// The audio output belongs to the shell, which answers these.
double PanelCalls::GetVolumePercent() { return 100.0; }
void PanelCalls::SetVolumePercent(int32_t) {}

}  // namespace movarel
