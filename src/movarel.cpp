// The player's entry point.
#include "controls/ControlPanelHooks.h"
#include "shell/MainForm.h"
#include "shell/ShellPanelCalls.h"

int main(int argc, char** argv) {
    movarel::InstallControlPanels();
    movarel::InstallShellPanelCalls();
    return movarel::RunPlayer(argc, argv);
}
