#pragma once
// Moving about the film from the keys, the Actions menu, the progress bar and
// the command line: seeks by film time that keep the play state, frame
// steps, the first frame, play/pause and the speed steps. GUI thread.
#include <cstdint>
#include <optional>

#include "engine/Player.h"

namespace movarel {

struct CommandLineSettings;

// Left and Right seek by the short step, Up and Down by the long one.
constexpr double kShortSeekSeconds = 5;
constexpr double kLongSeekSeconds = 60;

// [ and ] step the factor by kSpeedStep between kSpeedStepSlowest and
// kSpeedStepFastest (the range the sound follows).
constexpr double kSpeedStep = 0.25;
constexpr double kSpeedStepSlowest = 0.5;
constexpr double kSpeedStepFastest = 2.0;
// The factor one step faster (direction > 0) or slower than factor. A factor
// off the steps goes to the next step that way; one outside the range comes
// back to its nearer end, and a step further out leaves it as it is.
double SteppedSpeedFactor(double factor, int direction);

// The frame on screen by the clock; nothing while stopped without one.
std::optional<FilmPosition> ShownPosition(const ClockState& clock);
// The film's last frame; nothing for a film without frames.
std::optional<FilmPosition> LastFramePosition(const Film& film);

// Shows position in the main window's player in its play state and brings
// the panel, the list and the menus up to date. False when the player
// refused it.
bool SeekShell(const FilmPosition& position);
// seconds into the film, brought into it (before the start: the first frame,
// past the end: the last one).
bool SeekFilmTime(double seconds);
// From the frame on screen (the film's start while stopped without one).
void SeekBy(double seconds);
// One frame forward (direction > 0) or back, across segment boundaries;
// playing pauses first.
void StepFrame(int direction);
// The film's first frame, in the play state as it is.
void GoToFirstFrame();
void TogglePlayPause();
// The speed factor, its nearest slider step and the panel's read-out.
void SetShellSpeedFactor(double factor);
void StepSpeed(int direction);

// The start-up film is loaded: /speed, then the start segment played from
// its start or from /start's time ("Wrong command line" when that time is
// not in the film, which then plays from the segment's start).
void StartFromCommandLine(const CommandLineSettings& settings);

}  // namespace movarel
