// The bottom panel: its texts, buttons, sliders, hand-over from the timer
// thread and its drawing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>

#include <memory>
#include <thread>

#include "ControlsTestSupport.h"
#include "controls/UqxBottomPanel.h"
#include "controls/qxProgressBar.h"
#include "controls/qxSlider.h"
#include "engine/PlaybackClock.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"

using namespace movarel;
using namespace movarel::test;

namespace {

const std::vector<SegmentSpec> kTwoMinuteFilm = {{640, 480, 600, 10, "First"}, {800, 600, 600, 10, "Second"}};

void ClickRight(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

bool Logged(const RecordingCalls& calls, const std::string& entry) {
    return std::find(calls.log.begin(), calls.log.end(), entry) != calls.log.end();
}

// Counts the calls handed to the panel from other threads.
class HandOverCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

}  // namespace

TEST(BottomPanel, BeforeAnyFilmAndWithoutOne) {
    RecordingCalls calls;
    PanelFixture f;
    EXPECT_EQ(BottomPanel().InfoText, "600 x 400 x 32 / 12 fps");
    ClearPanelFilm();
    PanelSegmentInfoRefresh();
    EXPECT_EQ(BottomPanel().InfoText, "");
    EXPECT_EQ(BottomPanel().TimeText, "x1.0    00:00:00 | 00:00:00");
}

TEST(BottomPanel, TextsForAKnownFilmAndFrame) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    PanelClock().CurrentSegment = 1;
    PanelClock().FrameIndex = 299;
    PanelSegmentInfoRefresh();
    const BottomPanelState& s = BottomPanel();
    EXPECT_EQ(s.InfoText, "800 x 600 x 32 / 10 fps");
    EXPECT_EQ(s.SegmentName, "Second");
    EXPECT_EQ(s.TimeText, "x1.0    00:01:30 | 00:02:00");
    ASSERT_EQ(s.ProgressBar->SegmentCount(), 2);
    EXPECT_EQ(s.ProgressBar->GetTotal(), 120.0f);
    EXPECT_EQ(s.ProgressBar->GetPosition(), 90.0f);
}

TEST(BottomPanel, TheTimeTextWaitsWhileThePanelIsHidden) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    PanelSegmentInfoRefresh();
    const std::string shown = BottomPanel().TimeText;
    f.panel->hide();
    PanelClock().FrameIndex = 99;
    PanelTimeTextRefresh();
    EXPECT_EQ(BottomPanel().TimeText, shown);
}

TEST(BottomPanel, SpeedTextsFollowTheSpeedSlider) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    struct Case {
        int32_t value;
        const char* text;
    } cases[] = {{8, "MAX"}, {1, "x0.25"}, {3, "x1.0"}, {0, "x0.1"}, {7, "x10.0"}, {6, "x5.0"}};
    for (const Case& c : cases) {
        BottomPanel().SpeedSlider->SetPosition(c.value);
        EXPECT_EQ(BottomPanel().TimeText.substr(0, BottomPanel().TimeText.find(' ')), c.text) << c.value;
        EXPECT_EQ(PanelClock().SpeedPosition, c.value);
    }
    EXPECT_EQ(FormatSpeedText(1000.0f), "MAX");
    EXPECT_EQ(FormatSpeedText(2.5f), "x2.5");
}

TEST(BottomPanel, TimesAreHoursMinutesAndSecondsOfTheDay) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {{0, "00:00:00"},    {90, "00:01:30"},     {3661, "01:01:01"}, {59.9996, "00:01:00"},
                 {59.4, "00:00:59"}, {90000, "01:00:00"}, {NAN, "00:00:00"}};
    for (const Case& c : cases)
        EXPECT_EQ(FormatDayTime(c.seconds), c.text) << c.seconds;
}

