// The panels inside the real player: the shell's commands and menus and the
// playback clock behind them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "RunningPlayer.h"
#include "ControlsTestSupport.h"
#include "FilmWriter.h"
#include "controls/BottomPanel.h"
#include "controls/ProgressBar.h"
#include "controls/SegmentListWindow.h"
#include "controls/Slider.h"
#include "engine/PlaybackClock.h"
#include "engine/PlaybackClock.h"
#include "film/LanguageTable.h"
#include "platform/Texts.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "shell/FilmLoading.h"
#include "shell/Commands.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/ShellState.h"

using namespace movarel;

namespace {

// One player for the suite: the tests run in order on the same window, each
// starting from what the one before left.
class PlayerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::EnsureApp();
        dir_ = new TestDir;
        const std::string film = dir_->path + "demo.qxf";
        writer::WriteFileBytes(film, writer::BuildFilmFile(writer::DemoFilm(64, 48, 40)));
        const std::string program = dir_->path + "player";
        writer::WriteFileBytes(program, writer::Bytes(64, 0));
        window_ = test::StartPlayerIn(*dir_, {film}, program);
        if (window_ != nullptr) {
            window_->show();
            (void)QTest::qWaitForWindowExposed(window_);
        }
    }
    static void TearDownTestSuite() {
        if (window_ != nullptr)
            FinishPlayer(window_);
        window_ = nullptr;
        delete dir_;
    }
    void SetUp() override {
        ASSERT_NE(window_, nullptr);
        ASSERT_GE(test::Running().LoadedFilm().Count(), 2);
    }
    test::MessageRecorder recorder_;
    static TestDir* dir_;
    static MainWindow* window_;
};
TestDir* PlayerFixture::dir_ = nullptr;
MainWindow* PlayerFixture::window_ = nullptr;

bool SegmentsChecked() {
    return test::Running().Menus().ActionsMenu->actions()[4]->isChecked() && test::Running().Menus().PopupMenu->actions()[6]->isChecked();
}

}  // namespace

