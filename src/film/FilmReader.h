#pragma once
// Reads a film: the segment directory, the 54-byte headers, each segment's
// pack (cabinet or LZMA) unpacked into the film's work directory and its data
// file split into title, cursor shapes, frame stream, cursor track, extra
// block and sound file.
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "film/Film.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

namespace movarel {

// What a read gives.
struct FilmRead {
    // Never null: the segments read, in the work directory the read was
    // given (no segments when the stream held no film).
    std::unique_ptr<Film> film;
    // The stream held a film. False when it holds nothing (nothing, a
    // segment count of 0 or less, a directory that names no segment), the
    // film is damaged beyond its directory, or the LZMA decoder cannot be
    // set up; the reader showed its message (NotAFilmText among them).
    bool isFilm = false;
    // A copy failed (a short film, a full disk, a cabinet error): the read
    // ended there, the segment being read removed with all its files, the
    // ones read before kept in film. The caller reports it (rethrows).
    std::exception_ptr failure;
};

// Reads the film that begins at the stream's position into directory.
FilmRead ReadFilm(Stream& stream, WorkDirectory directory);

// Reads the film appended to the end of the stream (trailer F); no film when
// nothing is appended (F <= 0, or F larger than the file allows). The
// player's own file may well hold none; a file the user named (named) must,
// and is then told to be no film.
FilmRead LoadAppendedFilm(Stream& stream, WorkDirectory directory, bool named = false);

// "Invalid file format: NAME", in the language table's words.
std::string NotAFilmText(const std::string& name);

// The main window's caption for a film read from path: "Movarel - [path]",
// or "Movarel" when path is the player's own file (a self-playing film).
std::string FilmWindowCaption(const std::string& path, const std::string& ownExecutable);
// /proc/self/exe, resolved; empty when it cannot be read.
std::string OwnExecutablePath();

// Frames per second from the header's rate: rounded, halves to even, low 8
// bits kept; 0 when the rate is not finite or does not fit 32 bits.
uint8_t FpsFromRate(float rate);

}  // namespace movarel
