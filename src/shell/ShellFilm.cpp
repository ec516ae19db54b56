#include "shell/ShellFilm.h"

#include <filesystem>
#include <system_error>

#include "film/FilmReader.h"
#include "shell/SettingsBinding.h"
#include "shell/ShellState.h"

namespace movarel {

bool LoadStartupFilm(TqxFileStream& stream, bool named) { return LoadAppendedFilm(stream, named); }

void LoadFilmFile(const std::string& path) {
    // From the moment the file opens the list holds its segments, also those
    // of a read that fails half-way, so the source follows it then.
    try {
        if (LoadFilm(path)) {
            Shell().FilmSource = path;
            RememberFilm(path);
        }
    } catch (...) {
        Shell().FilmSource = path;
        throw;
    }
}

std::string FilmPathForProperties() {
    const std::string& source = Shell().FilmSource;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    return error || source.empty() ? source : absolute.lexically_normal().string();
}

}  // namespace movarel
