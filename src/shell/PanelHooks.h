#pragma once
// What the shell asks of the bottom panel and the segment list window. The
// controls install their implementation with SetPanelHooks; until then the
// default does nothing and the shell runs without panels. Every method runs on
// the GUI thread unless it says otherwise.
#include <cstdint>

class QWidget;

namespace movarel {

struct CaptionTexts;

class PanelHooks {
public:
    virtual ~PanelHooks() = default;

    // Creates the bottom panel and the segment list window, hidden, as
    // children of the main window (while the main window is being set up).
    virtual void CreatePanels(QWidget* /*mainWindow*/) {}
    // The widgets made by CreatePanels; the shell places, shows and hides them.
    virtual QWidget* BottomPanelWidget() { return nullptr; }
    virtual QWidget* SegmentListWidget() { return nullptr; }
    // The panel's height when pinned.
    virtual int32_t PanelHeight() const { return 40; }
    // Tooltips from the caption texts, after the language table is applied.
    virtual void CreateTooltips(const CaptionTexts& /*captions*/) {}

    // Progress and time display. Called from the timer thread as well: the
    // panel coalesces and must not block.
    virtual void RefreshTimeDisplay() {}
    // The current segment's description (segment start, Stop, list choice).
    virtual void ShowSegmentDescription() {}
    // The play state changed (0 Stopped, 1 Playing, 2 Paused): Play and Pause
    // swap, the focus follows.
    virtual void PlayStateChanged(int /*state*/) {}
    // The Full screen and Segments buttons' checked state.
    virtual void SetButtonChecks(bool /*fullScreen*/, bool /*segmentListShown*/) {}
    // The whole panel again (after a film was loaded).
    virtual void Repaint() {}

    // The segment list window: fill with the segments' names, select one,
    // focus handling when the window is shown or hidden.
    virtual void FillSegmentList() {}
    virtual void SelectInSegmentList(int32_t /*index*/) {}
    virtual void FocusSegmentList() {}
    virtual bool SegmentListHasFocus() { return false; }
    virtual void FocusSegmentsButton() {}
};

// The installed hooks (a do-nothing default until something is installed).
PanelHooks& Panels();
// Installs hooks (nullptr: the default) and returns the previous ones; the
// caller keeps ownership.
PanelHooks* SetPanelHooks(PanelHooks* hooks);

}  // namespace movarel
