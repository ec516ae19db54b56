#pragma once
// Shared pieces of the controls tests: the application object (made once,
// before the first widget), a film of plain segment records, and the panels
// laid out on a stand-in main window with a small stand-in shell behind them
// that records what they signal.
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MessageRecorder.h"
#include "platform/UserMessages.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "test_dirs.h"

namespace movarel {
class BottomPanel;
class SegmentListWindow;
class MainWindow;
}  // namespace movarel

namespace movarel::test {

void EnsureApp();
// As the first member of a fixture, so the application exists before its widgets.
struct AppFirst {
    AppFirst() { EnsureApp(); }
};
// Runs posted events until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 2000);

// The real player started on program with args, its temporary path set to
// dir for the start: its work directory, and its clean-up of stale ones,
// stay in there instead of the shared folder.
MainWindow* StartPlayerIn(const TestDir& dir, const std::vector<std::string>& args, const std::string& program);

struct SegmentSpec {
    int32_t Width;
    int32_t Height;
    int32_t FrameCount;
    int32_t Fps;
    std::string Title;
};

// A film of the given segments and a player on it (manual ticks), for a
// panel binding made without a main window; gone with the fixture.
class FilmFixture {
public:
    explicit FilmFixture(const std::vector<SegmentSpec>& segments);
    ~FilmFixture();
    // Every segment deleted: the film as a failed load leaves it.
    void Clear();
    const Film& film() const { return *film_; }
    Player& player() { return *player_; }
    ClockState& clock() { return player_->Clock(); }

private:
    TestDir dir_;
    std::unique_ptr<Film> film_;
    std::unique_ptr<Player> player_;
};

// The bottom panel and the segment list window on a stand-in main window,
// the panel laid out along its bottom and shown, as the shell does it. The
// stand-in shell records every signal in log ("command 110", "speed 3",
// "volume 60", "segment 1", "menu"), shows and hides the list for
// cmd::Segments (filled with names, the Segments button checked to match),
// hands the focus back to the Segments button when the list asks, and plays a
// sound device for the volume slider: the slider sets deviceVolume and the
// panel shows what the device kept.
class PanelFixture {
public:
    explicit PanelFixture(int width = 640, int height = 400);
    ~PanelFixture();
    // The device volume as the panel shows it (rounded).
    void ShowDeviceVolume();

    QWidget* main = nullptr;
    BottomPanel* panel = nullptr;
    SegmentListWindow* list = nullptr;
    std::vector<std::string> log;
    double deviceVolume = 0;
    std::vector<std::string> names = {"Intro", "Setup", "End"};
    // Makes the next signal's receiver fail, as a failing shell command would.
    bool failNext = false;
};

QRgb Rgb(uint32_t colorRef);

}  // namespace movarel::test
