// The unpinned panel in full screen inside the real player: it slides away
// when the pointer leaves the bottom edge and comes back when it returns.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <QCursor>
#include <QTimer>
#include <QWidget>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "FilmWriter.h"
#include "shell/Commands.h"
#include "shell/Geometry.h"
#include "shell/MainWindow.h"
#include "shell/PointerWatch.h"
#include "shell/WindowState.h"

using namespace movarel;

namespace {

// The real player on a stand-in for its own file with no film. Its work
// directory, and its clean-up of stale ones, stay inside dir.
MainWindow* StartFilmlessPlayer(const TestDir& dir, const std::vector<std::string>& args) {
    test::EnsureApp();
    const std::string program = dir.path + "player";
    writer::WriteFileBytes(program, writer::Bytes(64, 0));
    MainWindow* window = test::StartPlayerIn(dir, args, program);
    if (window != nullptr)
        (void)QTest::qWaitForWindowExposed(window);
    return window;
}

}  // namespace

// The pointer that returns to the bottom edge while the panel still slides
// is over the panel, whose mouse moves never reach the client area; the
// panel must come back all the same.
TEST(PanelSlide, ComesBackForThePointerReturningOverTheSlidingPanel) {
    TestDir dir;
    MainWindow* window = StartFilmlessPlayer(dir, {"/size", "fullscreen"});
    ASSERT_NE(window, nullptr);
    WindowState& s = window->State();
    QWidget* panel = window->Panels().Panel();
    ASSERT_NE(panel, nullptr);
    const int bottom = s.ClientArea->height();
    ASSERT_EQ(s.ClientRect.height(), bottom);

    TrackMouse(bottom - 1);
    ASSERT_TRUE(panel->isVisible());
    TrackMouse(bottom / 2);
    ASSERT_TRUE(s.PanelSliding);
    PanelSlideStep();
    PanelSlideStep();
    ASSERT_EQ(panel->y(), bottom - 40 + 4);

    // The move reaches the player as a mouse event over the panel.
    QCursor::setPos(s.ClientArea->mapToGlobal(QPoint(300, bottom - 2)));
    ASSERT_TRUE(test::WaitFor([&] { return PointerInClientArea(*window) == QPoint(300, bottom - 2); }));
    PanelSlideStep();
    EXPECT_FALSE(s.PanelSliding);
    EXPECT_FALSE(s.PanelSlideTimer->isActive());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->y(), bottom - 40);

    // Away from the edge the slide goes on as before, down and out of view.
    QCursor::setPos(s.ClientArea->mapToGlobal(QPoint(300, bottom / 2)));
    TrackMouse(bottom / 2);
    EXPECT_TRUE(test::WaitFor([&] { return !panel->isVisible(); }, 3000));
    EXPECT_FALSE(s.PanelSliding);

    FinishPlayer(window);
}

// What the panel's state says and what shows must agree at every step of a
// slide: F7 (pinning) during the slide keeps the panel up for good, and
// entering full screen from a window with the pinned panel unpins it hidden
// at once rather than sliding it out from the window's old bottom edge
// across the picture.
TEST(PanelSlide, PinningOrEnteringFullScreenLeavesNoSlideBehind) {
    TestDir dir;
    MainWindow* window = StartFilmlessPlayer(dir, {});
    ASSERT_NE(window, nullptr);
    WindowState& s = window->State();
    QWidget* panel = window->Panels().Panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(s.PanelPinned);
    ASSERT_TRUE(panel->isVisible());

    ToggleFullScreen();
    EXPECT_FALSE(s.PanelPinned);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(s.PanelSliding);
    EXPECT_FALSE(s.PanelSlideTimer->isActive());
    ASSERT_TRUE(test::WaitFor([&] { return window->isFullScreen() && s.ClientArea->height() > 400; }));
    EXPECT_FALSE(panel->isVisible());

    const int bottom = s.ClientArea->height();
    TrackMouse(bottom - 1);
    ASSERT_TRUE(panel->isVisible());
    TrackMouse(bottom / 2);
    ASSERT_TRUE(s.PanelSliding);
    PanelSlideStep();
    TogglePanel();
    EXPECT_TRUE(s.PanelPinned);
    EXPECT_FALSE(s.PanelSlideTimer->isActive());
    for (int step = 0; step < 30; ++step) PanelSlideStep();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->y(), bottom - 40);
    EXPECT_EQ(panel->width(), s.ClientArea->width());

    FinishPlayer(window);
}
