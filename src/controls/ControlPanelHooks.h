#pragma once
// The controls' side of the shell's panel hooks: the bottom panel and the
// segment list window behind the PanelHooks interface.
namespace movarel {

// Installs the panels as the shell's PanelHooks; call once at start-up,
// before the main window creates its children.
void InstallControlPanels();

}  // namespace movarel
