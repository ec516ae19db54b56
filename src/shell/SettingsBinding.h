#pragma once
// The shell's side of RememberedSettings: what the last run left (volume,
// mute, speed, the panel's pin, the window's size and place) is applied at
// start-up unless the command line says otherwise, and saved when the main
// window closes; loaded films go to the recent list. The settings file is
// found through XDG_CONFIG_HOME when the window opens its store, so a test
// that points it elsewhere gets a store of its own. GUI thread.
#include <QString>

#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace movarel {

class MainWindow;

// Where the store of the settings is, by the environment as it is now.
QString SettingsFile();

// Opens the window's store and applies what it remembers: the window's size
// and place go into settings where args name no /size, /pos (or -size,
// -pos); the panel's pin, the speed and the volume go to the window at once.
void ApplyRememberedSettings(MainWindow& window, const std::vector<std::string>& args,
                             CommandLineSettings& settings);
// Stores the window and the sound as they are now.
void SaveRememberedSettings(MainWindow& window);

// A film was opened from a file: it heads the main window's recent list.
void RememberFilm(const std::string& path);

}  // namespace movarel
