#pragma once
// The shell's calls into the film reader and the language table, in one
// place: the start-up film through its trailer, a film file from the open
// dialog or a drop, and the table appended to the player's own file.
#include <string>

#include "film/qxClasses.h"

namespace movarel {

// The language table appended to file (the bytes before L and F); false when
// there is none or the trailer does not fit the file.
bool ReadLanguageTableOf(const std::string& file, std::string& table);
// The eleven message texts from a table; a missing or empty value keeps the
// English text.
void ApplyMessageTexts(const std::string& table);

// The film at the end of stream (start-up). False when none is appended.
bool LoadStartupFilm(TqxFileStream& stream);
// A film file read from its start (open dialog, drop).
void LoadFilmFile(const std::string& path);

}  // namespace movarel
