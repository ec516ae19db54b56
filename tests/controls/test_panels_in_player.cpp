// The panels inside the real player: the shell's commands and menus and the
// playback clock behind them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QtTest/QTest>

#include "ControlsTestSupport.h"
#include "FilmWriter.h"
#include "controls/ControlPanelHooks.h"
#include "controls/UqxBottomPanel.h"
#include "controls/UqxSegmentList.h"
#include "controls/qxSlider.h"
#include "engine/ClockState.h"
#include "engine/PlaybackClock.h"
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
        // The player cleans up stale work directories in its temporary
        // path; it must do so in a folder of its own, not the shared one.
        const char* shared = std::getenv("TMPDIR");
        const std::string before = shared != nullptr ? shared : "";
        setenv("TMPDIR", dir_->path.c_str(), 1);
        window_ = StartPlayer({film}, program);
        if (before.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", before.c_str(), 1);
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
