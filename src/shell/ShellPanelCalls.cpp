#include "shell/ShellPanelCalls.h"

#include "controls/PanelCalls.h"
#include "shell/Commands.h"
#include "shell/MainForm.h"
#include "sound/Volume.h"

namespace movarel {

namespace {
// Every panel command ends like a menu command: menu state and layout
// refreshed. A failure is left to the panel that ran it, which reports it in
// its own box, as it does for the clock calls it makes itself.
class ShellPanelCalls : public PanelCalls {
public:
    void Play() override { DoCommand(cmd::Play); }
    void Pause() override { DoCommand(cmd::Pause); }
    void Stop() override { DoCommand(cmd::Stop); }
    void ChooseFile() override { DoCommand(cmd::Load); }
    void ToggleSegmentList() override { DoCommand(cmd::Segments); }
    void ToggleFullScreen() override { DoCommand(cmd::FullScreen); }
    void UpdateMenuState() override { movarel::UpdateMenuState(); }
    void ShowPopupMenu() override { movarel::ShowPopupMenu(); }
    double GetVolumePercent() override { return movarel::GetVolumePercent(ShellAudioOutput()); }
    void SetVolumePercent(int32_t percent) override {
        movarel::SetVolumePercent(ShellAudioOutput(), static_cast<float>(percent));
    }
};
}  // namespace

void InstallShellPanelCalls() {
    static ShellPanelCalls calls;
    SetPanelCalls(&calls);
}

}  // namespace movarel
