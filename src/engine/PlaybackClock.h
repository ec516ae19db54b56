#pragma once
// The playback clock: starts segments and drives them from the periodic
// timer. The state lives in Clock() (ClockState.h); this is what the shell,
// the panels, the sound and movarel-tool call.
#include <cstdint>
#include <mutex>
#include <string>

#include "film/Streams.h"

namespace movarel {

class EngineHost;
class SoundCalls;

// A private message: a failure on the timer thread stopped playback; the main
// thread shows the message and runs the Stop command.
constexpr uint32_t UM_ENGINEERROR = 1024 + 103;

// Sets up the engine for a host (null: headless, nothing is shown and nothing
// can be posted) and a sound implementation (null: no sound). Call while
// stopped.
void SetupEngine(EngineHost* host, SoundCalls* sound);
EngineHost* Host();
SoundCalls& Sound();

// The engine lock: the timer tick holds it from its first step to its last.
std::recursive_mutex& EngineLock();

// The host's main thread hands every message the engine posted back here:
// UM_BLOCKEMPTY refills a block, WM_COMMAND 115 starts the next segment,
// UM_ENGINEERROR reports a failure and stops. Returns false for messages
// that are not the engine's.
bool DispatchEngineMessage(uint32_t message, uintptr_t wParam, uintptr_t lParam);

// Starts segment index from its beginning, its first tick (first frame and
// sound) at once; past the last segment it runs the Stop command. False when
// the segment cannot start.
bool StartSegment(int32_t index);

// Makes index the current segment when it is valid (stopping the timer
// first); otherwise does nothing.
void SelectSegment(int32_t index);

// Period for the current segment, its ticks per frame and the speed.
void RecalcTimerPeriod();
// Pause the sound, kill a running timer (waiting for its tick), and with
// start set run a new one at Period. Raises "MMTimer = 0" when the timer
// cannot be made.
void StartTimer();
// The resolution asked of the timer for a period: a quarter, at least 1 ms.
int32_t TimerResolutionFor(int32_t period);
void StopTimer();
bool TimerRunning();

// The timer callback, and the frame count at the end of each tick. The tick
// after the one that showed the segment's last frame only ends the segment.
void TimerTick();
void AdvanceFrame();

// Records the play state and tells the host when it changed.
void SetPlayState(uint8_t state);

// A change of the speed slider (0..8): new period, and the timer restarted
// when playing, stopped otherwise.
void SetSpeedPosition(int32_t position);

// The engine's part of the Stop command: timer and sound stopped, stop
// requested, queue cleared, segment 0 selected, Stopped, FrameIndex -1. The
// shell's Stop runs it (and closes the window with close-on-finish).
void StopPlaybackCommand();

// Stops playback before a film is loaded, so the segment list is never
// cleared under a running clock.
void StopPlaybackForLoad();

// The text of the last failure that stopped playback from the timer thread.
std::string LastEngineError();

}  // namespace movarel
