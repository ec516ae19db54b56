#include "shell/ShellPanelCalls.h"

#include "controls/PanelCalls.h"
#include "shell/Commands.h"

namespace movarel {

namespace {
// Every panel command ends like a menu command: menu state and layout refreshed.
class ShellPanelCalls : public PanelCalls {
public:
    void Play() override { RunCommand(cmd::Play); }
    void Pause() override { RunCommand(cmd::Pause); }
    void Stop() override { RunCommand(cmd::Stop); }
    void ChooseFile() override { RunCommand(cmd::Load); }
    void ToggleSegmentList() override { RunCommand(cmd::Segments); }
    void ToggleFullScreen() override { RunCommand(cmd::FullScreen); }
    void UpdateMenuState() override { movarel::UpdateMenuState(); }
    void ShowPopupMenu() override { movarel::ShowPopupMenu(); }
};
}  // namespace

void InstallShellPanelCalls() {
    static ShellPanelCalls calls;
    SetPanelCalls(&calls);
}

}  // namespace movarel
