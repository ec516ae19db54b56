#pragma once
// Reads a film into the segment list: the segment directory, the 54-byte
// headers, each segment's pack (cabinet or LZMA) unpacked into the work
// directory and its data file split into title, cursor shapes, frame stream,
// cursor track, extra block and sound file.
#include <cstdint>
#include <functional>
#include <string>

#include "film/Streams.h"

namespace movarel {

// What a film load asks of the shell; every hook may stay empty (tools, tests).
struct FilmLoadHooks {
    std::function<void()> ShowLoadingText;
    std::function<void()> RefreshSegmentList;
    std::function<void(const std::string& caption)> SetWindowCaption;
    std::function<void()> InvalidateMainWindow;
    // The player's own file, for the caption rule; default /proc/self/exe.
    std::function<std::string()> OwnExecutablePath;
};
FilmLoadHooks& LoadHooks();

// Reads the film that begins at the stream's position into the (cleared)
// segment list. False when the stream holds no film (nothing, a segment
// count of 0 or less, a directory that names no segment), the film is
// damaged beyond its directory, or the LZMA decoder cannot be set up.
// Shows its own messages, NotAFilmText among them. Exceptions of the copies
// (a short film, a full disk, a cabinet error) end the load; the segment
// being read is removed with all its files, the ones read before stay.
bool ReadFilm(Stream& stream);

// Reads the film appended to the end of the stream (trailer F); false when
// nothing is appended (F <= 0, or F larger than the file allows). The player's
// own file may well hold none; a file the user named (named) must, and is
// then told to be no film.
bool LoadAppendedFilm(Stream& stream, bool named = false);

// "Invalid file format: NAME", in the language table's words.
std::string NotAFilmText(const std::string& name);

// Loads a film file from its start (open dialog, dropped file). False when
// the file cannot be opened; the film loaded before then stays.
bool LoadFilm(const std::string& path);

// The main window's caption for a film read from path: "Movarel - [path]",
// or "Movarel" when path is the player's own file (a self-playing film).
std::string FilmWindowCaption(const std::string& path);

// Frames per second from the header's rate: rounded, halves to even, low 8
// bits kept; 0 when the rate is not finite or does not fit 32 bits.
uint8_t FpsFromRate(float rate);

// The header version of segment index of the last ReadFilm.
uint8_t SegmentVersion(int32_t index);

// The warning text of the last ReadFilm (refused versions).
const std::string& LastFilmWarning();

}  // namespace movarel