TEST(BottomPanel, TheSpeedSliderSetsTheTimerPeriodWhilePlayingAndPaused) {
    // The clock's own period rule; the timer itself is only recorded.
    struct EngineCalls : RecordingCalls {
        void RecalcTimerPeriod() override {
            RecordingCalls::RecalcTimerPeriod();
            FilmFixture::Current()->RecalcTimerPeriod();
        }
    } calls;
    FilmFixture film({{640, 480, 100, 25, "Only"}});
    PanelFixture f;
    struct Case {
        uint8_t state;
        int32_t speed;
        int32_t period;
        const char* timer;
    } cases[] = {
        {Playing, 0, 400, "StartTimer"}, {Playing, 7, 4, "StartTimer"}, {Playing, 8, 1, "StartTimer"},
        {Paused, 3, 40, "StopTimer"},    {Paused, 0, 400, "StopTimer"},
    };
    for (const Case& c : cases) {
        PanelClock().PlayState = c.state;
        calls.log.clear();
        BottomPanel().SpeedSlider->SetPosition(c.speed);
        EXPECT_EQ(PanelClock().Period, c.period) << c.speed;
        EXPECT_EQ(calls.log, (std::vector<std::string>{"RecalcTimerPeriod", c.timer})) << c.speed;
    }
    // Without a film the speed changes only the text.
    ClearPanelFilm();
    calls.log.clear();
    BottomPanel().SpeedSlider->SetPosition(5);
    EXPECT_TRUE(calls.log.empty());
}

TEST(BottomPanel, TheVolumeSliderFollowsTheDevice) {
    RecordingCalls calls;
    PanelFixture f;
    TqxSlider* volume = BottomPanel().VolumeSlider;
    // 34 thumb positions for 101 values: 60 is reached in two steps.
    volume->SetPosition(60);
    volume->SetPosition(60);
    ASSERT_EQ(volume->GetPosition(), 60);
    ASSERT_EQ(calls.volume, 60);

    calls.volume = 51;  // changed outside the player
    PanelVolumeRefresh();
    EXPECT_EQ(volume->GetPosition(), 50);
    EXPECT_EQ(calls.volume, 50);
    EXPECT_EQ(BottomPanel().VolumeText, "51%");
    PanelVolumeRefresh();
    EXPECT_EQ(BottomPanel().VolumeText, "50%");

    // From 50 the thumb does not move, so 51 stays.
    calls.volume = 51;
    PanelVolumeRefresh();
    EXPECT_EQ(volume->GetPosition(), 51);
    EXPECT_EQ(calls.volume, 51);
    EXPECT_EQ(BottomPanel().VolumeText, "51%");

    // The 200 ms timer does the same on its own.
    calls.volume = 80;
    EXPECT_TRUE(WaitFor([&] { return BottomPanel().VolumeText == "80%"; }));
}

