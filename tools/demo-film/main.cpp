// movarel-demo-film: writes the demo film, a short screen recording of a
// desktop, drawn and encoded here.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "DemoScenes.h"
#include "FilmWriter.h"

namespace {

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: movarel-demo-film [--no-sound] OUT.qxf\n"
                 "Writes a demo film of three segments at 1280 x 800. The sound track of the\n"
                 "first segment needs the lame encoder; without it the film has no sound.\n");
}

}  // namespace

int main(int argc, char** argv) {
    movarel::demo::DemoOptions options;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--no-sound") {
            options.sound = false;
        } else if (!arg.empty() && arg[0] != '-' && out.empty()) {
            out = arg;
        } else {
            std::fprintf(stderr, "movarel-demo-film: unexpected argument '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (out.empty()) {
        Usage(stderr);
        return 2;
    }
    try {
        movarel::demo::DemoResult demo = movarel::demo::BuildDemoFilm(options);
        movarel::writer::Bytes file = movarel::writer::BuildFilmFile(demo.film);
        movarel::writer::WriteFileBytes(out, file);
        int frames = 0;
        for (const auto& s : demo.film.segments)
            frames += static_cast<int>(s.rawFrameRecords.size());
        std::printf("movarel-demo-film: wrote %s: %zu segments, %d frames, %zu bytes\n", out.c_str(),
                    demo.film.segments.size(), frames, file.size());
        if (!demo.soundNote.empty())
            std::printf("movarel-demo-film: no sound track: %s\n", demo.soundNote.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movarel-demo-film: %s\n", e.what());
        return 1;
    }
    return 0;
}
