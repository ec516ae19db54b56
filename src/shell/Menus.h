#pragma once
// The menu bar and the context menu: items by position as the menu resource
// has them, the shortcut table (added to the main window as well, so the keys
// work in full screen where the menu bar is hidden), the language table's
// captions, and the check and grey states.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <string>
#include <vector>

namespace movarel {

class MainWindow;

struct MenuState {
    QMenuBar* MainMenu = nullptr;
    QMenu* FileMenu = nullptr;
    QMenu* ActionsMenu = nullptr;
    QMenu* ViewMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QMenu* PopupMenu = nullptr;
    // The shortcut table: one window-wide action per key.
    std::vector<QAction*> Shortcuts;
};

// The View menu's item that turns resuming films on and off.
constexpr int kResumeFilmsItem = 3;

// Builds both menus and the shortcuts on window (into its MenuState); each
// chosen item and each key runs its command.
void BuildMenus(MainWindow& window);

// The captions from the language table (nothing without one).
void ApplyMenuLanguage(MainWindow& window);

// The item at position (separators counted), or null.
QAction* MenuItem(QMenu* menu, int position);

// The key of a shortcut-table entry runs its command only while the menu item
// of that command is enabled, with or without the menu bar.
bool CommandEnabled(const MenuState& menus, int id);

}  // namespace movarel