TEST(BottomPanel, ButtonsStandAtTheirPlacesWithTooltipsAndTabOrder) {
    RecordingCalls calls;
    PanelFixture f;
    CreatePanelTooltips();
    struct Case {
        int id;
        int x;
        bool toggle;
        const char* tip;
    } cases[] = {{cmd::Play, 8, false, "Play"},
                 {cmd::Pause, 8, false, "Pause"},
                 {cmd::Stop, 36, false, "Stop"},
                 {cmd::Segments, 72, true, "Segments"},
                 {cmd::PrevSegment, 100, false, "Previous segment"},
                 {cmd::NextSegment, 128, false, "Next segment"},
                 {cmd::FullScreen, 164, true, "Full screen"}};
    for (const Case& c : cases) {
        QPushButton* b = PanelButton(c.id);
        ASSERT_NE(b, nullptr) << c.id;
        EXPECT_EQ(b->geometry(), QRect(c.x, 8, 24, 24)) << c.id;
        EXPECT_EQ(b->isCheckable(), c.toggle) << c.id;
        EXPECT_EQ(b->toolTip(), c.tip) << c.id;
        EXPECT_EQ(b->iconSize(), QSize(20, 20)) << c.id;
    }
    const BottomPanelState& s = BottomPanel();
    EXPECT_EQ(s.ProgressBar->geometry(), QRect(210, 23, 200, 10));
    EXPECT_EQ(s.SpeedSlider->geometry(), QRect(420, 18, 70, 20));
    EXPECT_EQ(s.VolumeSlider->geometry(), QRect(494, 18, 50, 20));
    EXPECT_EQ(s.SpeedSlider->GetMax(), 8);
    EXPECT_EQ(s.SpeedSlider->GetPosition(), 3);
    EXPECT_EQ(s.VolumeSlider->GetMax(), 100);
    EXPECT_EQ(s.SpeedSlider->toolTip(), "Speed");
    EXPECT_EQ(s.VolumeSlider->toolTip(), "Volume");
    EXPECT_EQ(s.ProgressBar->toolTip(), "Progress");
    // Stopped: Play shows, Pause does not.
    EXPECT_TRUE(PanelButton(cmd::Play)->isVisible());
    EXPECT_FALSE(PanelButton(cmd::Pause)->isVisible());

    std::vector<QWidget*> chain;
    QWidget* w = PanelButton(cmd::Play);
    for (int i = 0; i < 10; ++i, w = w->nextInFocusChain())
        chain.push_back(w);
    const std::vector<QWidget*> expected = {PanelButton(cmd::Play),       PanelButton(cmd::Pause),
                                            PanelButton(cmd::Stop),       PanelButton(cmd::Segments),
                                            PanelButton(cmd::PrevSegment), PanelButton(cmd::NextSegment),
                                            PanelButton(cmd::FullScreen), s.ProgressBar,
                                            s.SpeedSlider,               s.VolumeSlider};
    EXPECT_EQ(chain, expected);
}

TEST(BottomPanel, ButtonsRunTheirCommands) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    PanelClock().CurrentSegment = 1;
    struct Case {
        int id;
        const char* entry;
    } cases[] = {{cmd::Play, "Play"},
                 {cmd::Stop, "Stop"},
                 {cmd::PrevSegment, "StartSegment 0"},
                 {cmd::NextSegment, "StartSegment 1"},
                 {cmd::FullScreen, "ToggleFullScreen"}};
    for (const Case& c : cases) {
        calls.log.clear();
        QTest::mouseClick(PanelButton(c.id), Qt::LeftButton);
        EXPECT_TRUE(Logged(calls, c.entry)) << c.id;
    }
    // Ids outside the table only refresh.
    calls.log.clear();
    RunPanelCommand(999);
    EXPECT_TRUE(calls.log.empty());
    RunPanelCommand(cmd::Load);
    EXPECT_EQ(calls.log, std::vector<std::string>{"ChooseFile"});
}

TEST(BottomPanel, TheSegmentsButtonAndTheListStayInStep) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    calls.segmentListWindow = f.list;
    QPushButton* segments = PanelButton(cmd::Segments);
    for (bool shown : {true, false, true}) {
        QTest::mouseClick(segments, Qt::LeftButton);
        EXPECT_EQ(calls.segmentListShown, shown);
        EXPECT_EQ(f.list->isVisible(), shown);
        EXPECT_EQ(segments->isChecked(), shown);
    }
}

TEST(BottomPanel, RightButtonReleaseOpensTheContextMenu) {
    RecordingCalls calls;
    PanelFixture f;
    ClickRight(f.panel, QPoint(300, 5));
    EXPECT_EQ(calls.log, std::vector<std::string>{"ShowPopupMenu"});
}

