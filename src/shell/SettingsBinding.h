#pragma once
// The shell's side of RememberedSettings: what the last run left (volume,
// mute, speed, the panel's pin, the window's size and place) is applied at
// start-up unless the command line says otherwise, and saved when the main
// window closes; loaded films go to the recent list. The settings file is
// found through XDG_CONFIG_HOME when the player starts, so a test that points
// it elsewhere gets a store of its own. GUI thread.
#include <QStringList>

#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace movarel {

class RememberedSettings;

// The store of this run; opened at start-up.
RememberedSettings& PlayerSettings();

// Opens the store and applies what it remembers: the window's size and
// place go into settings where args name no /size, /pos (or -size, -pos);
// the panel's pin, the speed and the volume go to the shell at once.
void ApplyRememberedSettings(const std::vector<std::string>& args, CommandLineSettings& settings);
// Stores the window and the sound as they are now.
void SaveRememberedSettings();

// A film was opened from a file: it heads the recent list.
void RememberFilm(const std::string& path);
QStringList RecentFilms();

}  // namespace movarel
