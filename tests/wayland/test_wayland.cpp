// The player as a native Wayland client: each test starts its own headless
// weston on a private runtime folder and runs the player through Qt's
// Wayland platform. Skips itself without weston or Qt's Wayland plugin.
#include <gtest/gtest.h>

#include <QImage>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "FilmWriter.h"
#include "TestPictures.h"
#include "run_command.h"
#include "test_dirs.h"

#ifndef MOVAREL_PLAYER
#error "the build adds MOVAREL_PLAYER for this test"
#endif

using namespace movarel::writer;
using namespace std::chrono_literals;

namespace {

constexpr int kScreenWidth = 1024, kScreenHeight = 768;

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// A headless weston with the CPU renderer, so its screen can be read back,
// on a socket in a runtime folder of its own; ended with the object.
class Compositor {
public:
    bool Start(std::string* why) {
        if (!HaveCommand("weston")) {
            *why = "weston is not installed (Debian package weston)";
            return false;
        }
        ::chmod(runtime.path.c_str(), 0700);
        socket = "movarel-" + std::to_string(::getpid());
        pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("DISPLAY");
            // Its messages go to the log below; stderr would only repeat the
            // warning that --debug gives.
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) {
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
            }
            const std::string socketArg = "--socket=" + socket, log = "--log=" + runtime.path + "weston.log";
            const std::string width = "--width=" + std::to_string(kScreenWidth);
            const std::string height = "--height=" + std::to_string(kScreenHeight);
            // --debug lets weston-screenshooter read the screen.
            ::execlp("weston", "weston", "--backend=headless-backend.so", "--use-pixman", "--no-config",
                     "--idle-time=0", "--debug", socketArg.c_str(), width.c_str(), height.c_str(), log.c_str(),
                     static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0 || !WaitUntil([&] { return Exists(runtime.path + socket); }, 10s)) {
            *why = "weston did not open its socket";
            return false;
        }
        return true;
    }
    ~Compositor() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    }
    // What a client needs in its environment to reach this compositor.
    std::string Environment() const {
        return "env -u DISPLAY XDG_RUNTIME_DIR=" + Quote(runtime.path) + " WAYLAND_DISPLAY=" + socket + " ";
    }
    std::string Log() const {
        const Bytes b = ReadFileBytes(runtime.path + "weston.log");
        return std::string(b.begin(), b.end());
    }

    TestDir runtime;
    std::string socket;
    pid_t pid = -1;
};

// The player through Qt's Wayland platform, its sound into a file by SDL's
// disk driver, its work directory under a TMPDIR of its own.
std::string PlayerCommand(const Compositor& weston, const TestDir& tmp, const std::string& args) {
    return weston.Environment() + "QT_QPA_PLATFORM=wayland SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" +
           Quote(tmp.path + "sound.raw") + " TMPDIR=" + Quote(tmp.path) + " " + Quote(MOVAREL_PLAYER) + " " + args;
}

std::vector<std::string> WorkDirectories(const TestDir& tmp) {
    std::vector<std::string> out;
    for (const std::string& name : tmp.Files())
        if (name.rfind("qxP_", 0) == 0) out.push_back(name);
    return out;
}

bool NoWaylandPlugin(const std::string& output) {
    return output.find("Could not find the Qt platform plugin \"wayland\"") != std::string::npos;
}

class Wayland : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!weston.Start(&why)) GTEST_SKIP() << why;
    }
    Compositor weston;
    TestDir tmp, work;
};

}  // namespace

