#pragma once
// Where the pointer is over the player's window, learnt from the window's
// own mouse events. Wayland tells a program nothing about the pointer
// outside its windows, so nothing here asks for a global position; the same
// code serves X11.
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

namespace movarel {

class MainWindow;

// What the window's watch has learnt.
struct PointerState {
    QPointer<QObject> Watch;
    std::optional<QPoint> Place;
};

// Follows the pointer over the client area of window and everything on it
// (the panels and their controls) for as long as the window lives.
void StartPointerWatch(MainWindow& window);

// The pointer's last place in client-area coordinates; none before it
// came over the window and after it left.
std::optional<QPoint> PointerInClientArea(MainWindow& window);

}  // namespace movarel
