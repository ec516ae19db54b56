#include "shell/Seeking.h"

#include <algorithm>
#include <cmath>

#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "platform/UserMessages.h"
#include "shell/CommandLine.h"
#include "shell/Commands.h"
#include "shell/FilmLoading.h"
#include "shell/MainWindow.h"
#include "shell/PanelBinding.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

// Factors within this of a step count as that step (they come from sums of
// quarters and from the settings file).
constexpr double kStepSlack = 1e-6;
constexpr double kTimeSlack = 1e-6;

bool HasFrames(const Segment* segment) { return segment != nullptr && segment->FrameCount > 0; }

std::optional<FilmPosition> FirstFramePosition(const Film& film) {
    for (int32_t i = 0; i < film.Count(); ++i)
        if (HasFrames(film.Items(i)))
            return FilmPosition{i, 0};
    return std::nullopt;
}

// The frame after (direction > 0) or before position, segments without
// frames skipped; nothing past either end.
std::optional<FilmPosition> NeighbourFrame(const Film& film, FilmPosition position, int direction) {
    if (direction > 0) {
        const Segment* segment = film.Items(position.Segment);
        if (HasFrames(segment) && position.Frame + 1 < segment->FrameCount)
            return FilmPosition{position.Segment, position.Frame + 1};
        for (int32_t i = position.Segment + 1; i < film.Count(); ++i)
            if (HasFrames(film.Items(i)))
                return FilmPosition{i, 0};
        return std::nullopt;
    }
    if (position.Frame > 0)
        return FilmPosition{position.Segment, position.Frame - 1};
    for (int32_t i = position.Segment - 1; i >= 0; --i)
        if (const Segment* segment = film.Items(i); HasFrames(segment))
            return FilmPosition{i, segment->FrameCount - 1};
    return std::nullopt;
}

// The main window's player; null without a main window.
Player* WindowPlayer() {
    MainWindow* window = Shell().Window;
    return window != nullptr ? &window->ActivePlayer() : nullptr;
}

}  // namespace

double SteppedSpeedFactor(double factor, int direction) {
    if (!(factor > 0) || direction == 0)
        return factor;
    if (direction > 0) {
        if (factor < kSpeedStepSlowest - kStepSlack)
            return kSpeedStepSlowest;
        if (factor >= kSpeedStepFastest - kStepSlack)
            return factor;
        return std::min(kSpeedStepFastest, (std::floor(factor / kSpeedStep + kStepSlack) + 1) * kSpeedStep);
    }
    if (factor > kSpeedStepFastest + kStepSlack)
        return kSpeedStepFastest;
    if (factor <= kSpeedStepSlowest + kStepSlack)
        return factor;
    return std::max(kSpeedStepSlowest, (std::ceil(factor / kSpeedStep - kStepSlack) - 1) * kSpeedStep);
}

std::optional<FilmPosition> ShownPosition(const ClockState& clock) {
    const int32_t next = clock.FrameIndex;
    if (next < 0)
        return std::nullopt;
    // The clock holds the frame to come, except on a segment's last frame.
    const int32_t shown = clock.LastFrameShown ? next : std::max(next - 1, 0);
    return FilmPosition{clock.CurrentSegment, shown};
}

std::optional<FilmPosition> LastFramePosition(const Film& film) {
    for (int32_t i = film.Count() - 1; i >= 0; --i)
        if (const Segment* segment = film.Items(i); HasFrames(segment))
            return FilmPosition{i, segment->FrameCount - 1};
    return std::nullopt;
}

bool SeekShell(const FilmPosition& position) {
    MainWindow* window = Shell().Window;
    if (window == nullptr)
        return false;
    window->RefreshScreen();
    const bool done = window->ActivePlayer().SeekTo(position.Segment, position.Frame);
    window->DrainPlayerEvents();
    if (done) {
        window->Panels().SelectSegmentInList(position.Segment);
        window->Panels().RefreshTime();
    }
    UpdateMenuState();
    return done;
}

bool SeekFilmTime(double seconds) {
    Player* player = WindowPlayer();
    if (player == nullptr)
        return false;
    const Film& film = player->PlayedFilm();
    FilmPosition position;
    // A frame's start computed in sums of its length may land a hair before
    // it (10.1 - 5 is 5.0999...): a microsecond keeps it in its frame.
    if (player->PositionAtFilmTime(std::max(seconds + kTimeSlack, 0.0), &position))
        return SeekShell(position);
    const std::optional<FilmPosition> end = seconds > 0 ? LastFramePosition(film) : FirstFramePosition(film);
    return end && SeekShell(*end);
}

void SeekBy(double seconds) {
    Player* player = WindowPlayer();
    if (player == nullptr || player->PlayedFilm().Count() == 0)
        return;
    const std::optional<FilmPosition> shown = ShownPosition(player->Clock());
    const double from = shown ? player->FilmTimeAt(*shown) : 0.0;
    SeekFilmTime(from + seconds);
}

void StepFrame(int direction) {
    Player* player = WindowPlayer();
    if (player == nullptr || player->PlayedFilm().Count() == 0)
        return;
    if (player->Clock().PlayState.load() == Playing)
        Pause();
    const Film& film = player->PlayedFilm();
    const std::optional<FilmPosition> shown = ShownPosition(player->Clock());
    // Nothing on screen yet: a step either way shows the first frame.
    const std::optional<FilmPosition> target =
        shown ? NeighbourFrame(film, *shown, direction) : FirstFramePosition(film);
    if (target)
        SeekShell(*target);
}

void GoToFirstFrame() {
    Player* player = WindowPlayer();
    if (player == nullptr)
        return;
    if (const std::optional<FilmPosition> first = FirstFramePosition(player->PlayedFilm()))
        SeekShell(*first);
}

void TogglePlayPause() {
    Player* player = WindowPlayer();
    if (player != nullptr && player->Clock().PlayState.load() == Playing)
        Pause();
    else
        Play();
}

void SetShellSpeedFactor(double factor) {
    Player* player = WindowPlayer();
    if (player == nullptr)
        return;
    player->SetSpeedFactor(factor);
    Shell().Window->Panels().ShowSpeed();
}

void StepSpeed(int direction) {
    Player* player = WindowPlayer();
    if (player == nullptr)
        return;
    const double factor = player->Clock().Factor();
    const double stepped = SteppedSpeedFactor(factor, direction);
    if (stepped != factor)
        SetShellSpeedFactor(stepped);
}

void StartFromCommandLine(const CommandLineSettings& c) {
    Player* player = WindowPlayer();
    if (player == nullptr)
        return;
    if (c.SpeedFactor > 0)
        SetShellSpeedFactor(c.SpeedFactor);
    // 0 or less plays nothing; the subtraction cannot overflow.
    if (c.StartSegmentNumber <= 0)
        return;
    const int32_t segment = c.StartSegmentNumber - 1;
    if (c.StartSeconds < 0 || segment >= player->PlayedFilm().Count()) {
        StartShellSegment(segment);
        return;
    }
    // The time counts from the segment's start and may run on into the
    // segments after it.
    FilmPosition position;
    if (!player->PositionAtFilmTime(player->FilmTimeAt(FilmPosition{segment, 0}) + c.StartSeconds, &position)) {
        ShowMessage(kWrongCommandLine, "Error", MsgIcon::Error, MsgOwner::None);
        StartShellSegment(segment);
        return;
    }
    if (SeekShell(position))
        Play();
    else
        StartShellSegment(segment);
}

}  // namespace movarel
