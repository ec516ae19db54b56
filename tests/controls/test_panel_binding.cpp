// The shell's side of the panels: what it feeds them from the clock, the film
// and the sound, the hand-over from the timer thread, and where what the user
// does on them ends up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include <memory>
#include <thread>

#include "ControlsTestSupport.h"
#include "controls/BottomPanel.h"
#include "controls/ProgressBar.h"
#include "controls/SegmentListWindow.h"
#include "controls/Slider.h"
#include "engine/PlaybackClock.h"
#include "engine/Command.h"
#include "film/Film.h"
#include "platform/Rounding.h"
#include "shell/PanelBinding.h"
#include "platform/SdlAudioOutput.h"
#include "shell/PlayerVolume.h"
#include "sound/Volume.h"

using namespace movarel;
using namespace movarel::test;

namespace {

const std::vector<SegmentSpec> kTwoMinuteFilm = {{640, 480, 600, 10, "First"}, {800, 600, 600, 10, "Second"}};

// The panels made by the shell's binding on a stand-in client area, the panel
// laid out along its bottom and shown. The binding shows the film fixture
// given (none: an empty film and no player), plays into an output of its own
// and records the commands it hands on; no main window.
struct BindingFixture {
    AppFirst app;
    const Film none;
    FilmFixture* shown = nullptr;
    SdlAudioOutput output;
    PlayerVolume volume{output};
    std::vector<int> commands;
    PanelBinding binding{PanelBinding::Source{
                             [this]() -> const Film& { return shown != nullptr ? shown->film() : none; },
                             [this] { return shown != nullptr ? &shown->player() : nullptr; }, nullptr, nullptr,
                             [this](int id) { commands.push_back(id); }},
                         volume};
    std::unique_ptr<QWidget> area = std::make_unique<QWidget>();
    BottomPanel* panel = nullptr;
    explicit BindingFixture(FilmFixture* film = nullptr, int width = 640, int height = 400) : shown(film) {
        Clock().PlayState = Stopped;
        Clock().CurrentSegment = 0;
        Clock().FrameIndex = -1;
        area->resize(width, height);
        binding.CreatePanels(area.get());
        panel = binding.Panel();
        panel->setGeometry(0, height - kPanelHeight, width, kPanelHeight);
        panel->show();
        area->show();
        QApplication::processEvents();
    }
    ~BindingFixture() { area.reset(); }
    ClockState& Clock() { return binding.Clock(); }
};

// Counts the calls handed to the GUI thread from other threads.
class HandOverCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == QCoreApplication::instance() && e->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

}  // namespace

TEST(PanelBinding, MakesBothPanelsHiddenWithTheListBelowThePanel) {
    AppFirst app;
    QWidget area;
    const Film none;
    SdlAudioOutput output;
    PlayerVolume volume(output);
    PanelBinding binding(
        PanelBinding::Source{[&]() -> const Film& { return none; }, [] { return static_cast<Player*>(nullptr); }, nullptr,
                             nullptr, nullptr},
        volume);
    binding.CreatePanels(&area);
    BottomPanel* panel = binding.Panel();
    SegmentListWindow* list = binding.SegmentList();
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 600, 100));
    EXPECT_FALSE(panel->isVisibleTo(&area));
    EXPECT_FALSE(list->isVisibleTo(&area));
    const QObjectList children = area.children();
    EXPECT_LT(children.indexOf(list), children.indexOf(panel));
    EXPECT_EQ(binding.Clock().SpeedPosition, kNormalSpeedPosition);
}

TEST(PanelBinding, TheTextsComeFromTheClockAndTheFilm) {
    FilmFixture film(kTwoMinuteFilm);
    BindingFixture f(&film);
    f.Clock().CurrentSegment = 1;
    f.Clock().FrameIndex = 299;
    f.binding.ShowSegment();
    EXPECT_EQ(f.panel->infoText(), "800 x 600 x 32 / 10 fps");
    EXPECT_EQ(f.panel->segmentName(), "Second");
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:01:30 | 00:02:00");
    ASSERT_EQ(f.panel->progressBar()->partCount(), 2);
    EXPECT_EQ(f.panel->progressBar()->total(), 120.0f);
    EXPECT_EQ(f.panel->progressBar()->position(), 90.0f);

    film.Clear();
    f.binding.ShowSegment();
    EXPECT_EQ(f.panel->infoText(), "");
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:00:00 | 00:00:00");
}

