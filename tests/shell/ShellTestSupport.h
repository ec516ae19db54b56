#pragma once
// Shared pieces of the shell tests: one QApplication for the process, a
// message-box recorder, films written into a scratch folder, and the player
// started in-process around the test's own event loop.
#include <QApplication>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "MessageRecorder.h"
#include "TestPictures.h"
#include "platform/UserMessages.h"
#include "shell/MainWindow.h"
#include "test_dirs.h"

namespace shelltest {

QApplication& App();

// Processes events until pred holds or the time runs out; returns pred().
bool WaitFor(const std::function<bool()>& pred, int milliseconds = 5000);
void Pump(int milliseconds);

using movarel::test::MessageRecorder;
using movarel::test::Quadrants;
using movarel::test::Solid;

// A film of segments, each `frames` copies of image at fps, stored packing,
// no sound and no cursor.
movarel::writer::FilmSpec StillFilm(int32_t width, int32_t height, const movarel::writer::Image& image,
                                    int frames, float fps, int segments = 1);

// The player started with args and a stand-in for its own file (some bytes,
// an optional language table, no film unless given), in a scratch folder that
// is also the temporary path and holds the settings folder (configHome, when
// given, is used instead, so runs can share what they remember); stopped and
// cleaned up at the end.
class PlayerRun {
public:
    explicit PlayerRun(const std::vector<std::string>& args, const movarel::writer::Bytes& table = {},
                       const movarel::writer::Bytes& appendedFilm = {}, const std::string& configHome = {});
    ~PlayerRun();
    void Finish();
    movarel::MainWindow* window = nullptr;
    std::string workDir;
    TestDir dir;
    MessageRecorder recorder;

private:
    bool finished = false;
    std::string oldTmp;
    std::string oldConfig;
};

// Writes a .qxf file into dir and returns its path.
std::string WriteFilm(const TestDir& dir, const std::string& name, const movarel::writer::FilmSpec& film);

}  // namespace shelltest
