#include "shell/FilmResume.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/Player.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "shell/MainWindow.h"
#include "shell/RememberedSettings.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

// The loaded film's file, or empty for a self-playing film or none.
QString FilmFile(MainWindow& window) {
    const WindowState& s = window.State();
    if (s.FilmSource.empty() || s.FilmSource == s.ProgramPath || window.LoadedFilm().Count() == 0) return {};
    return QString::fromStdString(s.FilmSource);
}

}  // namespace

bool ResumingFilms() {
    MainWindow* window = Shell().Window;
    return window != nullptr && window->Settings().Load().ResumeFilms;
}

void SetResumingFilms(bool on) {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    RememberedSettings& store = window->Settings();
    RememberedState state = store.Load();
    state.ResumeFilms = on;
    store.Save(state);
    store.Sync();
}

std::string ShortTime(double seconds) {
    // Capped far beyond any film, so the conversion stays in range.
    const long long whole = seconds > 0 ? static_cast<long long>(std::min(seconds, 1e12)) : 0;
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string ResumedNote(const FilmPosition& point) {
    std::string note = Texts().Captions.Resumed;
    const size_t at = note.find("%s");
    MainWindow* window = Shell().Window;
    const std::string time = ShortTime(window != nullptr ? window->ActivePlayer().FilmTimeAt(point) : 0.0);
    if (at == std::string::npos) return note + " " + time;
    return note.replace(at, 2, time);
}

void RememberWhereFilmIs() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    const QString file = FilmFile(*window);
    if (file.isEmpty() || !ResumingFilms()) return;
    ClockState& clock = window->ActivePlayer().Clock();
    if (clock.PlayState.load() == Stopped) return;
    const Film& film = window->LoadedFilm();
    const int32_t index = clock.CurrentSegment.load();
    const Segment* segment = film.Items(index);
    if (segment == nullptr) return;
    const int32_t frame = std::clamp(clock.FrameIndex.load(), 0, std::max(segment->FrameCount - 1, 0));
    RememberedSettings& store = window->Settings();
    const bool atEnd = index == film.Count() - 1 && (clock.EndPosted.load() || clock.LastFrameShown.load());
    const Player& player = window->ActivePlayer();
    const double intoSegment = player.FilmTimeAt({index, frame}) - player.FilmTimeAt({index, 0});
    if (atEnd || (index == 0 && frame == 0))
        store.ForgetResumePoint(file);
    else
        store.SetResumePoint(file, ResumePoint{index, std::llround(intoSegment * 1000)});
    store.Sync();
}

void ForgetWhereFilmIs() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return;
    const QString file = FilmFile(*window);
    if (file.isEmpty()) return;
    window->Settings().ForgetResumePoint(file);
    window->Settings().Sync();
}

std::optional<FilmPosition> WhereFilmWasLeft() {
    MainWindow* window = Shell().Window;
    if (window == nullptr) return std::nullopt;
    const QString file = FilmFile(*window);
    Player* player = &window->ActivePlayer();
    if (file.isEmpty() || !ResumingFilms()) return std::nullopt;
    const std::optional<ResumePoint> point = window->Settings().ResumePointFor(file);
    if (!point) return std::nullopt;
    // Half a millisecond on: the stored time was rounded, and must not fall
    // into the frame before.
    FilmPosition position;
    if (!player->PositionAtSegmentTime(point->Segment, (static_cast<double>(point->Milliseconds) + 0.5) / 1000.0,
                                       &position))
        return std::nullopt;
    if (position.Segment == 0 && position.Frame == 0) return std::nullopt;
    return FilmPosition{position.Segment, position.Frame};
}

}  // namespace movarel
