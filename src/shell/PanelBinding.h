#pragma once
// The shell's side of the bottom panel and the segment list window: it makes
// them, feeds them what they show from the film, the clock and the sound, and
// runs what the user does on them through the shell's commands. Everything
// runs on the GUI thread unless it says otherwise.
#include <cstdint>

class QWidget;

namespace movarel {

class BottomPanel;
class SegmentListWindow;
struct CaptionTexts;

// Creates the segment list window and the bottom panel (in that order, so the
// panel lies above the list), hidden, as children of clientArea, wires them to
// the shell and starts the panel's 200 ms volume poll.
void CreatePanels(QWidget* clientArea);
// The panels made by CreatePanels; null before, and after the main window went.
BottomPanel* Panel();
SegmentListWindow* SegmentListPanel();
// The panel's tooltips from the caption texts.
void ApplyPanelTooltips(const CaptionTexts& captions);

// Progress and time display from the clock. From any thread: the timer
// thread's requests are handed to the GUI thread, and one that comes while
// another waits is dropped, so a fast film cannot flood the event queue.
void RefreshPanelTime();
// The current segment's description, then the time (segment start, Stop,
// a choice in the list). From any thread.
void ShowPanelSegment();
// The play state changed (0 Stopped, 1 Playing, 2 Paused): Play and Pause
// swap, the focus follows, the panel is refreshed.
void ShowPanelPlayState(int state);
void SetPanelButtonChecks(bool fullScreen, bool segmentListShown);
// The whole panel again: volume, progress, Play or Pause.
void RepaintPanel();

// The segment list: the film's names with the current segment selected (a
// film without segments leaves the list as it is).
void FillSegmentList();
// From any thread.
void SelectSegmentInList(int32_t index);
void FocusSegmentList();
// The list box has the focus, or had it when the list was just hidden.
bool SegmentListHasFocus();
void FocusSegmentsButton();

}  // namespace movarel
