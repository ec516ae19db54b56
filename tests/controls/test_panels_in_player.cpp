// The panels inside the real player: the shell's commands and menus and the
// playback clock behind them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "FilmWriter.h"
#include "controls/ControlPanelHooks.h"
#include "controls/UqxBottomPanel.h"
#include "controls/UqxSegmentList.h"
#include "controls/qxProgressBar.h"
#include "controls/qxSlider.h"
#include "engine/ClockState.h"
#include "engine/PlaybackClock.h"
#include "film/LanguageTable.h"
#include "film/SegmentList.h"
#include "shell/Commands.h"
#include "shell/MainForm.h"
#include "shell/Menus.h"
#include "shell/ShellPanelCalls.h"
#include "shell/ShellState.h"

using namespace movarel;

namespace {

// One player for the suite: the tests run in order on the same window, each
// starting from what the one before left.
class PlayerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::EnsureApp();
        InstallControlPanels();
        InstallShellPanelCalls();
        dir_ = new TestDir;
        const std::string film = dir_->path + "demo.qxf";
        writer::WriteFileBytes(film, writer::BuildFilmFile(writer::DemoFilm(64, 48, 40)));
        const std::string program = dir_->path + "player";
        writer::WriteFileBytes(program, writer::Bytes(64, 0));
        window_ = StartPlayer({film}, program);
        if (window_ != nullptr) {
            window_->show();
            (void)QTest::qWaitForWindowExposed(window_);
        }
    }
    static void TearDownTestSuite() {
        if (window_ != nullptr)
            FinishPlayer(window_);
        window_ = nullptr;
        SetPanelCalls(nullptr);
        delete dir_;
    }
    void SetUp() override {
        ASSERT_NE(window_, nullptr);
        ASSERT_GE(SegmentList().Count(), 2);
    }
    test::MessageRecorder recorder_;
    static TestDir* dir_;
    static TqxMainWindow* window_;
};
TestDir* PlayerFixture::dir_ = nullptr;
TqxMainWindow* PlayerFixture::window_ = nullptr;

bool SegmentsChecked() {
    return Menus().ActionsMenu->actions()[4]->isChecked() && Menus().PopupMenu->actions()[6]->isChecked();
}

}  // namespace

