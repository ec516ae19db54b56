// movarel --version, run as a packager's script runs it: no display, no
// temporary folder touched, the About box's version on one line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "shell/AboutBox.h"
#include "run_command.h"
#include "test_dirs.h"

namespace {

// "Movarel version A.B.C.D" and a line end, each part digits.
bool IsFourPartVersionLine(const std::string& text) {
    const std::string head = "Movarel version ";
    if (text.rfind(head, 0) != 0 || text.empty() || text.back() != '\n') return false;
    int parts = 1;
    bool digit = false;
    for (size_t i = head.size(); i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && digit) {
            ++parts;
            digit = false;
        } else {
            return false;
        }
    }
    return parts == 4 && digit;
}

// The player of this build tree sits one folder above movarel-tool.
std::string PlayerPath() {
    const char* tool = std::getenv("MOVAREL_TOOL");
    if (tool == nullptr)
        return std::string();
    return (std::filesystem::path(tool).parent_path().parent_path() / "movarel").string();
}

}  // namespace

TEST(Version, PrintsTheAboutBoxVersionWithoutStartingThePlayer) {
    const std::string player = PlayerPath();
    if (player.empty())
        GTEST_SKIP() << "MOVAREL_TOOL is not set (run through ctest)";
    ASSERT_TRUE(std::filesystem::exists(player)) << player;
    TestDir dir;
    // A platform plugin that does not exist makes any Qt application abort,
    // and the private TMPDIR shows whether a work directory was made.
    const std::string env = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform TMPDIR='" +
                            dir.path + "' ";
    const std::string expected = "Movarel " + movarel::AboutBox::VersionLine() + "\n";
    ASSERT_TRUE(IsFourPartVersionLine(expected))
        << expected;

    // Alone, or among the player's own options and a film that does not exist.
    for (const char* args : {"--version", "/size 800 600 --version", "missing.qxf --version /closeonfinish"}) {
        const CommandRun r = RunCommand(env + "timeout 20 '" + player + "' " + args + " 2>&1");
        EXPECT_EQ(r.status, 0) << args << ": " << r.out;
        EXPECT_EQ(r.out, expected) << args;
    }
    EXPECT_TRUE(dir.Files().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}
