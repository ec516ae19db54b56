// Moving about the film: the keys and menu items, the progress bar, the speed
// steps and the start time and speed from the command line, on the player
// in-process with a film of two 10-second segments.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <optional>

#include "RunningPlayer.h"
#include "ShellTestSupport.h"
#include "controls/BottomPanel.h"
#include "controls/ProgressBar.h"
#include "controls/SegmentListWindow.h"
#include "controls/Slider.h"
#include "engine/Player.h"
#include "shell/CommandLine.h"
#include "shell/Commands.h"
#include "shell/FilmLoading.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/Seeking.h"
#include "shell/ShellState.h"

using namespace movarel;
using namespace movarel::writer;
using namespace shelltest;

namespace {

// Two segments of 100 frames at 10 fps.
std::string TwoSegmentFilm(const TestDir& dir) {
    return WriteFilm(dir, "two.qxf", StillFilm(64, 48, Solid(64, 48, 0x336699), 100, 10.0f, 2));
}

bool IsState(uint8_t state) { return test::RunningClock().PlayState.load() == state; }

// segment * 1000 + frame of the frame on screen; -1 for none.
int Shown() {
    const std::optional<FilmPosition> p = ShownPosition(test::RunningClock());
    return p ? p->Segment * 1000 + p->Frame : -1;
}

void Activate(QWidget* w) {
    w->activateWindow();
    QApplication::setActiveWindow(w);
    WaitFor([w] { return QApplication::activeWindow() == w; }, 2000);
}

void Key(QWidget* window, Qt::Key key) { QTest::keyClick(window, key); }

}  // namespace

TEST(Seeking, SpeedStepsStayBetweenHalfAndTwice) {
    struct Case {
        double from;
        int direction;
        double to;
    } cases[] = {
        {1.0, 1, 1.25},   {1.0, -1, 0.75}, {1.75, 1, 2.0},  {2.0, 1, 2.0},   {0.5, -1, 0.5},
        {0.6, 1, 0.75},   {0.6, -1, 0.5},  {1.1, -1, 1.0},  // off the steps: the next one that way
        {0.25, 1, 0.5},   {0.1, -1, 0.1},  // below: back to 0.5, and no further down
        {5.0, -1, 2.0},   {5.0, 1, 5.0},   // above: back to 2, and no further up
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(SteppedSpeedFactor(c.from, c.direction), c.to) << c.from << " " << c.direction;
}

TEST(Seeking, KeysSeekByFilmTimeAndKeepThePlayState) {
    TestDir films;
    PlayerRun run({TwoSegmentFilm(films)});
    Activate(run.window);
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    Key(run.window, Qt::Key_Space);
    ASSERT_TRUE(IsState(Paused));
    // Home first, so the frames below do not depend on how far it played.
    Key(run.window, Qt::Key_Home);
    EXPECT_EQ(Shown(), 0);
    struct Step {
        Qt::Key key;
        int shown;
    } steps[] = {
        {Qt::Key_Right, 50},   {Qt::Key_Right, 1000},  // across the segment boundary
        {Qt::Key_Period, 1001}, {Qt::Key_Left, 51},    {Qt::Key_Comma, 50},
        {Qt::Key_Up, 1099},                             // past the end: the last frame
        {Qt::Key_Down, 0},                              // before the start: the first frame
        {Qt::Key_Comma, 0},    {Qt::Key_Period, 1},
    };
    for (const Step& s : steps) {
        Key(run.window, s.key);
        EXPECT_EQ(Shown(), s.shown) << QKeySequence(s.key).toString().toStdString();
        EXPECT_TRUE(IsState(Paused));
    }
    // The time display follows.
    Key(run.window, Qt::Key_Up);
    EXPECT_NE(test::RunningPanel()->timeText().indexOf("00:00:20 | 00:00:20"), -1) << test::RunningPanel()->timeText().toStdString();

    // A panel button with the focus leaves Space and the arrows to the player
    // (the keys go where the keyboard's would: to the focused widget).
    QPushButton* stop = test::RunningPanel()->button(cmd::Stop);
    stop->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(stop->hasFocus());
    Key(stop, Qt::Key_Home);
    Key(stop, Qt::Key_Right);
    EXPECT_EQ(Shown(), 50);
    Key(stop, Qt::Key_Space);
    EXPECT_TRUE(IsState(Playing));
    // "." pauses first.
    Key(run.window, Qt::Key_Period);
    EXPECT_TRUE(IsState(Paused));

    // The segment list with the focus keeps its own arrows.
    RunCommand(cmd::Pause);
    RunCommand(cmd::Segments);
    QListWidget* list = test::RunningSegmentList()->listBox();
    ASSERT_TRUE(WaitFor([list] { return list->hasFocus(); }, 2000));
    const int row = list->currentRow();
    const int shown = Shown();
    Key(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), row + 1);
    EXPECT_EQ(Shown(), shown);
    Key(list, Qt::Key_Right);  // not the list's: the player seeks
    const int after = shown + 50;  // frames of segment 0 run on into segment 1
    EXPECT_EQ(Shown(), after >= 100 ? 1000 + after - 100 : after);
    RunCommand(cmd::Segments);

    // Stopped, a seek shows its frame and stays stopped; Play goes on from it.
    RunCommand(cmd::Stop);
    ASSERT_TRUE(IsState(Stopped));
    Key(run.window, Qt::Key_Right);
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_EQ(Shown(), 50);
    Key(run.window, Qt::Key_Space);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
    EXPECT_GE(test::RunningClock().FrameIndex.load(), 50);
}

