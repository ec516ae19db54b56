// The player started as its own process and ended by a signal: it must clean
// up as closing the window does, whether it is playing or showing a box.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "ShellTestSupport.h"
#include "test_dirs.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The player with TMPDIR set to tmp; returns its pid.
// Qt's runtime folder goes into runtime, so tmp holds only what the player
// itself made there.
pid_t StartPlayerProcess(const std::string& tmp, const std::string& runtime, const std::string& argument) {
    std::vector<std::string> env{"TMPDIR=" + tmp, "XDG_RUNTIME_DIR=" + runtime, "QT_QPA_PLATFORM=offscreen",
                                 "SDL_AUDIODRIVER=dummy"};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool overridden = false;
        for (const char* name : {"TMPDIR=", "XDG_RUNTIME_DIR=", "QT_QPA_PLATFORM=", "SDL_AUDIODRIVER="})
            overridden = overridden || entry.rfind(name, 0) == 0;
        if (!overridden) env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = MOVAREL_PLAYER, arg = argument;
    char* argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
    return pid;
}

// Waits up to seconds for the process; its wait status, or -1 (then it is killed).
int WaitForExit(pid_t pid, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

std::string Runtime(const TestDir& dir) {
    const std::string path = dir.path + "runtime";
    fs::create_directory(path);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// True once the work directory holds a file: the film was read and split.
bool WorkDirectoryHasFiles(const std::string& tmp) {
    for (const auto& entry : fs::directory_iterator(tmp))
        if (entry.is_directory() && !fs::is_empty(entry.path())) return true;
    return false;
}

// True once dir holds the player's segment files.
bool HasFiles(const std::string& dir) { return fs::is_directory(dir) && !fs::is_empty(dir); }

// Sends the signal and checks the player ends by it within seconds, as a
// clean close does: exit status 128 + number, nothing left in tmp.
void ExpectEndsBySignal(pid_t pid, int number, const std::string& tmp, int seconds) {
    ASSERT_EQ(kill(pid, number), 0);
    const int status = WaitForExit(pid, seconds);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + number);
    EXPECT_TRUE(fs::is_empty(tmp));
}

// Polls done for up to 30 seconds.
bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

}  // namespace

TEST(Signals, EachEndsAPlayingFilmAndRemovesTheWorkDirectory) {
    TestDir dir;
    // Long enough to be still playing when the signal comes.
    const std::string film = shelltest::WriteFilm(
        dir, "long.qxf", shelltest::StillFilm(64, 48, shelltest::Quadrants(64, 48), 600, 10));
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        const std::string tmp = dir.path + "tmp" + std::to_string(number);
        fs::create_directory(tmp);
        const pid_t pid = StartPlayerProcess(tmp, Runtime(dir), film);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitUntil([&] { return WorkDirectoryHasFiles(tmp); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the timer runs
        ExpectEndsBySignal(pid, number, tmp, 30);
    }
}

TEST(Signals, EndAPlayerThatShowsAMessageBox) {
    TestDir dir;
    const std::string tmp = dir.path + "tmp";
    fs::create_directory(tmp);
    // A missing film: the player waits in the box that says so.
    const pid_t pid = StartPlayerProcess(tmp, Runtime(dir), dir.path + "missing.qxf");
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the player did not wait in its box";
    ExpectEndsBySignal(pid, SIGTERM, tmp, 30);
}

// A film with a segment of frame rate 0 puts up its box while it plays, and
// the stop that closing runs used to raise it again, in a loop nobody ended.
TEST(Signals, EndAPlayerWhoseBrokenFilmKeepsABoxOpen) {
    TestDir dir;
    const std::string tmp = dir.path + "tmp";
    fs::create_directory(tmp);
    movarel::writer::FilmSpec layout = shelltest::StillFilm(64, 48, shelltest::Quadrants(64, 48), 600, 10, 2);
    layout.segments[1].fps = 0;
    const std::string film = shelltest::WriteFilm(dir, "broken.qxf", layout);
    const pid_t pid = StartPlayerProcess(tmp, Runtime(dir), film);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return WorkDirectoryHasFiles(tmp); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // playing, the box up
    ASSERT_EQ(waitpid(pid, nullptr, WNOHANG), 0);
    // A logout sends KILL a few seconds after TERM; the player must be gone by then.
    ExpectEndsBySignal(pid, SIGTERM, tmp, 5);
}

// A killed player cannot clean up; the next one to start does, and leaves
// the work directory of a player that still runs alone.
TEST(Signals, AKilledPlayersWorkDirectoryIsRemovedByTheNextStartUp) {
    TestDir dir;
    const std::string tmp = dir.path + "tmp/";
    fs::create_directory(tmp);
    const std::string film = shelltest::WriteFilm(
        dir, "long.qxf", shelltest::StillFilm(64, 48, shelltest::Quadrants(64, 48), 600, 10));
    const pid_t running = StartPlayerProcess(tmp, Runtime(dir), film);
    ASSERT_GT(running, 0);
    ASSERT_TRUE(WaitUntil([&] { return HasFiles(tmp + "qxP_0000"); }));
    const pid_t killed = StartPlayerProcess(tmp, Runtime(dir), film);
    ASSERT_GT(killed, 0);
    ASSERT_TRUE(WaitUntil([&] { return HasFiles(tmp + "qxP_0001"); }));
    ASSERT_EQ(kill(killed, SIGKILL), 0);
    ASSERT_EQ(WaitForExit(killed, 30) & 0x7f, SIGKILL);
    // Marks to tell the old folders from new ones of the same name.
    std::ofstream(tmp + "qxP_0000/mark-running") << "x";
    std::ofstream(tmp + "qxP_0001/mark-killed") << "x";

    const pid_t next = StartPlayerProcess(tmp, Runtime(dir), film);
    ASSERT_GT(next, 0);
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(tmp + "qxP_0001/mark-killed") && HasFiles(tmp + "qxP_0001"); }));
    EXPECT_TRUE(fs::exists(tmp + "qxP_0000/mark-running"));
    EXPECT_FALSE(fs::exists(tmp + "qxP_0002"));

    fs::remove(tmp + "qxP_0000/mark-running");
    for (const pid_t pid : {running, next}) {
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        const int status = WaitForExit(pid, 30);
        EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
    }
    EXPECT_TRUE(fs::is_empty(tmp));
}
