// movarel-tool bundle's layout of a self-playing file, with a stand-in for
// the player so it runs without the GUI build: player, table, its length,
// film, its length; and a table with Unix line ends made readable.
#include <gtest/gtest.h>

#include <string>

#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

using namespace movarel::writer;

TEST(BundleCommand, AppendsTableAndFilmWithTheirLengthsInCrLfLines) {
    TestDir dir;
    const Bytes player = {0x7F, 'E', 'L', 'F', 1, 2, 3};
    WriteFileBytes(dir.path + "player", player);
    FilmSpec oneSegment;
    oneSegment.segments = {SegmentSpec{}};
    const Bytes film = BuildFilm(oneSegment);
    WriteFileBytes(dir.path + "film.qxf", BuildFilmFile(oneSegment));

    struct Case {
        std::string table, appended;
    };
    const Case cases[] = {
        {"Error = Fehler\nPlay = Abspielen\n", "Error = Fehler\r\nPlay = Abspielen\r\n"},
        {"Error = Fehler\r\nPlay = Abspielen", "Error = Fehler\r\nPlay = Abspielen"},
        {"\nError=Fehler\r\n\nStop=Halt", "\r\nError=Fehler\r\n\r\nStop=Halt"},
        {"", ""},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.path + "table.txt", Bytes(c.table.begin(), c.table.end()));
        ASSERT_EQ(RunCommand(Quote(ToolPath()) + " bundle " + Quote(dir.path + "film.qxf") + " --player " +
                             Quote(dir.path + "player") + " --out " + Quote(dir.path + "out") + " --language " +
                             Quote(dir.path + "table.txt") + " >/dev/null")
                      .status,
                  0);
        Bytes expected = player;
        Append(expected, Bytes(c.appended.begin(), c.appended.end()));
        PutInt32(expected, static_cast<int32_t>(c.appended.size()));
        Append(expected, film);
        PutInt32(expected, static_cast<int32_t>(film.size()));
        EXPECT_EQ(ReadFileBytes(dir.path + "out"), expected) << c.table;
    }
}
