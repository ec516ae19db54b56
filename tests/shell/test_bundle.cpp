// A self-playing film made with movarel-tool bundle, started as its own
// program: it plays with no film argument and cleans up after itself.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "FilmWriter.h"
#include "ShellTestSupport.h"
#include "test_dirs.h"

using namespace movarel::writer;

namespace {

int RunShellCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Bundle, SelfPlayingFilmPlaysAndCleansUp) {
    const char* tool = std::getenv("MOVAREL_TOOL");
    if (tool == nullptr) GTEST_SKIP() << "MOVAREL_TOOL is not set (run through ctest)";
    TestDir dir;
    const std::string film = shelltest::WriteFilm(
        dir, "short.qxf", shelltest::StillFilm(32, 24, shelltest::Solid(32, 24, 0x808080), 4, 20, 2));
    WriteFileBytes(dir.path + "table.txt", BuildLanguageTable({{"Error", "Fehler"}}));
    const std::string out = dir.path + "selfplaying";
    ASSERT_EQ(RunShellCommand(std::string(tool) + " bundle " + film + " --out " + out + " --language " + dir.path +
                  "table.txt > /dev/null"),
              0);
    EXPECT_EQ(access(out.c_str(), X_OK), 0);

    // The bundled file ends in table, L, film, F.
    const Bytes bytes = ReadFileBytes(out);
    const Bytes filmFile = ReadFileBytes(film);
    ASSERT_GT(bytes.size(), filmFile.size() + 4);
    EXPECT_TRUE(std::equal(filmFile.begin(), filmFile.end(), bytes.end() - static_cast<long>(filmFile.size())));

    const std::string tmp = dir.path + "tmp/";
    std::filesystem::create_directory(tmp);
    EXPECT_EQ(RunShellCommand("TMPDIR=" + tmp + " QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy timeout 60 " + out +
                  " /closeonfinish"),
              0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp));  // the work directory is gone

    // A file that is no film is refused without output.
    WriteFileBytes(dir.path + "bad.qxf", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_NE(RunShellCommand(std::string(tool) + " bundle " + dir.path + "bad.qxf --out " + dir.path + "x 2>/dev/null"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path + "x"));
}
