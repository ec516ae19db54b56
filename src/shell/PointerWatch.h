#pragma once
// Where the pointer is over the player's window, learnt from the window's
// own mouse events. Wayland tells a program nothing about the pointer
// outside its windows, so nothing here asks for a global position; the same
// code serves X11.
#include <QPoint>

#include <optional>

class QWidget;

namespace movarel {

// Follows the pointer over the client area and everything on it (the
// panels and their controls) for as long as owner lives.
void StartPointerWatch(QWidget* owner);

// The pointer's last place in client-area coordinates; none before it
// came over the window and after it left.
std::optional<QPoint> PointerInClientArea();

}  // namespace movarel
