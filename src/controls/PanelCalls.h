#pragma once
// What the bottom panel and the segment list window ask of the shell, the
// playback clock and the sound. The default forwards to those modules; tests
// install their own so the panels run alone.
#include <cstdint>

namespace movarel {

class Film;
class Player;
struct ClockState;
struct Segment;

class PanelCalls {
public:
    virtual ~PanelCalls() = default;
    // Commands of the main window.
    virtual void Play();
    virtual void Pause();
    virtual void Stop();
    virtual void ChooseFile();
    virtual void ToggleSegmentList();
    virtual void ToggleFullScreen();
    virtual void UpdateMenuState();
    virtual void ShowPopupMenu();
    // The player of the loaded film; null when there is none.
    virtual Player* ActivePlayer() { return nullptr; }
    // The playback clock.
    virtual bool StartSegment(int32_t index);
    virtual void RecalcTimerPeriod();
    virtual void StartTimer();
    virtual void StopTimer();
    // The sound device's volume, 0 .. 100.
    virtual double GetVolumePercent();
    virtual void SetVolumePercent(int32_t percent);
};

// The active player's film (an empty one without a player), its clock (an
// idle one without a player) and its current segment (null for none).
const Film& PanelFilm();
ClockState& PanelClock();
const Segment* PanelSegment();

// The installed calls (the default ones until something else is installed).
PanelCalls& Calls();
// Installs calls (nullptr: the default) and returns the previous ones; the
// caller keeps ownership.
PanelCalls* SetPanelCalls(PanelCalls* calls);

}  // namespace movarel
