// movarel-tool info, run as the user runs it: a JSON object, exit codes and
// nothing left in the temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

using namespace movarel::writer;

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun RunInfo(const std::string& tmp, const std::string& args) {
    const char* tool = std::getenv("MOVAREL_TOOL");
    std::string cmd = "TMPDIR='" + tmp + "' '" + (tool ? tool : "movarel-tool") + "' info " + args + " 2>/dev/null";
    const CommandRun run = RunCommand(cmd);
    return ToolRun{run.status, run.out};
}

bool Has(const std::string& out, const std::string& piece) { return out.find(piece) != std::string::npos; }

}  // namespace

TEST(InfoCommand, PrintsEverySegmentFieldAndLeavesNothingBehind) {
    TestDir tmp, films;
    FilmSpec film;
    SegmentSpec s;
    s.width = 4;
    s.height = 2;
    s.bitsPerPixel = 24;
    s.fps = 29.97f;
    s.pacing = true;
    s.packing = Packing::Lzma;
    s.title = "Caf\xE9 \"quoted\"\x01";
    s.frames = {Image(8, 0x112233)};
    s.cursors = {MonoCursor(1, 1, {1}, {0})};
    s.track = {{0, 1, 1}, {0, 2, 1}};
    s.extra = {1, 2, 3, 4, 5};
    s.sound = SilentMp3(0.05);
    film.segments = {s};
    film.segments.push_back(s);
    film.segments[1].version = 7;
    WriteFileBytes(films.path + "a.qxf", BuildFilmFile(film));

    for (const char* mode : {"", " --from-start"}) {
        ToolRun r = RunInfo(tmp.path, "'" + films.path + "a.qxf'" + mode);
        EXPECT_EQ(r.status, 0) << r.out;
        const char* expected[] = {
            "\"index\": 0", "\"version\": 0", "\"width\": 4", "\"height\": 2", "\"bits_per_pixel\": 24",
            "\"fps\": 30", "\"flags\": 8449", "\"frame_count\": 1", "\"cursor_count\": 1",
            "\"title\": \"Caf\xC3\xA9 \\\"quoted\\\"\\u0001\"", "\"frame_stream_bytes\": 13",
            "\"cursor_track_bytes\": 12", "\"extra_bytes\": 5", "\"sound_file\": true",
            "\"warning\": \"Segment 2 need Movarel of other version to play\\r\"",
            "{\"caption\": \"Warning\", \"text\": \"Segment 2 need Movarel of other version to play\\r\"}"};
        for (const char* e : expected)
            EXPECT_TRUE(Has(r.out, e)) << e << "\n" << r.out;
        EXPECT_FALSE(Has(r.out, "\"index\": 1"));
        EXPECT_TRUE(tmp.Files().empty());
    }
}

TEST(InfoCommand, FilmsThatCannotBeReadExitWithOne) {
    TestDir tmp, films;
    FilmSpec film;
    film.segments = {SegmentSpec{}};
    Bytes bytes = BuildFilm(film);
    PutInt32(bytes, 999999);  // a trailer that does not fit
    WriteFileBytes(films.path + "t.qxf", bytes);

    ToolRun missing = RunInfo(tmp.path, "'" + films.path + "none.qxf'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.out, "{\"caption\": \"Error\", \"text\": \"Cannot open file " + films.path + "none.qxf\"}"))
        << missing.out;
    EXPECT_EQ(RunInfo(tmp.path, "'" + films.path + "t.qxf'").status, 1);
    EXPECT_EQ(RunInfo(tmp.path, "'" + films.path + "t.qxf' --from-start").status, 0);
    EXPECT_TRUE(tmp.Files().empty());
}

// A film of no segments, or a file of other bytes, exits with 1 and says why
// on standard error, where the one who runs the tool looks.
TEST(InfoCommand, AFilmWithoutSegmentsSaysWhyOnStandardError) {
    TestDir tmp, films;
    FilmSpec film;
    film.segmentCount = 0;
    WriteFileBytes(films.path + "empty.qxf", BuildFilmFile(film));
    WriteFileBytes(films.path + "noise.qxf", Bytes(64, 0xEE));
    const char* tool = std::getenv("MOVAREL_TOOL");
    for (const char* name : {"empty.qxf", "noise.qxf"}) {
        for (const char* mode : {"", " --from-start"}) {
            SCOPED_TRACE(std::string(name) + mode);
            const std::string path = films.path + name;
            const CommandRun run = RunCommand("TMPDIR='" + tmp.path + "' '" + (tool ? tool : "movarel-tool") +
                                              "' info '" + path + "'" + mode + " 2>&1 >/dev/null");
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "movarel-tool info: Invalid file format: " + path + "\n");
        }
    }
    EXPECT_TRUE(tmp.Files().empty());
}
