#pragma once
// The main window of the player a test started in-process, and what the
// tests look at in it. Only the shell and controls tests include this.
#include <stdexcept>

#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "engine/PlaybackClock.h"
#include "engine/Player.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace movarel::test {

// The main window between its start-up and its close.
inline MainWindow& Running() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) throw std::logic_error("no main window is running");
    return *window;
}
inline ClockState& RunningClock() { return Running().ActivePlayer().Clock(); }
inline BottomPanel* RunningPanel() { return Running().Panels().Panel(); }
inline SegmentListWindow* RunningSegmentList() { return Running().Panels().SegmentList(); }

}  // namespace movarel::test
