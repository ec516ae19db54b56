#include "ControlsTestSupport.h"

#include <cmath>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdlib>
#include <stdexcept>

#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "controls/WidgetHelpers.h"
#include "engine/Command.h"
#include "film/Film.h"
#include "platform/Rounding.h"
#include "platform/WorkDirectory.h"
#include "shell/MainWindow.h"

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
    // Each fixture is a new film to the panels (they report some faults once per film).
    static uint32_t serial = 1000;
    film_->Serial = ++serial;
    PlayerSetup setup;
    setup.ManualTicks = true;
    player_ = std::make_unique<Player>(*film_, setup);
}

FilmFixture::~FilmFixture() { player_.reset(); }

void FilmFixture::Clear() {
    player_->StopPlaybackForLoad();
    while (film_->Count() > 0)
        film_->DeleteLast();
}

PanelFixture::PanelFixture(int width, int height) {
    EnsureApp();
    main = new QWidget;
    main->resize(width, height);
    list = new SegmentListWindow(main);
    panel = new BottomPanel(main);
    panel->setGeometry(0, height - kPanelHeight, width, kPanelHeight);
    panel->show();

    auto record = [this](const std::string& entry) {
        log.push_back(entry);
        if (failNext) {
            failNext = false;
            throw std::runtime_error("the shell failed");
        }
    };
    auto command = [this, record](int id) {
        record("command " + std::to_string(id));
        if (id != cmd::Segments)
            return;
        const bool shown = !list->isVisible();
        if (shown) {
            QStringList shownNames;
            for (const std::string& n : names)
                shownNames << QString::fromStdString(n);
            list->setSegmentNames(shownNames);
            list->selectSegment(0);
        }
        list->setVisible(shown);
        panel->setButtonChecks(false, shown);
    };
    QObject::connect(panel, &BottomPanel::commandRequested, main, command);
    QObject::connect(list, &SegmentListWindow::commandRequested, main, command);
    QObject::connect(panel, &BottomPanel::speedChanged, main,
                     [record](int32_t v) { record("speed " + std::to_string(v)); });
    QObject::connect(panel, &BottomPanel::volumeChanged, main, [this, record](int32_t v) {
        record("volume " + std::to_string(v));
        deviceVolume = v;
        ShowDeviceVolume();
    });
    QObject::connect(panel, &BottomPanel::seekRequested, main, [record](int32_t part, float offset, bool dragging) {
        record((dragging ? "drag " : "seek ") + std::to_string(part) + " " +
               std::to_string(static_cast<int>(std::lround(offset * 100))));
    });
    QObject::connect(list, &SegmentListWindow::segmentChosen, main,
                     [record](int32_t i) { record("segment " + std::to_string(i)); });
    QObject::connect(panel, &BottomPanel::contextMenuRequested, main, [record] { record("menu"); });
    QObject::connect(list, &SegmentListWindow::contextMenuRequested, main, [record] { record("menu"); });
    QObject::connect(list, &SegmentListWindow::focusBackRequested, main, [this] { panel->focusSegmentsButton(); });

    main->show();
    QApplication::processEvents();
}

PanelFixture::~PanelFixture() { delete main; }

void PanelFixture::ShowDeviceVolume() { panel->setVolume(RoundHalfEven(deviceVolume)); }

QRgb Rgb(uint32_t colorRef) { return ColorFromRef(colorRef).rgb(); }

MainWindow* StartPlayerIn(const TestDir& dir, const std::vector<std::string>& args, const std::string& program) {
    const char* shared = std::getenv("TMPDIR");
    const std::string before = shared != nullptr ? shared : "";
    setenv("TMPDIR", dir.path.c_str(), 1);
    // What the player remembers stays with this run's folder.
    setenv("XDG_CONFIG_HOME", (dir.path + "config").c_str(), 1);
    MainWindow* window = StartPlayer(args, program);
    if (before.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", before.c_str(), 1);
    return window;
}

}  // namespace movarel::test