TEST(PanelBinding, TheTimeTextWaitsWhileThePanelIsHidden) {
    FilmFixture film(kTwoMinuteFilm);
    BindingFixture f(&film);
    f.binding.ShowSegment();
    const QString shown = f.panel->timeText();
    f.panel->hide();
    f.Clock().FrameIndex = 99;
    f.binding.RefreshTime();
    EXPECT_EQ(f.panel->timeText(), shown);
}

TEST(PanelBinding, TheSpeedSliderSetsTheClocksSpeedAndTimerPeriod) {
    FilmFixture film({{640, 480, 100, 25, "Only"}});
    BindingFixture f(&film);
    f.Clock().PlayState = Paused;
    struct Case {
        int32_t speed;
        int32_t period;
    } cases[] = {{0, 400}, {3, 40}, {7, 4}};
    for (const Case& c : cases) {
        f.panel->speedSlider()->setValue(c.speed);
        EXPECT_EQ(f.Clock().SpeedPosition, c.speed);
        EXPECT_EQ(f.Clock().Period, c.period) << c.speed;
    }
    // Without a film the speed changes only the clock's speed and the text.
    film.Clear();
    f.panel->speedSlider()->setValue(5);
    EXPECT_EQ(f.Clock().SpeedPosition, 5);
    EXPECT_EQ(f.Clock().Period, 4);
    EXPECT_EQ(f.panel->timeText().left(4), "x3.0");
}

TEST(PanelBinding, TheVolumeFollowsTheDeviceEvery200Milliseconds) {
    BindingFixture f;
    SetVolumePercent(f.output, 80);
    EXPECT_TRUE(WaitFor([&] { return f.panel->volumeText() == "80%"; }));
    // The slider has no place for 80: it stands at 79 and the device follows it.
    EXPECT_EQ(f.panel->volumeSlider()->value(), 79);
    EXPECT_EQ(RoundHalfEven(GetVolumePercent(f.output)), 79);
    EXPECT_TRUE(WaitFor([&] { return f.panel->volumeText() == "79%"; }));
    // The slider sets the device and shows what it took.
    f.panel->volumeSlider()->setValue(30);
    EXPECT_EQ(RoundHalfEven(GetVolumePercent(f.output)), 29);
    EXPECT_EQ(f.panel->volumeText(), "29%");
    SetVolumePercent(f.output, 100);
}

TEST(PanelBinding, PanelButtonsRunTheShellsCommands) {
    BindingFixture f;
    // Every command id goes to the owner's one dispatcher, menu-only and
    // unknown ones too (the dispatcher ignores those), the list's as well.
    emit f.panel->commandRequested(cmd::ShowPanel);
    emit f.panel->commandRequested(cmd::Play);
    emit f.panel->commandRequested(999);
    emit f.binding.SegmentList()->commandRequested(cmd::Segments);
    EXPECT_EQ(f.commands, (std::vector<int>{cmd::ShowPanel, cmd::Play, 999, cmd::Segments}));
}

// Mute and the keys change the volume outside the slider: the panel shows
// each change, and moving the slider while muted unmutes at its place.
TEST(PanelBinding, ThePanelShowsTheVolumeAndItsMute) {
    BindingFixture f;
    // The slider has no place for every percent: near is enough.
    f.volume.Set(60);
    EXPECT_NEAR(f.panel->volumeSlider()->value(), 60, 1);
    f.volume.SetMuted(true);
    EXPECT_TRUE(f.panel->muted());
    EXPECT_EQ(RoundHalfEven(GetVolumePercent(f.output)), 0);
    EXPECT_NEAR(f.panel->volumeSlider()->value(), 60, 1);
    // A step from the kept percent unmutes.
    f.volume.Step(-1);
    EXPECT_FALSE(f.volume.Muted());
    EXPECT_FALSE(f.panel->muted());
    EXPECT_NEAR(f.panel->volumeSlider()->value(), 55, 2);
    // Moving the slider while muted unmutes at the slider's place.
    f.volume.SetMuted(true);
    f.panel->volumeSlider()->setValue(30);
    EXPECT_FALSE(f.volume.Muted());
    EXPECT_FALSE(f.panel->muted());
    EXPECT_NEAR(GetVolumePercent(f.output), 30.0f, 2.0f);
}

