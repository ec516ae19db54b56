// The bottom panel on its own: the texts it makes of the values it is fed,
// its buttons, sliders and progress bar, what it signals, and its drawing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "controls/BottomPanel.h"
#include "controls/ProgressBar.h"
#include "controls/SegmentListWindow.h"
#include "controls/Slider.h"
#include "engine/Command.h"

using namespace movarel;
using namespace movarel::test;

namespace {

void ClickRight(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

using Log = std::vector<std::string>;

}  // namespace

TEST(BottomPanel, BeforeAnyFilmAndWithoutOne) {
    PanelFixture f;
    EXPECT_EQ(f.panel->infoText(), "600 x 400 x 32 / 12 fps");
    EXPECT_EQ(f.panel->timeText(), "");
    f.panel->clearSegmentDescription();
    EXPECT_EQ(f.panel->infoText(), "");
    f.panel->setTime(PanelTime{});
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:00:00 | 00:00:00");
}

TEST(BottomPanel, TextsOfTheFedSegmentTimeAndProgress) {
    PanelFixture f;
    f.panel->setSegmentDescription({800, 600, 32, 10, "Second"});
    f.panel->setTime({90, true, 120, true});
    f.panel->setProgress({60, 60}, 90);
    EXPECT_EQ(f.panel->infoText(), "800 x 600 x 32 / 10 fps");
    EXPECT_EQ(f.panel->segmentName(), "Second");
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:01:30 | 00:02:00");
    ProgressBar* bar = f.panel->progressBar();
    ASSERT_EQ(bar->partCount(), 2);
    EXPECT_EQ(bar->total(), 120.0f);
    EXPECT_EQ(bar->position(), 90.0f);

    // Unknown times show as dashes; no segment empties the header, the name stays.
    f.panel->setTime({5, true, 0, false});
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:00:05 | --:--:--");
    f.panel->setTime({0, false, 0, false});
    EXPECT_EQ(f.panel->timeText(), "x1.0    --:--:-- | --:--:--");
    f.panel->clearSegmentDescription();
    EXPECT_EQ(f.panel->infoText(), "");
    EXPECT_EQ(f.panel->timeText(), "");
    EXPECT_EQ(f.panel->segmentName(), "Second");

    // An empty film empties the bar and leaves its position.
    f.panel->setProgress({}, 0);
    EXPECT_EQ(bar->partCount(), 0);
}

TEST(BottomPanel, SpeedTextsFollowTheSpeedSlider) {
    PanelFixture f;
    f.panel->setTime({});
    struct Case {
        int32_t value;
        const char* text;
    } cases[] = {{8, "MAX"}, {1, "x0.25"}, {3, "x1.0"}, {0, "x0.1"}, {7, "x10.0"}, {6, "x5.0"}};
    for (const Case& c : cases) {
        f.log.clear();
        f.panel->speedSlider()->setValue(c.value);
        const QString text = f.panel->timeText();
        EXPECT_EQ(text.left(text.indexOf(' ')), c.text) << c.value;
        EXPECT_EQ(f.panel->speedPosition(), c.value);
        EXPECT_EQ(f.log, Log{"speed " + std::to_string(c.value)});
    }
    EXPECT_EQ(FormatSpeedText(1000.0f), "MAX");
    EXPECT_EQ(FormatSpeedText(2.5f), "x2.5");

    // Hidden, the panel signals the change and leaves its text for later.
    const QString shown = f.panel->timeText();
    f.panel->hide();
    f.panel->setSpeedPosition(2);
    EXPECT_EQ(f.panel->timeText(), shown);
    EXPECT_EQ(f.log.back(), "speed 2");
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

TEST(BottomPanel, TheVolumeSliderFollowsTheDevice) {
    PanelFixture f;
    Slider* volume = f.panel->volumeSlider();
    // 34 thumb positions for 101 values: 60 is reached in two steps.
    volume->setValue(60);
    volume->setValue(60);
    ASSERT_EQ(volume->value(), 60);
    ASSERT_EQ(f.deviceVolume, 60);

    f.deviceVolume = 51;  // changed outside the player
    f.ShowDeviceVolume();
    EXPECT_EQ(volume->value(), 50);
    EXPECT_EQ(f.deviceVolume, 50);
    EXPECT_EQ(f.panel->volumeText(), "51%");
    f.ShowDeviceVolume();
    EXPECT_EQ(f.panel->volumeText(), "50%");

    // From 50 the thumb does not move, so 51 stays.
    f.deviceVolume = 51;
    f.ShowDeviceVolume();
    EXPECT_EQ(volume->value(), 51);
    EXPECT_EQ(f.deviceVolume, 51);
    EXPECT_EQ(f.panel->volumeText(), "51%");
}

TEST(BottomPanel, ButtonsStandAtTheirPlacesWithTooltipsAndTabOrder) {
    PanelFixture f;
    f.panel->setTooltips(PanelTooltipTexts());
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
        QPushButton* b = f.panel->button(c.id);
        ASSERT_NE(b, nullptr) << c.id;
        EXPECT_EQ(b->geometry(), QRect(c.x, 8, 24, 24)) << c.id;
        EXPECT_EQ(b->isCheckable(), c.toggle) << c.id;
        EXPECT_EQ(b->toolTip(), c.tip) << c.id;
        EXPECT_EQ(b->iconSize(), QSize(20, 20)) << c.id;
    }
    EXPECT_EQ(f.panel->button(cmd::Load), nullptr);
    BottomPanel* p = f.panel;
    EXPECT_EQ(p->progressBar()->geometry(), QRect(210, 23, 200, 10));
    EXPECT_EQ(p->speedSlider()->geometry(), QRect(420, 18, 70, 20));
    EXPECT_EQ(p->volumeSlider()->geometry(), QRect(494, 18, 50, 20));
    EXPECT_EQ(p->speedSlider()->maximum(), 8);
    EXPECT_EQ(p->speedSlider()->value(), 3);
    EXPECT_EQ(p->volumeSlider()->maximum(), 100);
    EXPECT_EQ(p->speedSlider()->toolTip(), "Speed");
    EXPECT_EQ(p->volumeSlider()->toolTip(), "Volume");
    EXPECT_EQ(p->progressBar()->toolTip(), "Progress");
    // Stopped: Play shows, Pause does not.
    EXPECT_TRUE(p->button(cmd::Play)->isVisible());
    EXPECT_FALSE(p->button(cmd::Pause)->isVisible());

    std::vector<QWidget*> chain;
    QWidget* w = p->button(cmd::Play);
    for (int i = 0; i < 10; ++i, w = w->nextInFocusChain())
        chain.push_back(w);
    const std::vector<QWidget*> expected = {p->button(cmd::Play),       p->button(cmd::Pause),
                                            p->button(cmd::Stop),       p->button(cmd::Segments),
                                            p->button(cmd::PrevSegment), p->button(cmd::NextSegment),
                                            p->button(cmd::FullScreen), p->progressBar(),
                                            p->speedSlider(),           p->volumeSlider()};
    EXPECT_EQ(chain, expected);
}

TEST(BottomPanel, ButtonsAskForTheirCommands) {
    PanelFixture f;
    for (int id : {cmd::Play, cmd::Stop, cmd::PrevSegment, cmd::NextSegment, cmd::FullScreen}) {
        f.log.clear();
        QTest::mouseClick(f.panel->button(id), Qt::LeftButton);
        EXPECT_EQ(f.log, Log{"command " + std::to_string(id)}) << id;
    }
    f.panel->setPlayState(PanelPlayState::Playing);
    f.log.clear();
    QTest::mouseClick(f.panel->button(cmd::Pause), Qt::LeftButton);
    EXPECT_EQ(f.log, Log{"command 111"});
}

TEST(BottomPanel, TheSegmentsButtonAndTheListStayInStep) {
    PanelFixture f;
    QPushButton* segments = f.panel->button(cmd::Segments);
    for (bool shown : {true, false, true}) {
        QTest::mouseClick(segments, Qt::LeftButton);
        EXPECT_EQ(f.list->isVisible(), shown);
        EXPECT_EQ(segments->isChecked(), shown);
    }
}

TEST(BottomPanel, RightButtonReleaseAsksForTheContextMenu) {
    PanelFixture f;
    ClickRight(f.panel, QPoint(300, 5));
    EXPECT_EQ(f.log, Log{"menu"});
    // A right click on a control is the control's own.
    f.log.clear();
    ClickRight(f.panel->speedSlider(), QPoint(5, 5));
    ClickRight(f.panel->progressBar(), QPoint(5, 5));
    EXPECT_TRUE(f.log.empty());
}

TEST(BottomPanel, PlayAndPauseShareOnePlaceAndHandTheFocusOver) {
    PanelFixture f;
    f.main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.main));
    QPushButton* play = f.panel->button(cmd::Play);
    QPushButton* pause = f.panel->button(cmd::Pause);
    play->setFocus();
    ASSERT_TRUE(play->hasFocus());

    f.panel->setPlayState(PanelPlayState::Playing);
    EXPECT_TRUE(pause->isVisible());
    EXPECT_FALSE(play->isVisible());
    EXPECT_TRUE(pause->hasFocus());

    f.panel->setPlayState(PanelPlayState::Paused);
    EXPECT_TRUE(play->isVisible());
    EXPECT_FALSE(pause->isVisible());
    EXPECT_TRUE(play->hasFocus());

    f.panel->setPlayState(PanelPlayState::Stopped);
    EXPECT_TRUE(play->isVisible());
}

