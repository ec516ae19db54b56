// The player as a native Wayland client: each test starts its own weston on
// a private runtime folder (headless, or on a private Xvfb for the tests
// that move the pointer) and runs the player through Qt's Wayland platform.
// What the player shows is read back from weston's screen. Skips itself
// without weston, Xvfb or Qt's Wayland plugin.
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

constexpr int kScreenWidth = 800, kScreenHeight = 600;

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

// A process of the test's own, given its arguments and environment changes,
// with its output in log; ended with SIGTERM by Stop.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& env,
            const std::string& log, int keepFd = -1) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (const auto& [name, value] : env)
        if (value.empty())
            ::unsetenv(name.c_str());
        else
            ::setenv(name.c_str(), value.c_str(), 1);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
    }
    for (int fd = 3; fd < 256; ++fd)
        if (fd != keepFd) ::close(fd);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// A weston with the CPU renderer, so its screen can be read back, on a
// socket in a runtime folder of its own: headless, or as a window on a
// private Xvfb, through which xdotool moves weston's pointer. Ended with
// the object.
class Compositor {
public:
    bool Start(bool onX, std::string* why) {
        if (!HaveCommand("weston")) {
            *why = "weston is not installed (Debian package weston)";
            return false;
        }
        ::chmod(runtime.path.c_str(), 0700);
        socket = "movarel-" + std::to_string(::getpid());
        std::string backend = "--backend=headless-backend.so";
        if (onX) {
            if (!HaveCommand("Xvfb") || !HaveCommand("xdotool")) {
                *why = "Xvfb or xdotool is not installed";
                return false;
            }
            if (!StartX(why)) return false;
            backend = "--backend=x11-backend.so";
        }
        // --debug lets weston-screenshooter read the screen.
        weston = Spawn({"weston", backend, "--use-pixman", "--no-config", "--idle-time=0", "--debug",
                        "--socket=" + socket, "--width=" + std::to_string(kScreenWidth),
                        "--height=" + std::to_string(kScreenHeight), "--log=" + runtime.path + "weston.log"},
                       {{"XDG_RUNTIME_DIR", runtime.path}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", display}},
                       "/dev/null");
        if (weston < 0 || !WaitUntil([&] { return Exists(runtime.path + socket); }, 10s)) {
            *why = "weston did not open its socket";
            return false;
        }
        return true;
    }
    ~Compositor() {
        Stop(weston);
        Stop(x);
    }
    // What a client needs in its environment to reach this compositor.
    std::string Environment() const {
        return "env -u DISPLAY XDG_RUNTIME_DIR=" + Quote(runtime.path) + " WAYLAND_DISPLAY=" + socket + " ";
    }
    std::string Log() const {
        const Bytes b = ReadFileBytes(runtime.path + "weston.log");
        return std::string(b.begin(), b.end());
    }
    // The screen as weston shows it; a null image when it cannot be read.
    QImage Screen() const {
        TestDir shots;
        const CommandRun shot =
            RunShell("cd " + Quote(shots.path) + " && " + Environment() + "weston-screenshooter 2>&1");
        const std::vector<std::string> files = shots.Files();
        QImage image;
        if (shot.status == 0 && !files.empty()) image.load(QString::fromStdString(shots.path + files.front()));
        return image;
    }
    // Moves the pointer on weston's window, which covers the X screen's top
    // left corner, so X and weston's coordinates are the same. It comes
    // from off the window first, so weston sees it enter, and arrives in two
    // steps, so its last motion is not lost in the enter.
    bool MovePointer(int px, int py) const {
        const std::string to = std::to_string(px) + " " + std::to_string(py);
        const std::string near = std::to_string(px) + " " + std::to_string(py - 1);
        const std::string enter = entered ? "" : "mousemove 1200 1000 sleep 0.2 ";
        entered = true;
        return RunShell("DISPLAY=" + display + " xdotool " + enter + "mousemove " + near + " sleep 0.1 mousemove " +
                        to).status == 0;
    }

    TestDir runtime;
    std::string socket;

private:
    // Xvfb picks a free display number and writes it to a pipe.
    bool StartX(std::string* why) {
        int fds[2];
        if (::pipe(fds) != 0) {
            *why = "no pipe for Xvfb's display number";
            return false;
        }
        x = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                  {}, runtime.path + "xvfb.log", fds[1]);
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) {
            *why = "Xvfb did not start";
            return false;
        }
        display = ":" + number;
        return true;
    }

    pid_t x = -1, weston = -1;
    std::string display;
    mutable bool entered = false;
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
    void Use(bool onX) {
        std::string why;
        if (!weston.Start(onX, &why)) GTEST_SKIP() << why;
    }
    void SetUp() override { Use(false); }

    // The player on a film the size of weston's screen, in full screen, run
    // in the background until the film shows on the screen; false when it
    // never does (the reason is then in failure).
    bool StartScreenFilm(uint32_t colour, std::string* failure) {
        FilmSpec film;
        SegmentSpec seg;
        seg.width = kScreenWidth;
        seg.height = kScreenHeight;
        // A minute at one frame a second: long enough for any wait below.
        seg.fps = 1.0f;
        seg.packing = Packing::CabStored;
        seg.soundKind = kSoundWav;
        seg.frames.assign(60, movarel::test::Solid(kScreenWidth, kScreenHeight, colour));
        film.segments = {seg};
        WriteFileBytes(work.path + "screen.qxf", BuildFilmFile(film));
        player = Spawn({"/bin/sh", "-c",
                        "exec " + PlayerCommand(weston, tmp, Quote(work.path + "screen.qxf") + " /size fullscreen")},
                       {}, tmp.path + "player.log");
        const bool shown = WaitUntil([&] { return Near(weston.Screen(), kScreenWidth / 2, kScreenHeight / 2, colour); },
                                     60s);
        if (!shown)
            *failure = "the film never showed\nplayer:\n" + PlayerLog() + "\nweston:\n" + weston.Log();
        return shown;
    }
    // SIGTERM ends the player cleanly: true when it exited and its work
    // directory is gone.
    bool StopPlayer() {
        ::kill(player, SIGTERM);
        int status = -1;
        ::waitpid(player, &status, 0);
        player = -1;
        return WIFEXITED(status) && WorkDirectories(tmp).empty();
    }
    std::string PlayerLog() const {
        const Bytes log = ReadFileBytes(tmp.path + "player.log");
        return std::string(log.begin(), log.end());
    }
    static bool Near(const QImage& image, int px, int py, uint32_t colour) {
        if (image.isNull() || !image.rect().contains(px, py)) return false;
        const QRgb p = image.pixel(px, py);
        return std::abs(qRed(p) - int(colour >> 16 & 0xFF)) <= 6 && std::abs(qGreen(p) - int(colour >> 8 & 0xFF)) <= 6 &&
               std::abs(qBlue(p) - int(colour & 0xFF)) <= 6;
    }
    void TearDown() override {
        if (player > 0) StopPlayer();
    }

    Compositor weston;
    TestDir tmp, work;
    pid_t player = -1;
};

