#pragma once
// The shell's calls into the film reader, in one place: the start-up film
// through its trailer, and a film file from the open dialog or a drop.
#include <string>

#include "film/Streams.h"

namespace movarel {

struct FilmPosition;

// Starts a segment on the main window's player and hands its events on at
// once, as a menu command does. False without a player or when it fails.
bool StartShellSegment(int32_t index);
// Starts the film at point: its segment as StartShellSegment does, then on
// from the frame. False as StartShellSegment.
bool StartFilmAt(const FilmPosition& point);
// A stopped film shows a still frame, where Play goes on from: the frame a
// reopened film was left at, else its current segment's first. Nothing while
// it plays or is paused.
void ShowStoppedFrame();
// The film at the end of stream (start-up). False when none is appended;
// named (a film path from the command line) then tells the user so.
bool LoadStartupFilm(FileStream& stream, bool named);
// A film file read from its start (open dialog, drop); once it opens, it is
// the film's source that Properties names.
void LoadFilmFile(const std::string& path);
// The film's path for Properties: its source made absolute (the player's own
// file for a self-playing film).
std::string FilmPathForProperties();

}  // namespace movarel