TEST(BottomPanel, TheProgressBarAsksForTheTimeUnderThePointer) {
    PanelFixture f;
    f.panel->setProgress({10, 20, 30}, 0);
    ProgressBar* bar = f.panel->progressBar();
    ASSERT_EQ(bar->partCount(), 3);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(60, 5));
    // 60 * 58 / 196 = 17.76 s: 7.76 s into the second part.
    EXPECT_EQ(f.log, Log{"seek 1 776"});
    f.log.clear();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(37, 5));
    EXPECT_EQ(f.log, Log{"seek 1 0"});

    // A film without parts has nothing to click.
    f.panel->setProgress({}, 0);
    f.log.clear();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(60, 5));
    EXPECT_TRUE(f.log.empty());
}

// What fails behind the panel's signals is reported in the panel's own box
// with the number of what it was handling: a button's command 273, a click on
// the progress bar 513, a slider dragged 512 or pressed 513, moved by the
// shell 273. The panel goes on.
TEST(BottomPanel, AFailureBehindASignalIsReportedAndThePanelGoesOn) {
    MessageRecorder recorder;
    PanelFixture f;
    f.panel->setProgress({10, 20, 30}, 0);
    auto sliderMouse = [](QWidget* w, QEvent::Type type, int x) {
        QMouseEvent e(type, QPointF(x, 10), w->mapToGlobal(QPointF(x, 10)), Qt::LeftButton,
                      type == QEvent::MouseMove ? Qt::MouseButtons(Qt::LeftButton) : Qt::MouseButtons(Qt::LeftButton),
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    struct Case {
        const char* what;
        std::function<void()> act;
        int number;
    } cases[] = {
        {"Play button", [&] { QTest::mouseClick(f.panel->button(cmd::Play), Qt::LeftButton); }, 273},
        {"progress bar", [&] { QTest::mouseClick(f.panel->progressBar(), Qt::LeftButton, {}, QPoint(60, 5)); }, 513},
        {"speed slider pressed", [&] { sliderMouse(f.panel->speedSlider(), QEvent::MouseButtonPress, 60); }, 513},
        {"speed slider dragged", [&] { sliderMouse(f.panel->speedSlider(), QEvent::MouseMove, 10); }, 512},
        {"volume set by the shell", [&] { f.panel->setVolume(40); }, 273},
        {"context menu", [&] { ClickRight(f.panel, QPoint(300, 5)); }, 517},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder.Clear();
        f.failNext = true;
        c.act();
        EXPECT_FALSE(f.failNext) << "nothing was signalled";
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0].text, "BottomPanel: WndProc error: Msg = " + std::to_string(c.number));
        EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    }
    sliderMouse(f.panel->speedSlider(), QEvent::MouseButtonRelease, 10);
    f.log.clear();
    QTest::mouseClick(f.panel->button(cmd::Stop), Qt::LeftButton);
    EXPECT_EQ(f.log, Log{"command 112"});
}