TEST_F(PlayerFixture, TheSegmentsButtonAndTheMenuCheckStayInStep) {
    QPushButton* segments = test::RunningPanel()->button(cmd::Segments);
    ASSERT_NE(segments, nullptr);
    QTest::mouseClick(segments, Qt::LeftButton);
    EXPECT_TRUE(test::Running().State().SegmentListShown);
    EXPECT_TRUE(segments->isChecked());
    EXPECT_TRUE(SegmentsChecked());
    EXPECT_TRUE(test::RunningSegmentList()->isVisible());
    EXPECT_EQ(test::RunningSegmentList()->listBox()->count(), test::Running().LoadedFilm().Count());

    // The X button hides it again, and everything follows.
    QTest::mouseClick(test::RunningSegmentList()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(test::Running().State().SegmentListShown);
    EXPECT_FALSE(segments->isChecked());
    EXPECT_FALSE(test::Running().Menus().ActionsMenu->actions()[4]->isChecked());
    EXPECT_FALSE(test::RunningSegmentList()->isVisible());
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(PlayerFixture, HidingTheListFromTheMenuHandsTheFocusToTheSegmentsButton) {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    RunCommand(113);
    ASSERT_TRUE(test::RunningSegmentList()->isVisible());
    EXPECT_TRUE(test::RunningSegmentList()->listBox()->hasFocus());
    RunCommand(113);
    EXPECT_FALSE(test::RunningSegmentList()->isVisible());
    EXPECT_TRUE(test::RunningPanel()->button(cmd::Segments)->hasFocus());
    EXPECT_FALSE(test::RunningPanel()->button(cmd::Segments)->isChecked());
}

TEST_F(PlayerFixture, TheSpeedSliderChangesTheTimerPeriodWhilePlayingAndPaused) {
    if (test::RunningClock().PlayState != Playing)
        RunCommand(110);
    ASSERT_EQ(test::RunningClock().PlayState, Playing);
    Slider* speed = test::RunningPanel()->speedSlider();
    EXPECT_EQ(test::RunningClock().Period, 100);  // 10 fps at normal speed

    speed->setValue(0);
    EXPECT_EQ(test::RunningClock().Period, 1000);
    EXPECT_TRUE(test::Running().ActivePlayer().TimerRunning());
    speed->setValue(7);
    EXPECT_EQ(test::RunningClock().Period, 10);
    EXPECT_TRUE(test::Running().ActivePlayer().TimerRunning());

    QTest::mouseClick(test::RunningPanel()->button(cmd::Pause), Qt::LeftButton);
    ASSERT_EQ(test::RunningClock().PlayState, Paused);
    EXPECT_TRUE(test::RunningPanel()->button(cmd::Play)->isVisible());
    speed->setValue(1);
    EXPECT_EQ(test::RunningClock().Period, 400);
    EXPECT_FALSE(test::Running().ActivePlayer().TimerRunning());
    EXPECT_EQ(test::RunningPanel()->timeText().left(5), "x0.25");
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(PlayerFixture, TheTimerThreadMovesTheTimeText) {
    if (test::RunningClock().PlayState != Playing)
        RunCommand(110);
    test::RunningPanel()->speedSlider()->setValue(7);
    EXPECT_EQ(test::RunningPanel()->infoText(), "64 x 48 x 32 / 10 fps");
    EXPECT_TRUE(test::WaitFor([] { return test::RunningClock().CurrentSegment == 1 || test::RunningClock().FrameIndex > 20; }, 5000));
    EXPECT_TRUE(test::WaitFor([] { return test::RunningPanel()->timeText().contains("00:00:08"); }, 5000))
        << test::RunningPanel()->timeText().toStdString();
    RunCommand(112);
    EXPECT_EQ(test::RunningClock().PlayState, Stopped);
}

TEST_F(PlayerFixture, AFilmLoadedThroughTheOpenDialogIsDescribedBeforePlay) {
    if (test::RunningClock().PlayState != Stopped)
        RunCommand(cmd::Stop);
    // Three segments of 80 x 60 at 10 fps, 20 frames each: 6 seconds.
    const std::string other = dir_->path + "other.qxf";
    writer::FilmSpec film = writer::DemoFilm(80, 60, 20);
    film.segments.push_back(film.segments.front());
    writer::WriteFileBytes(other, writer::BuildFilmFile(film));
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return other; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(previous);
    ASSERT_EQ(test::Running().LoadedFilm().Count(), 3);
    EXPECT_EQ(test::RunningClock().PlayState, Stopped);
    EXPECT_EQ(test::RunningPanel()->infoText(), "80 x 60 x 32 / 10 fps");
    const QString time = test::RunningPanel()->timeText();  // after the speed read-out
    EXPECT_EQ(time.mid(time.indexOf(' ')), "    00:00:00 | 00:00:06") << time.toStdString();
    EXPECT_TRUE(recorder_.Messages().empty());
}

namespace {
// The player started on a stand-in for its own file that carries a language
// table and no film; stopped and cleaned up when it goes.
struct TablePlayer {
    explicit TablePlayer(const writer::Bytes& table) {
        test::EnsureApp();
        const std::string program = dir.path + "player";
        writer::WriteFileBytes(program, writer::BuildSelfPlaying(writer::Bytes(64, 0), table, writer::Bytes{}));
        window = test::StartPlayerIn(dir, {}, program);
    }
    ~TablePlayer() {
        if (window != nullptr)
            FinishPlayer(window);
        Texts().LanguageTable = "";
    }
    TestDir dir;
    test::MessageRecorder recorder;
    MainWindow* window = nullptr;
};
}  // namespace

TEST(PanelLanguage, AWindows1251TableLabelsTheTooltipsAsItLabelsTheMenus) {
    setenv("MOVAREL_CODEPAGE", "1251", 1);
    // "Пуск", "Назад", "Скорость", "Громкость" in Windows-1251; Progress is missing.
    TablePlayer run(writer::BuildLanguageTable({{"Play", "\xCF\xF3\xF1\xEA"},
                                                {"Prev", "\xCD\xE0\xE7\xE0\xE4"},
                                                {"Speed", "\xD1\xEA\xEE\xF0\xEE\xF1\xF2\xFC"},
                                                {"Sound", "\xC3\xF0\xEE\xEC\xEA\xEE\xF1\xF2\xFC"}}));
    unsetenv("MOVAREL_CODEPAGE");
    ASSERT_NE(run.window, nullptr);
    const QString play = QString::fromUtf8("\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA");
    const QString prev = QString::fromUtf8("\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xB4");
    struct Case {
        const char* what;
        QString shown, expected;
    } cases[] = {
        {"Play button", test::RunningPanel()->button(cmd::Play)->toolTip(), play},
        {"Previous button", test::RunningPanel()->button(cmd::PrevSegment)->toolTip(), prev},
        {"speed slider", test::RunningPanel()->speedSlider()->toolTip(),
         QString::fromUtf8("\xD0\xA1\xD0\xBA\xD0\xBE\xD1\x80\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C")},
        {"volume slider", test::RunningPanel()->volumeSlider()->toolTip(),
         QString::fromUtf8("\xD0\x93\xD1\x80\xD0\xBE\xD0\xBC\xD0\xBA\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C")},
        {"progress bar (key missing)", test::RunningPanel()->progressBar()->toolTip(), QString()},
        {"Play menu item", test::Running().Menus().ActionsMenu->actions()[0]->text(), play + "\tF9"},
        {"Previous menu item", test::Running().Menus().ActionsMenu->actions()[5]->text(), prev + "\tF4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown.toStdString(), c.expected.toStdString()) << c.what;
}

// Every panel button runs its command through the shell; whatever fails
// behind the panel's signals is reported by the panel ("BottomPanel: ...",
// 273 for a button, 513 for a click on the progress bar), and the player goes
// on. The failure is a receiver of the panel's signals connected after the
// shell's own, as a command that fails late would.
TEST_F(PlayerFixture, AFailureBehindAnyPanelControlIsReportedByThePanel) {
    BottomPanel* panel = test::RunningPanel();
    bool failNext = false;
    auto failOnce = [&failNext] {
        if (!failNext)
            return;
        failNext = false;
        throw Error("the command failed");
    };
    const QMetaObject::Connection connections[] = {
        QObject::connect(panel, &BottomPanel::commandRequested, panel, [failOnce](int) { failOnce(); }),
        QObject::connect(panel, &BottomPanel::seekRequested, panel, [failOnce](int32_t, float, bool) { failOnce(); })};
    // A slow clock: no segment ends while the test clicks.
    panel->speedSlider()->setValue(0);
    struct Case {
        const char* name;
        uint8_t from;  // the play state the click starts from
        int button;    // 0: the progress bar
        int message;
        int after;     // the play state the command leaves; -1: as it was
    };
    const Case cases[] = {
        {"Play from Stopped", Stopped, cmd::Play, 273, Playing},
        {"Play from Paused", Paused, cmd::Play, 273, Playing},
        {"Pause", Playing, cmd::Pause, 273, Paused},
        {"Stop", Playing, cmd::Stop, 273, Stopped},
        {"Segments", Stopped, cmd::Segments, 273, -1},
        {"Previous segment", Playing, cmd::PrevSegment, 273, Playing},
        {"Next segment", Playing, cmd::NextSegment, 273, Playing},
        {"Full screen", Stopped, cmd::FullScreen, 273, -1},
        {"progress bar", Stopped, 0, 513, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunCommand(cmd::Stop);
        if (c.from != Stopped)
            RunCommand(cmd::Play);
        if (c.button == cmd::PrevSegment)
            RunCommand(cmd::NextSegment);
        if (c.from == Paused)
            RunCommand(cmd::Pause);
        ASSERT_EQ(test::RunningClock().PlayState, c.from);
        const bool fullScreen = test::Running().State().FullScreen;
        const bool listShown = test::Running().State().SegmentListShown;
        recorder_.Clear();

        failNext = true;
        if (c.button != 0) {
            QPushButton* button = panel->button(c.button);
            ASSERT_TRUE(button->isVisible());
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QTest::mouseClick(panel->progressBar(), Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(2, 5));
        }
        EXPECT_FALSE(failNext) << "nothing was signalled";
        failNext = false;
        ASSERT_EQ(recorder_.Messages().size(), 1u);
        EXPECT_EQ(recorder_.Messages()[0].text, "BottomPanel: WndProc error: Msg = " + std::to_string(c.message));
        EXPECT_EQ(recorder_.Messages()[0].caption, "Error");
        if (c.after >= 0) {
            EXPECT_EQ(test::RunningClock().PlayState, c.after);
        }
        if (c.button == cmd::FullScreen) {
            EXPECT_NE(test::Running().State().FullScreen, fullScreen);
        }
        if (c.button == cmd::Segments) {
            EXPECT_NE(test::Running().State().SegmentListShown, listShown);
        }

        // The player goes on: the toggles go back through the menu commands.
        if (test::Running().State().FullScreen != fullScreen)
            RunCommand(cmd::FullScreen);
        if (test::Running().State().SegmentListShown != listShown)
            RunCommand(cmd::Segments);
        RunCommand(cmd::Stop);
        RunCommand(cmd::Play);
        EXPECT_EQ(test::RunningClock().PlayState, Playing);
        EXPECT_EQ(recorder_.Messages().size(), 1u);
    }
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
    RunCommand(cmd::Stop);
    panel->speedSlider()->setValue(kNormalSpeedPosition);
}
