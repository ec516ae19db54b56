#include "shell/ShellFilm.h"

#include "film/FilmReader.h"

namespace movarel {

bool LoadStartupFilm(TqxFileStream& stream) { return LoadAppendedFilm(stream); }
void LoadFilmFile(const std::string& path) { LoadFilm(path); }

}  // namespace movarel
