#pragma once
// The keys and Actions menu items that move about the film and change the
// speed: Space, the arrows, "." and ",", Home, "[" and "]". Each runs its
// command through the dispatcher, greyed and refused without a film. GUI
// thread.
namespace movarel {

class MainWindow;

// After BuildMenus: the items below the Actions menu's own, their captions
// (the language table's, English for keys it lacks) and the window's keys.
void InstallSeekKeys(MainWindow& window);

}  // namespace movarel