TEST_F(PlayerFixture, TheSegmentsButtonAndTheMenuCheckStayInStep) {
    QPushButton* segments = PanelButton(kCmdSegments);
    ASSERT_NE(segments, nullptr);
    QTest::mouseClick(segments, Qt::LeftButton);
    EXPECT_TRUE(Shell().SegmentListShown);
    EXPECT_TRUE(segments->isChecked());
    EXPECT_TRUE(SegmentsChecked());
    EXPECT_TRUE(SegmentListModule().Window->isVisible());
    EXPECT_EQ(SegmentListBox()->count(), SegmentList().Count());

    // The X button hides it again, and everything follows.
    QTest::mouseClick(SegmentListModule().CloseButton, Qt::LeftButton);
    EXPECT_FALSE(Shell().SegmentListShown);
    EXPECT_FALSE(segments->isChecked());
    EXPECT_FALSE(Menus().ActionsMenu->actions()[4]->isChecked());
    EXPECT_FALSE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(PlayerFixture, HidingTheListFromTheMenuHandsTheFocusToTheSegmentsButton) {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    RunCommand(113);
    ASSERT_TRUE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(SegmentListBox()->hasFocus());
    RunCommand(113);
    EXPECT_FALSE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(PanelButton(kCmdSegments)->hasFocus());
    EXPECT_FALSE(PanelButton(kCmdSegments)->isChecked());
}

TEST_F(PlayerFixture, TheSpeedSliderChangesTheTimerPeriodWhilePlayingAndPaused) {
    if (Clock().PlayState != Playing)
        RunCommand(110);
    ASSERT_EQ(Clock().PlayState, Playing);
    TqxSlider* speed = BottomPanel().SpeedSlider;
    EXPECT_EQ(Clock().Period, 100);  // 10 fps at normal speed

    speed->SetPosition(0);
    EXPECT_EQ(Clock().Period, 1000);
    EXPECT_TRUE(TimerRunning());
    speed->SetPosition(7);
    EXPECT_EQ(Clock().Period, 10);
    EXPECT_TRUE(TimerRunning());

    QTest::mouseClick(PanelButton(kCmdPause), Qt::LeftButton);
    ASSERT_EQ(Clock().PlayState, Paused);
    EXPECT_TRUE(PanelButton(kCmdPlay)->isVisible());
    speed->SetPosition(1);
    EXPECT_EQ(Clock().Period, 400);
    EXPECT_FALSE(TimerRunning());
    EXPECT_EQ(BottomPanel().TimeText.substr(0, 5), "x0.25");
    EXPECT_TRUE(recorder_.messages.empty());
}

TEST_F(PlayerFixture, TheTimerThreadMovesTheTimeText) {
    if (Clock().PlayState != Playing)
        RunCommand(110);
    BottomPanel().SpeedSlider->SetPosition(7);
    EXPECT_EQ(BottomPanel().InfoText, "64 x 48 x 32 / 10 fps");
    EXPECT_TRUE(test::WaitFor([] { return Clock().CurrentSegment == 1 || Clock().FrameIndex > 20; }, 5000));
    EXPECT_TRUE(test::WaitFor([] { return BottomPanel().TimeText.find("00:00:08") != std::string::npos; }, 5000))
        << BottomPanel().TimeText;
    RunCommand(112);
    EXPECT_EQ(Clock().PlayState, Stopped);
}

TEST_F(PlayerFixture, AFilmLoadedThroughTheOpenDialogIsDescribedBeforePlay) {
    if (Clock().PlayState != Stopped)
        RunCommand(cmd::Stop);
    // Three segments of 80 x 60 at 10 fps, 20 frames each: 6 seconds.
    const std::string other = dir_->path + "other.qxf";
    writer::FilmSpec film = writer::DemoFilm(80, 60, 20);
    film.segments.push_back(film.segments.front());
    writer::WriteFileBytes(other, writer::BuildFilmFile(film));
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return other; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(previous);
    ASSERT_EQ(SegmentList().Count(), 3);
    EXPECT_EQ(Clock().PlayState, Stopped);
    EXPECT_EQ(BottomPanel().InfoText, "80 x 60 x 32 / 10 fps");
    const std::string& time = BottomPanel().TimeText;  // after the speed read-out
    EXPECT_EQ(time.substr(time.find(' ')), "    00:00:00 | 00:00:06") << time;
    EXPECT_TRUE(recorder_.messages.empty());
}

namespace {
// The player started on a stand-in for its own file that carries a language
// table and no film; stopped and cleaned up when it goes.
struct TablePlayer {
    explicit TablePlayer(const writer::Bytes& table) {
        test::EnsureApp();
        InstallControlPanels();
        InstallShellPanelCalls();
        const std::string program = dir.path + "player";
        writer::WriteFileBytes(program, writer::BuildSelfPlaying(writer::Bytes(64, 0), table, writer::Bytes{}));
        window = StartPlayer({}, program);
    }
    ~TablePlayer() {
        if (window != nullptr)
            FinishPlayer(window);
        SetPanelCalls(nullptr);
        SetLanguageTableBuffer("");
    }
    TestDir dir;
    test::MessageRecorder recorder;
    TqxMainWindow* window = nullptr;
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
    const BottomPanelState& s = BottomPanel();
    struct Case {
        const char* what;
        QString shown, expected;
    } cases[] = {
        {"Play button", PanelButton(kCmdPlay)->toolTip(), play},
        {"Previous button", PanelButton(kCmdPrevSegment)->toolTip(), prev},
        {"speed slider", s.SpeedSlider->toolTip(),
         QString::fromUtf8("\xD0\xA1\xD0\xBA\xD0\xBE\xD1\x80\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C")},
        {"volume slider", s.VolumeSlider->toolTip(),
         QString::fromUtf8("\xD0\x93\xD1\x80\xD0\xBE\xD0\xBC\xD0\xBA\xD0\xBE\xD1\x81\xD1\x82\xD1\x8C")},
        {"progress bar (key missing)", s.ProgressBar->toolTip(), QString()},
        {"Play menu item", Menus().ActionsMenu->actions()[0]->text(), play + "\tF9"},
        {"Previous menu item", Menus().ActionsMenu->actions()[5]->text(), prev + "\tF4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.shown.toStdString(), c.expected.toStdString()) << c.what;
}