TEST(Seeking, MenuItemsNameTheirKeysAndRunTheirCommands) {
    TestDir films;
    PlayerRun run({TwoSegmentFilm(films), "/segm", "0"});
    QMenu* actions = test::Running().Menus().ActionsMenu;
    QStringList texts;
    for (QAction* a : actions->actions())
        texts << a->text();
    for (const char* item : {"Play/Pause\tSpace", "Back 5 seconds\tLeft", "Forward 5 seconds\tRight",
                             "Forward 1 minute\tUp", "Back 1 minute\tDown", "Next frame\t.", "Previous frame\t,",
                             "First frame\tHome", "Slower\t[", "Faster\t]"})
        EXPECT_TRUE(texts.contains(item)) << item;
    for (QAction* a : actions->actions())
        if (a->text() == "Forward 5 seconds\tRight")
            a->trigger();
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_EQ(Shown(), 50);
}

// A language table names the items it has keys for; without a film they are grey.
TEST(Seeking, MenuItemsFromALanguageTableGreyWithoutAFilm) {
    PlayerRun run({"/missing/film.qxf"}, BuildLanguageTable({{"Slower", "Langsamer"}, {"FirstFrame", "Anfang"}}));
    QMenu* actions = test::Running().Menus().ActionsMenu;
    emit actions->aboutToShow();
    int found = 0;
    for (QAction* a : actions->actions()) {
        const QString text = a->text();
        if (text == "Langsamer\t[" || text == "Anfang\tHome" || text == "Faster\t]") {
            ++found;
            EXPECT_FALSE(a->isEnabled()) << text.toStdString();
        }
    }
    EXPECT_EQ(found, 3);
}

TEST(Seeking, SpeedKeysStepTheFactorAndThePanelShowsIt) {
    TestDir films;
    PlayerRun run({TwoSegmentFilm(films), "/segm", "0"});
    Activate(run.window);
    Key(run.window, Qt::Key_BracketRight);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 1.25);
    EXPECT_EQ(test::RunningPanel()->speedSlider()->value(), NearestSpeedPosition(1.25));
    EXPECT_TRUE(test::RunningPanel()->timeText().startsWith("x1.25")) << test::RunningPanel()->timeText().toStdString();
    for (int i = 0; i < 4; ++i)
        Key(run.window, Qt::Key_BracketLeft);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 0.5);
    // The slider moved by hand to 5x: "[" comes back to 2x.
    test::RunningPanel()->speedSlider()->setValue(6);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 5.0);
    Key(run.window, Qt::Key_BracketLeft);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 2.0);
    EXPECT_TRUE(test::RunningPanel()->timeText().startsWith("x2.0")) << test::RunningPanel()->timeText().toStdString();
}

