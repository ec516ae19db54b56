#pragma once
namespace movarel {
// Points the panels' command calls at the shell's commands.
void InstallShellPanelCalls();
}  // namespace movarel