class WaylandPointer : public Wayland {
protected:
    void SetUp() override { Use(true); }
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
    std::string failure;
    const bool shown = StartScreenFilm(kColour, &failure);
    if (NoWaylandPlugin(PlayerLog())) GTEST_SKIP() << "Qt's Wayland plugin is not installed (Debian package qt6-wayland)";
    ASSERT_TRUE(shown) << failure;
    const QImage screen = weston.Screen();
    ASSERT_EQ(screen.size(), QSize(kScreenWidth, kScreenHeight));
    int wrong = 0;
    for (int y = 0; y < kScreenHeight; y += 4)
        for (int x = 0; x < kScreenWidth; x += 4) wrong += !Near(screen, x, y, kColour);
    EXPECT_EQ(wrong, 0) << "pixels not of the film; top left " << std::hex << screen.pixel(0, 0) << ", bottom row "
                        << screen.pixel(kScreenWidth / 2, kScreenHeight - 1);
    EXPECT_TRUE(StopPlayer());
}

// Wayland tells the player where the pointer is only through its own
// window's events. The pointer at the bottom edge brings the panel up, away
// from it the panel slides out of view, and back at the edge while the
// panel still slides it lands on the panel, which comes back and stays.
TEST_F(WaylandPointer, ThePanelFollowsThePointerAtTheBottomEdgeInFullScreen) {
    if (!HaveCommand("weston-screenshooter")) GTEST_SKIP() << "weston-screenshooter is not installed";
    constexpr uint32_t kColour = 0x3366CC, kAccent = 0x9098A8;  // the panel's title colour
    std::string failure;
    const bool shown = StartScreenFilm(kColour, &failure);
    if (NoWaylandPlugin(PlayerLog())) GTEST_SKIP() << "Qt's Wayland plugin is not installed (Debian package qt6-wayland)";
    ASSERT_TRUE(shown) << failure;
    // A point of the panel's title strip clear of its texts, and one of the
    // picture just above the panel's top.
    const int titleX = kScreenWidth - 180, titleY = kScreenHeight - 30, aboveY = kScreenHeight - 45;
    auto panelUp = [&] {
        const QImage screen = weston.Screen();
        return Near(screen, titleX, titleY, kAccent) && Near(screen, titleX, aboveY, kColour);
    };
    auto panelGone = [&] { return Near(weston.Screen(), titleX, titleY, kColour); };
    ASSERT_TRUE(panelGone()) << "the panel shows before the pointer came";

    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight / 2));
    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight - 4));
    EXPECT_TRUE(WaitUntil(panelUp, 10s)) << "no panel at the bottom edge";
    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight / 2));
    EXPECT_TRUE(WaitUntil(panelGone, 10s)) << "the panel stayed";

    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight - 4));
    ASSERT_TRUE(WaitUntil(panelUp, 10s));
    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight / 2));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(weston.MovePointer(kScreenWidth / 2, kScreenHeight - 6));
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(panelUp()) << "the panel slid away under the pointer";
    EXPECT_TRUE(StopPlayer());
}
