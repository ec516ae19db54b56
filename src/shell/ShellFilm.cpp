#include "shell/ShellFilm.h"

#include "film/FilmReader.h"

namespace movarel {

bool LoadStartupFilm(TqxFileStream& stream, bool named) { return LoadAppendedFilm(stream, named); }
void LoadFilmFile(const std::string& path) { LoadFilm(path); }

}  // namespace movarel