// A short film with sound plays to its end and the player closes itself:
// status 0, sound written, work directory gone.
TEST_F(Wayland, PlaysAFilmWithSoundToItsEndAndCleansUp) {
    FilmSpec film;
    SegmentSpec seg;
    seg.width = 320;
    seg.height = 240;
    seg.fps = 10.0f;
    seg.packing = Packing::CabStored;
    seg.frames.assign(10, movarel::test::Solid(320, 240, 0x3366CC));
    seg.sound = SilentMp3(1.0);
    film.segments = {seg};
    WriteFileBytes(work.path + "short.qxf", BuildFilmFile(film));

    const auto start = std::chrono::steady_clock::now();
    const CommandRun r =
        RunShell(PlayerCommand(weston, tmp, Quote(work.path + "short.qxf") + " /closeonfinish") + " 2>&1");
    if (NoWaylandPlugin(r.out)) GTEST_SKIP() << "Qt's Wayland plugin is not installed (Debian package qt6-wayland)";
    EXPECT_EQ(r.status, 0) << r.out << "\nweston:\n" << weston.Log();
    EXPECT_EQ(r.out.find("xcb"), std::string::npos) << r.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    EXPECT_EQ(WorkDirectories(tmp), std::vector<std::string>{});
    struct stat st {};
    ASSERT_EQ(::stat((tmp.path + "sound.raw").c_str(), &st), 0) << "no sound was played";
    EXPECT_GT(st.st_size, 0);
}

// Full screen is the compositor's whole screen: the film, as large as the
// screen, covers it to the last row, with no window frame, no menu bar, no
// desktop panel and the control panel hidden. Read from weston's own screen.
TEST_F(Wayland, FullScreenCoversTheWholeScreenWithThePanelHidden) {
    if (!HaveCommand("weston-screenshooter")) GTEST_SKIP() << "weston-screenshooter is not installed";
    constexpr uint32_t kColour = 0x33AA55;
    FilmSpec film;
    SegmentSpec seg;
    seg.width = kScreenWidth;
    seg.height = kScreenHeight;
    seg.fps = 10.0f;
    seg.packing = Packing::CabStored;
    seg.soundKind = kSoundWav;
    seg.frames.assign(300, movarel::test::Solid(kScreenWidth, kScreenHeight, kColour));
    film.segments = {seg};
    WriteFileBytes(work.path + "screen.qxf", BuildFilmFile(film));

    const pid_t player = ::fork();
    if (player == 0) {
        const std::string command = "exec " + PlayerCommand(weston, tmp, Quote(work.path + "screen.qxf") +
                                                                               " /size fullscreen > " +
                                                                               Quote(tmp.path + "player.log") + " 2>&1");
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(player, 0);

    // The screen as weston shows it, once the film is up.
    QImage screen;
    auto filmShown = [&] {
        TestDir shots;
        const CommandRun shot = RunShell("cd " + Quote(shots.path) + " && " + weston.Environment() +
                                         "weston-screenshooter 2>&1");
        const std::vector<std::string> files = shots.Files();
        if (shot.status != 0 || files.empty()) return false;
        screen.load(QString::fromStdString(shots.path + files.front()));
        return !screen.isNull() && (screen.pixel(kScreenWidth / 2, kScreenHeight / 2) & 0xFFFFFF) == kColour;
    };
    const bool shown = WaitUntil(filmShown, 20s);
    ::kill(player, SIGTERM);
    int status = -1;
    ::waitpid(player, &status, 0);
    const Bytes log = ReadFileBytes(tmp.path + "player.log");
    const std::string playerLog(log.begin(), log.end());
    if (NoWaylandPlugin(playerLog)) GTEST_SKIP() << "Qt's Wayland plugin is not installed (Debian package qt6-wayland)";
    ASSERT_TRUE(shown) << "the film never showed\nplayer:\n" << playerLog << "\nweston:\n" << weston.Log();

    ASSERT_EQ(screen.size(), QSize(kScreenWidth, kScreenHeight));
    int wrong = 0;
    for (int y = 0; y < kScreenHeight; y += 4)
        for (int x = 0; x < kScreenWidth; x += 4)
            wrong += (screen.pixel(x, y) & 0xFFFFFF) != kColour;
    EXPECT_EQ(wrong, 0) << "pixels not of the film; top left " << std::hex << screen.pixel(0, 0) << ", bottom row "
                        << screen.pixel(kScreenWidth / 2, kScreenHeight - 1);
    // SIGTERM ends the player cleanly, its work directory removed.
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WorkDirectories(tmp), std::vector<std::string>{});
}