TEST(Seeking, AStepFactorIsRememberedForTheNextRun) {
    TestDir films, config;
    const std::string film = TwoSegmentFilm(films);
    {
        PlayerRun run({film, "/segm", "0"}, {}, {}, config.path);
        RunCommand(cmd::Faster);
        ASSERT_DOUBLE_EQ(test::RunningClock().Factor(), 1.25);
    }
    {
        PlayerRun run({film, "/segm", "0"}, {}, {}, config.path);
        EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 1.25);
        // A slider step forgets it again.
        test::RunningPanel()->speedSlider()->setValue(kNormalSpeedPosition + 1);
    }
    PlayerRun run({film, "/segm", "0"}, {}, {}, config.path);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 2.0);
    EXPECT_DOUBLE_EQ(test::RunningClock().SpeedFactor.load(), 0.0);
}

TEST(Seeking, ProgressBarClicksAndDragsSeekInThePlayState) {
    TestDir films;
    PlayerRun run({TwoSegmentFilm(films)});
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    RunCommand(cmd::Pause);
    ProgressBar* bar = test::RunningPanel()->progressBar();
    ASSERT_TRUE(bar->isVisible());
    ASSERT_EQ(bar->partCount(), 2);
    // The time under a pixel column, as the frame it falls in.
    auto frameAt = [bar](int x) {
        const double seconds = bar->xToValue(x);
        return seconds >= 10 ? 1000 + static_cast<int>(seconds * 10) - 100 : static_cast<int>(seconds * 10);
    };
    const int x15 = bar->valueToX(15.0f) + 1;
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(x15, 5));
    EXPECT_EQ(Shown(), frameAt(x15));
    EXPECT_TRUE(IsState(Paused));
    // Near the second segment's mark: its first frame.
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->valueToX(10.0f) - 3, 5));
    EXPECT_EQ(Shown(), 1000);

    // A drag: the frames follow the pointer, the last place wins.
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->valueToX(1.0f), 5));
    for (float seconds : {3.0f, 5.0f, 7.5f}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(bar->valueToX(seconds), 5),
                         bar->mapToGlobal(QPointF(bar->valueToX(seconds), 5)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    Pump(50);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(bar->valueToX(7.5f), 5));
    EXPECT_EQ(Shown(), frameAt(bar->valueToX(7.5f)));
    EXPECT_TRUE(IsState(Paused));

    // Playing stays playing.
    RunCommand(cmd::Play);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(x15, 5));
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
}

TEST(Seeking, StartTimeAndSpeedFromTheCommandLine) {
    TestDir films;
    const std::string film = TwoSegmentFilm(films);
    struct Case {
        std::vector<std::string> args;
        int segment;
        int fromFrame;  // at least
        bool wrong;
    } cases[] = {
        {{film, "/start", "12.5"}, 1, 25, false},
        {{film, "/segm", "2", "/start", "0:03"}, 1, 30, false},
        {{film, "/start", "0:25"}, 0, 0, true},  // beyond the film: from the start segment's start
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2] + " " + c.args.back());
        PlayerRun run(c.args);
        ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), c.segment);
        EXPECT_GE(test::RunningClock().FrameIndex.load(), c.fromFrame);
        EXPECT_LT(test::RunningClock().FrameIndex.load(), c.fromFrame + 30);
        const auto messages = run.recorder.Messages();
        EXPECT_EQ(!messages.empty() && messages[0].text == kWrongCommandLine, c.wrong);
    }

    PlayerRun run({film, "/speed", "1.5", "/segm", "0"});
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 1.5);
    EXPECT_TRUE(test::RunningPanel()->timeText().isEmpty() || test::RunningPanel()->timeText().startsWith("x1.5"));
    // A film loaded afterwards plays at the same factor.
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return film; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(previous);
    EXPECT_DOUBLE_EQ(test::RunningClock().Factor(), 1.5);
}