TEST(BottomPanel, PlayAndPauseShareOnePlaceAndHandTheFocusOver) {
    RecordingCalls calls;
    PanelFixture f;
    f.main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.main));
    QPushButton* play = PanelButton(cmd::Play);
    QPushButton* pause = PanelButton(cmd::Pause);
    play->setFocus();
    ASSERT_TRUE(play->hasFocus());

    PanelClock().PlayState = Playing;
    PanelPlayStateChanged(Playing);
    EXPECT_TRUE(pause->isVisible());
    EXPECT_FALSE(play->isVisible());
    EXPECT_TRUE(pause->hasFocus());

    PanelClock().PlayState = Paused;
    PanelPlayStateChanged(Paused);
    EXPECT_TRUE(play->isVisible());
    EXPECT_FALSE(pause->isVisible());
    EXPECT_TRUE(play->hasFocus());

    PanelClock().PlayState = Stopped;
    PanelFullRepaint();
    EXPECT_TRUE(play->isVisible());
}

TEST(BottomPanel, ClickingASegmentOnTheProgressBarStartsIt) {
    RecordingCalls calls;
    FilmFixture film({{640, 480, 100, 10, "A"}, {640, 480, 200, 10, "B"}, {640, 480, 300, 10, "C"}});
    PanelFixture f;
    PanelSegmentInfoRefresh();
    TqxProgressBar* bar = BottomPanel().ProgressBar;
    ASSERT_EQ(bar->SegmentCount(), 3);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(60, 5));
    EXPECT_EQ(calls.log, std::vector<std::string>{"StartSegment 1"});
    EXPECT_EQ(PanelClock().CurrentSegment, 1);
    EXPECT_EQ(bar->GetCurrentSegment(), 1);

    // A bar left over from a longer film: an index past the film is refused.
    ClearPanelFilm();
    calls.log.clear();
    bar->SelectBarSegment(2);
    EXPECT_TRUE(calls.log.empty());
    EXPECT_EQ(bar->GetCurrentSegment(), 1);
}

TEST(BottomPanel, TimerThreadRefreshesAreCoalesced) {
    RecordingCalls calls;
    FilmFixture film(kTwoMinuteFilm);
    PanelFixture f;
    PanelSegmentInfoRefresh();
    HandOverCounter counter;
    f.panel->installEventFilter(&counter);
    std::thread ticks([] {
        for (int i = 0; i < 5000; ++i) {
            PanelClock().FrameIndex = i % 600;
            PanelTimeTextRefresh();
        }
        PanelClock().FrameIndex = 299;
        PanelTimeTextRefresh();
    });
    ticks.join();
    EXPECT_TRUE(BottomPanel().RefreshPending);
    EXPECT_TRUE(WaitFor([] { return !BottomPanel().RefreshPending; }));
    QApplication::processEvents();
    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(BottomPanel().TimeText, "x1.0    00:00:30 | 00:02:00");
    f.panel->removeEventFilter(&counter);
}

// A broken frame rate is said once per film, however often the display is
// refreshed or the segment changes; its times show as unknown meanwhile.
TEST(BottomPanel, AZeroFrameRateIsReportedOncePerFilmAndItsTimesShowAsUnknown) {
    RecordingCalls calls;
    MessageRecorder recorder;
    const std::vector<SegmentSpec> broken = {
        {640, 480, 100, 10, "Good"}, {640, 480, 100, 0, "Broken"}, {640, 480, 100, 10, "After"}};
    auto film = std::make_unique<FilmFixture>(broken);
    PanelFixture f;
    PanelClock().CurrentSegment = 0;
    PanelClock().FrameIndex = 49;
    PanelSegmentInfoRefresh();
    for (int i = 0; i < 5; ++i) {
        std::thread tick([] { PanelTimeTextRefresh(); });
        tick.join();
        WaitFor([] { return !BottomPanel().RefreshPending; });
    }
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "Invalid file format: FPS = 0");
    EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    // Known up to the broken segment; the film's length is not.
    EXPECT_EQ(BottomPanel().TimeText, "x1.0    00:00:05 | --:--:--");
    // The broken segment is left out of the bar.
    PanelFullRepaint();
    EXPECT_EQ(BottomPanel().ProgressBar->SegmentCount(), 2);

    const std::pair<int32_t, const char*> segments[] = {
        {1, "x1.0    --:--:-- | --:--:--"}, {2, "x1.0    --:--:-- | --:--:--"}, {0, "x1.0    00:00:05 | --:--:--"}};
    for (auto [index, shows] : segments) {
        SCOPED_TRACE(index);
        PanelClock().CurrentSegment = index;
        PanelSegmentInfoRefresh();
        PanelTimeTextRefresh();
        EXPECT_EQ(BottomPanel().TimeText, shows);
    }
    EXPECT_EQ(recorder.Messages().size(), 1u);

    // The next film is a new one: its own broken rate is said again, once.
    film.reset();
    film = std::make_unique<FilmFixture>(broken);
    PanelSegmentInfoRefresh();
    PanelTimeTextRefresh();
    EXPECT_EQ(recorder.Messages().size(), 2u);
    PanelClock().CurrentSegment = 0;
    PanelClock().FrameIndex = -1;
}

