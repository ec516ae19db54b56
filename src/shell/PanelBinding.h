#pragma once
// The shell's side of the bottom panel and the segment list window: it makes
// them, feeds them what they show from the film, the clock and the sound, and
// runs what the user does on them through the shell's commands. Everything
// runs on the GUI thread unless it says otherwise.
#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "engine/PlaybackClock.h"
#include "engine/Player.h"

class QWidget;

namespace movarel {

class Film;
class PlayerVolume;
struct CaptionTexts;

class PanelBinding {
public:
    // Where the panels' film and player come from: the owner's loaded film
    // and its player (null for none), looked up at every use since a load
    // replaces both. StartSegment starts a chosen segment as a menu command
    // does, Seek shows a frame of the film as the shell's seeks do (the
    // progress bar), and Command runs a button's or the list's command id as
    // the menus do; without them nothing is started, sought or run.
    struct Source {
        std::function<const Film&()> LoadedFilm;
        std::function<Player*()> ActivePlayer;
        std::function<bool(int32_t)> StartSegment;
        std::function<bool(const FilmPosition&)> Seek;
        std::function<void(int)> Command;
    };
    // volume is the owner's: the slider sets it and shows each change of it.
    PanelBinding(Source source, PlayerVolume& volume);
    ~PanelBinding();
    PanelBinding(const PanelBinding&) = delete;
    PanelBinding& operator=(const PanelBinding&) = delete;

    // Creates the segment list window and the bottom panel (in that order, so
    // the panel lies above the list), hidden, as children of clientArea, wires
    // them to the shell and starts the panel's 200 ms volume poll.
    void CreatePanels(QWidget* clientArea);
    // The panels made by CreatePanels; null before, and after they went.
    BottomPanel* Panel() const { return panel; }
    SegmentListWindow* SegmentList() const { return list; }
    // The player's clock, or an idle one without a player.
    ClockState& Clock();
    // The panel's tooltips from the caption texts.
    void ApplyTooltips(const CaptionTexts& captions);

    // Progress and time display from the clock. From any thread: the timer
    // thread's requests are handed to the GUI thread, and one that comes while
    // another waits is dropped, so a fast film cannot flood the event queue.
    void RefreshTime();
    // The current segment's description, then the time (segment start, Stop,
    // a choice in the list). From any thread.
    void ShowSegment();
    // The play state changed (0 Stopped, 1 Playing, 2 Paused): Play and Pause
    // swap, the focus follows, the panel is refreshed.
    void ShowPlayState(int state);
    void SetButtonChecks(bool fullScreen, bool segmentListShown);
    // The whole panel again: volume, progress, Play or Pause.
    void Repaint();
    // The player's speed factor: the slider at its nearest step, the header
    // the factor itself.
    void ShowSpeed();

    // The segment list: the film's names with the current segment selected (a
    // film without segments leaves the list as it is).
    void FillSegmentList();
    // From any thread.
    void SelectSegmentInList(int32_t index);
    void FocusSegmentList();
    // The list box has the focus, or had it when the list was just hidden.
    bool SegmentListHasFocus() const;
    void FocusSegmentsButton();

private:
    void ReportWrongFrameRate();
    void FeedProgress();
    void FeedVolume();
    void ShowVolume();
    void RunCommand(int id);
    void RefreshTimeNow();
    void ShowSegmentNow();
    void SpeedChanged(int32_t position);
    void VolumeChanged(int32_t percent);
    // The progress bar asks for offset seconds into its part: a click seeks
    // at once; a drag's seeks are queued, one at a time, each to where the
    // pointer is when it runs, so the GUI thread never falls behind it.
    void SeekFromBar(int32_t part, float offset, bool dragging);
    void RunQueuedScrub();

    Source source;
    PlayerVolume& volume;
    ClockState idle;
    QPointer<BottomPanel> panel;
    QPointer<SegmentListWindow> list;
    // Calls handed to the GUI thread check it is still there: they may run
    // after the binding went.
    QObject alive;
    // A time refresh asked for by the timer thread waits on the GUI thread.
    std::atomic<bool> refreshPending{false};
    // The frame rate of the segment the panel describes: the time display
    // counts the clock's frames at it.
    int32_t describedFps = 0;
    // Seconds from the start of the film to the current frame, as last shown.
    float currentPosition = 0;
    // The film (Film::Serial) whose invalid frame rate was reported; 0
    // for none. A broken film is named once, not at every refresh.
    uint32_t wrongRateReportedFilm = 0;
    // The segment each part of the progress bar stands for: the bar leaves
    // out segments without a frame rate.
    std::vector<int32_t> partSegments;
    // Where the drag is to go next, and whether a seek to it is queued.
    std::optional<FilmPosition> scrubTarget;
    bool scrubQueued = false;
};

}  // namespace movarel