TEST(PanelBinding, TimerThreadRefreshesAreCoalesced) {
    FilmFixture film(kTwoMinuteFilm);
    BindingFixture f(&film);
    f.binding.ShowSegment();
    QApplication::processEvents();
    HandOverCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    std::thread ticks([&f] {
        for (int i = 0; i < 5000; ++i) {
            f.Clock().FrameIndex = i % 600;
            f.binding.RefreshTime();
        }
        f.Clock().FrameIndex = 299;
        f.binding.RefreshTime();
    });
    ticks.join();
    EXPECT_TRUE(WaitFor([&] { return f.panel->timeText() == "x1.0    00:00:30 | 00:02:00"; }))
        << f.panel->timeText().toStdString();
    QApplication::processEvents();
    EXPECT_EQ(counter.count, 1);
    QCoreApplication::instance()->removeEventFilter(&counter);
}

// A broken frame rate is said once per film, however often the display is
// refreshed or the segment changes; its times show as unknown meanwhile.
TEST(PanelBinding, AZeroFrameRateIsReportedOncePerFilmAndItsTimesShowAsUnknown) {
    MessageRecorder recorder;
    const std::vector<SegmentSpec> broken = {
        {640, 480, 100, 10, "Good"}, {640, 480, 100, 0, "Broken"}, {640, 480, 100, 10, "After"}};
    auto film = std::make_unique<FilmFixture>(broken);
    BindingFixture f(film.get());
    f.Clock().CurrentSegment = 0;
    f.Clock().FrameIndex = 49;
    f.binding.ShowSegment();
    for (int i = 0; i < 5; ++i) {
        std::thread tick([&f] { f.binding.RefreshTime(); });
        tick.join();
        QApplication::processEvents();
    }
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "Invalid file format: FPS = 0");
    EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    // Known up to the broken segment; the film's length is not.
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:00:05 | --:--:--");
    // The broken segment is left out of the bar.
    f.binding.Repaint();
    EXPECT_EQ(f.panel->progressBar()->partCount(), 2);

    const std::pair<int32_t, const char*> segments[] = {
        {1, "x1.0    --:--:-- | --:--:--"}, {2, "x1.0    --:--:-- | --:--:--"}, {0, "x1.0    00:00:05 | --:--:--"}};
    for (auto [index, shows] : segments) {
        SCOPED_TRACE(index);
        f.Clock().CurrentSegment = index;
        f.binding.ShowSegment();
        f.binding.RefreshTime();
        EXPECT_EQ(f.panel->timeText(), shows);
    }
    EXPECT_EQ(recorder.Messages().size(), 1u);

    // The next film is a new one: its own broken rate is said again, once.
    film.reset();
    film = std::make_unique<FilmFixture>(broken);
    f.shown = film.get();
    f.binding.ShowSegment();
    f.binding.RefreshTime();
    EXPECT_EQ(recorder.Messages().size(), 2u);
}

TEST(PanelBinding, TheListShowsTheFilmsNamesAndTheCurrentSegment) {
    FilmFixture film({{640, 480, 100, 10, "Intro"}, {640, 480, 100, 10, "Caf\xE9"}});
    BindingFixture f(&film);
    f.Clock().CurrentSegment = 1;
    f.binding.FillSegmentList();
    QListWidget* list = f.binding.SegmentList()->listBox();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "Intro");
    EXPECT_EQ(list->item(1)->text().size(), 4);
    EXPECT_EQ(list->currentRow(), 1);
    std::thread([&f] { f.binding.SelectSegmentInList(0); }).join();
    EXPECT_TRUE(WaitFor([&] { return list->currentRow() == 0; }));
    // A film without segments leaves the list as it is.
    film.Clear();
    f.binding.FillSegmentList();
    EXPECT_EQ(list->count(), 2);
}