TEST(BottomPanel, GrabShowsTheLayoutColours) {
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

TEST(BottomPanel, TheTimeTextEndsTwoPixelsFromTheRightEdge) {
    PanelFixture f(640, 400);
    f.panel->setTime({});
    const QImage img = f.panel->grab().toImage();
    const QRgb accent = Rgb(kPanelAccentColor);
    // White letters on the tab, inside columns 469 .. 637 and rows 1 .. 19.
    auto inked = [&](int from, int to, int top, int bottom) {
        int n = 0;
        for (int x = from; x < to; ++x)
            for (int y = top; y < bottom; ++y)
                n += img.pixel(x, y) != accent && img.pixel(x, y) != QColor(Qt::black).rgb();
        return n;
    };
    EXPECT_GT(inked(600, 638, 1, 16), 0);
    EXPECT_EQ(inked(638, 640, 1, 16), 0);
}

TEST(BottomPanel, TheSegmentNameHasItsOwnPlaceRightOfTheVolume) {
    PanelFixture f(800, 400);
    f.deviceVolume = 100;
    f.ShowDeviceVolume();
    f.panel->setSegmentDescription({640, 480, 32, 10, "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"});
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
    const int nameLeft = 548 + QFontMetrics(f.panel->panelFont()).horizontalAdvance("100%");
    EXPECT_GT(inked(nameLeft, 798), 0) << "the segment name";
    EXPECT_EQ(inked(798, 799), 0) << "the name stops before the right frame";
}

namespace {
void ClickLeft(QWidget* w, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}
}  // namespace

// A click on the time switches it to the time left and back; the header
// keeps its form, and a click elsewhere in the header leaves it alone.
TEST(BottomPanel, AClickOnTheTimeSwitchesBetweenPlayedAndLeft) {
    PanelFixture f(640, 400);
    std::vector<bool> toggled;
    QObject::connect(f.panel, &BottomPanel::timeDisplayToggled, [&](bool remaining) { toggled.push_back(remaining); });
    f.panel->setTime({65, true, 300, true});
    const QImage elapsed = f.panel->grab().toImage();
    ClickLeft(f.panel, QPoint(300, 8));  // the description, not the time
    EXPECT_TRUE(toggled.empty());
    ClickLeft(f.panel, QPoint(600, 8));
    EXPECT_EQ(toggled, std::vector<bool>{true});
    EXPECT_EQ(f.panel->timeText(), "x1.0    -00:03:55 | 00:05:00");
    struct Case {
        PanelTime time;
        const char* text;
    } cases[] = {
        {{300, true, 300, true}, "x1.0    -00:00:00 | 00:05:00"},
        {{5, true, 0, false}, "x1.0    --:--:-- | --:--:--"},
        {{0, false, 60, true}, "x1.0    --:--:-- | 00:01:00"},
    };
    for (const Case& c : cases) {
        f.panel->setTime(c.time);
        EXPECT_EQ(f.panel->timeText(), c.text);
    }
    f.panel->setTime({65, true, 300, true});
    ClickLeft(f.panel, QPoint(600, 8));
    EXPECT_EQ(toggled, (std::vector<bool>{true, false}));
    EXPECT_EQ(f.panel->timeText(), "x1.0    00:01:05 | 00:05:00");
    EXPECT_EQ(f.panel->grab().toImage(), elapsed);
}

// Mute strikes the read-out through and changes no other pixel; the slider
// keeps its value.
TEST(BottomPanel, MutedVolumeIsStruckThroughInPlace) {
    PanelFixture f(640, 400);
    f.panel->setVolume(40);
    const int value = f.panel->volumeSlider()->value();
    const QImage before = f.panel->grab().toImage();
    f.panel->setMuted(true);
    EXPECT_EQ(f.panel->volumeSlider()->value(), value);
    EXPECT_EQ(f.panel->volumeText(), "40%");
    const QImage muted = f.panel->grab().toImage();
    QRect changed;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != muted.pixel(x, y)) changed |= QRect(x, y, 1, 1);
    ASSERT_FALSE(changed.isEmpty());
    // Only inside the read-out: right of the slider, in the lower text row.
    EXPECT_GE(changed.left(), 548);
    EXPECT_LT(changed.right(), 548 + QFontMetrics(f.panel->panelFont()).horizontalAdvance("100%"));
    EXPECT_GE(changed.top(), 40 - 19);
    f.panel->setMuted(false);
    EXPECT_EQ(f.panel->grab().toImage(), before);
}
