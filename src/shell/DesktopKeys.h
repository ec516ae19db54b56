#pragma once
// The keys and mouse actions of a desktop player, beside the menu shortcuts:
// Esc leaves full screen, a double click on the picture and F toggle it, the
// wheel over the picture or the volume slider and 9 / 0 change the volume, M
// mutes, Ctrl+C copies the picture; the File menu gains Save frame and the
// recent films. GUI thread.
#include <QAction>
#include <QMenu>
#include <QPointer>

#include <string>

namespace movarel {

class MainWindow;

// The File menu's items added here, and the wheel's part notch.
struct DesktopItems {
    QPointer<QAction> SaveFrame;
    QPointer<QMenu> Recent;
    // Wheel movement short of a whole notch (touchpads send small steps).
    int WheelRest = 0;
};

// After BuildMenus: the keys, the mouse handlers and the File menu's items.
void InstallDesktopKeys(MainWindow& window);
// The new items' captions from the caption texts.
void ApplyDesktopMenuLanguage(MainWindow& window);
// Opens a film of the recent list as File > Load would, with the same rule
// for when loading is allowed.
void OpenRecentFilm(const std::string& path);

}  // namespace movarel
