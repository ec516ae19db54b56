#pragma once
// Where films were left. The loaded film's place is stored for its file when
// it stops, when the window closes and when another film is opened; a film
// opened again goes on from there. A self-playing film is not resumed: it is
// the player's own file. GUI thread.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/Player.h"

namespace movarel {

struct Segment;

// Resuming is on unless the user turned it off (remembered between runs).
bool ResumingFilms();
void SetResumingFilms(bool on);

// Stores where the loaded film plays or is paused; a film played to its end
// is forgotten, so it opens at its start. A stopped film keeps what was
// stored before.
void RememberWhereFilmIs();

// The loaded film opens at its start next time (Home was pressed).
void ForgetWhereFilmIs();

// The frame the loaded film was left at, when resuming is on and it was left
// past its first frame.
std::optional<FilmPosition> WhereFilmWasLeft();

// "12:34" or "1:02:03".
std::string ShortTime(double seconds);
// The note shown when a film goes on from where it was left.
std::string ResumedNote(const FilmPosition& point);

}  // namespace movarel
