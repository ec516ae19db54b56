#pragma once
// The three takes of the demo film: writing a note, moving a window and
// saving through a menu.
#include <string>

#include "FilmWriter.h"

namespace movarel::demo {

struct DemoOptions {
    bool sound = true;
};

struct DemoResult {
    writer::FilmSpec film;
    std::string soundNote;  // why the film has no sound, when it has none
};

DemoResult BuildDemoFilm(const DemoOptions& options);

}  // namespace movarel::demo
