// movarel-film-writer demo OUT.qxf: writes a small demo film.
#include <cstdio>
#include <exception>
#include <string>

#include "FilmWriter.h"

int main(int argc, char** argv) {
    if (argc != 3 || std::string(argv[1]) != "demo") {
        std::fprintf(stderr, "usage: movarel-film-writer demo OUT.qxf\n");
        return 2;
    }
    try {
        movarel::writer::WriteFileBytes(argv[2], movarel::writer::BuildFilmFile(movarel::writer::DemoFilm()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movarel-film-writer: %s\n", e.what());
        return 1;
    }
    return 0;
}
