#pragma once
// The keys and mouse actions of a desktop player, beside the menu shortcuts:
// Esc leaves full screen, a double click on the picture and F toggle it, the
// wheel over the picture or the volume slider and 9 / 0 change the volume, M
// mutes, Ctrl+C copies the picture; the File menu gains Save frame and the
// recent films. GUI thread.
#include <string>

class QMainWindow;

namespace movarel {

// After BuildMenus: the keys, the mouse handlers and the File menu's items.
void InstallDesktopKeys(QMainWindow* window);
// The new items' captions from the language table (English without one).
void ApplyDesktopMenuLanguage();
// Opens a film of the recent list as File > Load would, with the same rule
// for when loading is allowed.
void OpenRecentFilm(const std::string& path);

}  // namespace movarel
