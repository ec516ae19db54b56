#pragma once
// The main window's commands. The menus, the shortcuts, the bottom panel and
// the segment list window all end up here; every function runs on the GUI
// thread. Before the main window exists they do nothing harmful.
#include <cstdint>
#include <string>

#include "engine/Command.h"

namespace movarel {

void Play();
void Pause();
// Stops playback; with /closeonfinish it closes the main window instead.
void Stop();
void ToggleSegmentList();
void TogglePanel();
void ToggleFullScreen();
void ShowFilmProperties();
// The open dialog, at any time: a film that plays or is paused is stopped
// (its place remembered) and the chosen one loaded, stopped on its still
// frame. Refused only after a self-playing film started.
void ChooseFile();
// Stops the loaded film, remembering its place, and loads path in its stead;
// play starts it. A film left part-way goes on from there.
void OpenFilm(const std::string& path, bool play);
// To the film's first frame, in the same play state.
void GoToFilmStart();
void ShowHelp();
void ShowAboutBox();
void CloseMainWindow();

// Runs command id as a menu choice does (unknown ids do nothing), then
// refreshes the menu state and the panel layout. Exceptions are reported as
// "Error in WndProc".
void RunCommand(int id);
// The same without the report: a failure goes on to the caller, so a panel
// that runs the command reports it in its own box.
void DoCommand(int id);

// Check marks and grey states of the menus and the panel's toggle buttons.
void UpdateMenuState();
// Places and shows or hides the segment list window and the bottom panel.
void LayoutPanels();
// The context menu at the mouse position.
void ShowPopupMenu();

}  // namespace movarel
