#pragma once
// Shared pieces of the controls tests: the application object (made once,
// before the first widget), a film of plain segment records, recorded
// messages and panel calls that the tests can watch.
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MessageRecorder.h"
#include "controls/PanelCalls.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/UserMessages.h"
#include "test_dirs.h"

namespace movarel {
class TqxMainWindow;
}

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
TqxMainWindow* StartPlayerIn(const TestDir& dir, const std::vector<std::string>& args, const std::string& program);

struct SegmentSpec {
    int32_t Width;
    int32_t Height;
    int32_t FrameCount;
    int32_t Fps;
    std::string Title;
};

// A film of these segments and a player on it (manual ticks, nothing
// shown), which the recording calls hand to the panels while it lives.
class FilmFixture {
public:
    explicit FilmFixture(const std::vector<SegmentSpec>& segments);
    ~FilmFixture();
    // The player of the fixture alive now; null when there is none.
    static Player* Current();

private:
    TestDir dir_;
    std::unique_ptr<Film> film_;
    std::unique_ptr<Player> player_;
};

// Deletes the segments of the fixture's film: the panels see a film without
// segments.
void ClearPanelFilm();

// Panel calls that record what the panels asked for and play a small player:
// a segment list window shown or hidden, a volume, a play state.
class RecordingCalls : public PanelCalls {
public:
    RecordingCalls();
    ~RecordingCalls() override;
    void Play() override { log.push_back("Play"); }
    void Pause() override { log.push_back("Pause"); }
    void Stop() override { log.push_back("Stop"); }
    void ChooseFile() override { log.push_back("ChooseFile"); }
    void ToggleSegmentList() override;
    void ToggleFullScreen() override { log.push_back("ToggleFullScreen"); }
    void UpdateMenuState() override;
    void ShowPopupMenu() override { log.push_back("ShowPopupMenu"); }
    bool StartSegment(int32_t index) override;
    Player* ActivePlayer() override { return FilmFixture::Current(); }
    void RecalcTimerPeriod() override { log.push_back("RecalcTimerPeriod"); }
    void StartTimer() override { log.push_back("StartTimer"); }
    void StopTimer() override { log.push_back("StopTimer"); }
    double GetVolumePercent() override { return volume; }
    void SetVolumePercent(int32_t percent) override;

    std::vector<std::string> log;
    double volume = 0;
    bool segmentListShown = false;
    QWidget* segmentListWindow = nullptr;

private:
    PanelCalls* previous_;
};

// The main window stand-in with the panel laid out along its bottom and
// shown, as the shell does it.
class PanelFixture {
public:
    explicit PanelFixture(int width = 640, int height = 400);
    ~PanelFixture();
    QWidget* main = nullptr;
    QWidget* panel = nullptr;
    QWidget* list = nullptr;
};

QRgb Rgb(uint32_t colorRef);

}  // namespace movarel::test
