#include "shell/ShellPanelCalls.h"

#include "shell/ShellFilm.h"

#include "controls/PanelCalls.h"
#include "shell/Commands.h"

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
    Player* ActivePlayer() override { return ShellPlayer(); }
    bool StartSegment(int32_t index) override { return StartShellSegment(index); }
};
}  // namespace

void InstallShellPanelCalls() {
    static ShellPanelCalls calls;
    SetPanelCalls(&calls);
}

}  // namespace movarel
