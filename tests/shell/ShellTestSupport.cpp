#include "ShellTestSupport.h"

#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>

#include "engine/Player.h"
#include "film/Film.h"

namespace shelltest {

using namespace movarel;
using namespace movarel::writer;

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_shell";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
        // The player remembers its settings in the config folder: the test
        // process gets one of its own (players it starts as processes use
        // it), and every in-process run one of its own again (PlayerRun).
        static TestDir config;
        setenv("XDG_CONFIG_HOME", config.path.c_str(), 1);
        auto* a = new QApplication(argc, argv);
        a->setQuitOnLastWindowClosed(false);
        return a;
    }();
    return *app;
}

bool WaitFor(const std::function<bool()>& pred, int milliseconds) {
    App();
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > milliseconds) return pred();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

FilmSpec StillFilm(int32_t width, int32_t height, const Image& image, int frames, float fps, int segments) {
    FilmSpec film;
    for (int s = 0; s < segments; ++s) {
        SegmentSpec segment;
        segment.width = width;
        segment.height = height;
        segment.fps = fps;
        segment.soundKind = kSoundWav;
        segment.packing = Packing::CabStored;
        segment.title = "Segment " + std::to_string(s + 1);
        segment.frames.assign(static_cast<size_t>(frames), image);
        film.segments.push_back(segment);
    }
    return film;
}

std::string WriteFilm(const TestDir& dir, const std::string& name, const FilmSpec& film) {
    const std::string path = dir.path + name;
    WriteFileBytes(path, BuildFilmFile(film));
    return path;
}

PlayerRun::PlayerRun(const std::vector<std::string>& args, const Bytes& table, const Bytes& appendedFilm,
                     const std::string& configHome) {
    App();
    const char* tmp = std::getenv("TMPDIR");
    oldTmp = tmp ? tmp : "";
    setenv("TMPDIR", dir.path.c_str(), 1);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    oldConfig = config ? config : "";
    setenv("XDG_CONFIG_HOME", configHome.empty() ? (dir.path + "config").c_str() : configHome.c_str(), 1);
    const Bytes exe = {0x7F, 'E', 'L', 'F', 0, 0, 0, 0};
    const std::string program = dir.path + "player";
    WriteFileBytes(program, BuildSelfPlaying(exe, table, appendedFilm));
    window = StartPlayer(args, program);
    workDir = window->LoadedFilm().WorkPath();
}

void PlayerRun::Finish() {
    if (finished) return;
    finished = true;
    if (window != nullptr && window->isVisible()) window->close();
    FinishPlayer(window);
    window = nullptr;
    if (oldTmp.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", oldTmp.c_str(), 1);
    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
}

PlayerRun::~PlayerRun() { Finish(); }

}  // namespace shelltest