TEST(BottomPanel, AFailingCommandIsReportedAndThePanelGoesOn) {
    struct FailingCalls : RecordingCalls {
        void Play() override { throw std::runtime_error("no"); }
    } calls;
    MessageRecorder recorder;
    PanelFixture f;
    QTest::mouseClick(PanelButton(cmd::Play), Qt::LeftButton);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "BottomPanel: WndProc error: Msg = 273");
    EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    QTest::mouseClick(PanelButton(cmd::Stop), Qt::LeftButton);
    EXPECT_TRUE(Logged(calls, "Stop"));
}

TEST(BottomPanel, GrabShowsTheLayoutColours) {
    RecordingCalls calls;
    PanelFixture f(640, 400);
    const QImage img = f.panel->grab().toImage();
    ASSERT_EQ(img.size(), QSize(640, 40));
    const QRgb black = QColor(Qt::black).rgb();
    const QRgb white = QColor(Qt::white).rgb();
    const QRgb accent = Rgb(kPanelAccentColor);
    struct Case {
        int x, y;
        QRgb colour;
        const char* what;
    } cases[] = {
        {0, 25, black, "left frame"},
        {639, 25, black, "right frame"},
        {300, 39, black, "bottom frame"},
        {192, 36, white, "background"},
        {415, 30, white, "between bar and slider"},
        {205, 3, accent, "header tab"},
        {202, 8, black, "tab's slanted edge"},
        {300, 16, black, "tab's lower edge"},
        {196, 8, white, "left of the tab"},
        {212, 27, white, "progress bar inside"},
        {210, 27, Rgb(kProgressFillColor), "progress bar outline"},
        {425, 24, accent, "speed track outline"},
        {425, 28, white, "speed track inside"},
        {530, 24, accent, "volume track outline"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(img.pixel(c.x, c.y), c.colour) << c.what << " at " << c.x << "," << c.y;
}

TEST(BottomPanel, TheSegmentNameHasItsOwnPlaceRightOfTheVolume) {
    RecordingCalls calls;
    FilmFixture film({{640, 480, 100, 10, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"}});
    PanelFixture f(800, 400);
    calls.volume = 100;
    PanelVolumeRefresh();
    PanelSegmentInfoRefresh();
    const QImage img = f.panel->grab().toImage();
    ASSERT_EQ(img.size(), QSize(800, 40));
    const QRgb white = QColor(Qt::white).rgb();
    // Ink in the columns from .. to - 1 of the bottom text row.
    auto inked = [&](int from, int to) {
        int n = 0;
        for (int x = from; x < to; ++x)
            for (int y = 40 - 19; y < 40 - 3; ++y)
                n += img.pixel(x, y) != white;
        return n;
    };
    EXPECT_EQ(inked(544, 548), 0) << "between the volume slider and the read-out";
    EXPECT_GT(inked(548, 580), 0) << "the volume read-out";
    const int nameLeft = 548 + QFontMetrics(BottomPanel().PanelFont).horizontalAdvance("100%");
    EXPECT_GT(inked(nameLeft, 798), 0) << "the segment name";
}
