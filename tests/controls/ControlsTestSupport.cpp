#include "ControlsTestSupport.h"

#include <QPushButton>
#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>

#include "controls/UqxBottomPanel.h"
#include "controls/UqxSegmentList.h"
#include "platform/WorkDirectory.h"
#include "controls/qxControls.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "shell/MainForm.h"

namespace movarel::test {

void EnsureApp() {
    if (QApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "test_controls";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

namespace {
Player* currentPlayer = nullptr;
Film* currentFilm = nullptr;
// Each fixture's film is a new film, as each load is in the player.
uint32_t filmsMade = 1;
}  // namespace

void ClearPanelFilm() {
    if (currentFilm != nullptr)
        while (currentFilm->Count() > 0)
            currentFilm->DeleteLast();
}

Player* FilmFixture::Current() { return currentPlayer; }

FilmFixture::FilmFixture(const std::vector<SegmentSpec>& segments)
    : film_(std::make_unique<Film>(WorkDirectory::Create(dir_.path))) {
    for (const SegmentSpec& want : segments) {
        Segment* seg = film_->Add();
        seg->Width = want.Width;
        seg->Height = want.Height;
        seg->BitsPerPixel = 32;
        seg->FrameCount = want.FrameCount;
        seg->Fps = static_cast<uint8_t>(want.Fps);
        seg->Title = want.Title;
    }
    film_->Serial = ++filmsMade;
    PlayerSetup setup;
    setup.ManualTicks = true;
    player_ = std::make_unique<Player>(*film_, setup);
    currentPlayer = player_.get();
    currentFilm = film_.get();
}

FilmFixture::~FilmFixture() {
    currentPlayer = nullptr;
    currentFilm = nullptr;
    player_.reset();
    film_.reset();
}

RecordingCalls::RecordingCalls() { previous_ = SetPanelCalls(this); }

RecordingCalls::~RecordingCalls() { SetPanelCalls(previous_); }

void RecordingCalls::ToggleSegmentList() {
    log.push_back("ToggleSegmentList");
    segmentListShown = !segmentListShown;
    if (segmentListShown)
        FillSegmentList();
    if (segmentListWindow != nullptr)
        segmentListWindow->setVisible(segmentListShown);
    UpdateMenuState();
}

void RecordingCalls::UpdateMenuState() {
    SetButtonCheck(PanelButton(cmd::Segments), segmentListShown);
}

bool RecordingCalls::StartSegment(int32_t index) {
    log.push_back("StartSegment " + std::to_string(index));
    if (index < 0 || index >= PanelFilm().Count())
        return false;
    PanelClock().CurrentSegment = index;
    return true;
}

void RecordingCalls::SetVolumePercent(int32_t percent) {
    log.push_back("SetVolumePercent " + std::to_string(percent));
    volume = percent;
}

PanelFixture::PanelFixture(int width, int height) {
    EnsureApp();
    PanelClock().PlayState = Stopped;
    PanelClock().CurrentSegment = 0;
    PanelClock().FrameIndex = -1;
    main = new QWidget;
    main->resize(width, height);
    list = CreateSegmentListWindow(main);
    panel = CreateBottomPanel(main);
    panel->setGeometry(0, height - kPanelHeight, width, kPanelHeight);
    panel->show();
    main->show();
    QApplication::processEvents();
}

PanelFixture::~PanelFixture() {
    delete main;
    PanelClock().PlayState = Stopped;
    PanelClock().CurrentSegment = 0;
    PanelClock().FrameIndex = -1;
    PanelClock().SpeedPosition = kNormalSpeedPosition;
}

QRgb Rgb(uint32_t colorRef) { return ColorFromRef(colorRef).rgb(); }

TqxMainWindow* StartPlayerIn(const TestDir& dir, const std::vector<std::string>& args, const std::string& program) {
    const char* shared = std::getenv("TMPDIR");
    const std::string before = shared != nullptr ? shared : "";
    setenv("TMPDIR", dir.path.c_str(), 1);
    TqxMainWindow* window = StartPlayer(args, program);
    if (before.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", before.c_str(), 1);
    return window;
}

}  // namespace movarel::test
