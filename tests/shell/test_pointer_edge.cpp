// The pointer at the bottom edge in full screen, known from the window's own
// mouse events alone: Wayland gives a program no global pointer position,
// so here the global one is parked far from the edge while the events say
// otherwise.
#include <gtest/gtest.h>

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "ShellTestSupport.h"
#include "shell/Geometry.h"
#include "shell/PointerWatch.h"
#include "shell/WindowState.h"

using namespace movarel;
using namespace shelltest;

namespace {

// A move without buttons sent to widget at pos, as the window system hands
// it to the widget under the pointer.
void MoveOver(QWidget* widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), widget->mapToGlobal(QPointF(pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

}  // namespace

TEST(PointerEdge, ThePanelFollowsThePointerFromTheWindowsOwnEvents) {
    App();
    {
        PlayerRun run({"/size", "fullscreen"});
        ASSERT_NE(run.window, nullptr);
        WindowState& s = run.window->State();
        QWidget* panel = run.window->Panels().Panel();
        ASSERT_NE(panel, nullptr);
        ASSERT_TRUE(WaitFor([&] { return run.window->isFullScreen() && s.ClientArea->height() > 400; }));
        const int bottom = s.ClientArea->height();
        QCursor::setPos(s.ClientArea->mapToGlobal(QPoint(300, bottom / 2)));
        Pump(50);

        // Over the picture at the bottom edge: the panel comes up.
        MoveOver(s.ClientArea, QPoint(300, bottom - 1));
        ASSERT_TRUE(panel->isVisible());
        EXPECT_EQ(PointerInClientArea(*run.window), QPoint(300, bottom - 1));
        // Up into the picture: the panel slides down.
        MoveOver(s.ClientArea, QPoint(300, bottom / 2));
        ASSERT_TRUE(s.PanelSliding);
        PanelSlideStep();
        PanelSlideStep();
        ASSERT_EQ(panel->y(), bottom - 40 + 4);

        // Back to the edge over a button of the sliding panel, which has no
        // mouse tracking of its own: the panel stops and comes back up.
        QPushButton* button = panel->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        const QPoint onButton = button->mapFrom(s.ClientArea, QPoint(button->mapTo(s.ClientArea, QPoint(2, 0)).x(),
                                                                      bottom - 5));
        ASSERT_TRUE(button->rect().contains(onButton));
        MoveOver(button, onButton);
        EXPECT_EQ(PointerInClientArea(*run.window)->y(), bottom - 5);
        PanelSlideStep();
        EXPECT_FALSE(s.PanelSliding);
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(panel->y(), bottom - 40);

        // The pointer leaves the window: nothing holds the panel up any more.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(run.window, &leave);
        EXPECT_EQ(PointerInClientArea(*run.window), std::nullopt);
        HidePanel();
        EXPECT_TRUE(WaitFor([&] { return !panel->isVisible(); }, 3000));
    }
}
