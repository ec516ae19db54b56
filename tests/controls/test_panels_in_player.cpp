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
#include "controls/qxProgressBar.h"
#include "controls/qxSlider.h"
#include "engine/PlaybackClock.h"
#include "engine/PlaybackClock.h"
#include "film/LanguageTable.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "shell/Commands.h"
#include "shell/MainForm.h"
#include "shell/Menus.h"
#include "shell/PanelHooks.h"
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
        SetPanelCalls(nullptr);
        delete dir_;
    }
    void SetUp() override {
        ASSERT_NE(window_, nullptr);
        ASSERT_GE(PanelFilm().Count(), 2);
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
    QPushButton* segments = PanelButton(cmd::Segments);
    ASSERT_NE(segments, nullptr);
    QTest::mouseClick(segments, Qt::LeftButton);
    EXPECT_TRUE(Shell().SegmentListShown);
    EXPECT_TRUE(segments->isChecked());
    EXPECT_TRUE(SegmentsChecked());
    EXPECT_TRUE(SegmentListModule().Window->isVisible());
    EXPECT_EQ(SegmentListBox()->count(), PanelFilm().Count());

    // The X button hides it again, and everything follows.
    QTest::mouseClick(SegmentListModule().CloseButton, Qt::LeftButton);
    EXPECT_FALSE(Shell().SegmentListShown);
    EXPECT_FALSE(segments->isChecked());
    EXPECT_FALSE(Menus().ActionsMenu->actions()[4]->isChecked());
    EXPECT_FALSE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(PlayerFixture, HidingTheListFromTheMenuHandsTheFocusToTheSegmentsButton) {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    RunCommand(113);
    ASSERT_TRUE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(SegmentListBox()->hasFocus());
    RunCommand(113);
    EXPECT_FALSE(SegmentListModule().Window->isVisible());
    EXPECT_TRUE(PanelButton(cmd::Segments)->hasFocus());
    EXPECT_FALSE(PanelButton(cmd::Segments)->isChecked());
}

TEST_F(PlayerFixture, TheSpeedSliderChangesTheTimerPeriodWhilePlayingAndPaused) {
    if (PanelClock().PlayState != Playing)
        RunCommand(110);
    ASSERT_EQ(PanelClock().PlayState, Playing);
    TqxSlider* speed = BottomPanel().SpeedSlider;
    EXPECT_EQ(PanelClock().Period, 100);  // 10 fps at normal speed

    speed->SetPosition(0);
    EXPECT_EQ(PanelClock().Period, 1000);
    EXPECT_TRUE(Calls().ActivePlayer()->TimerRunning());
    speed->SetPosition(7);
    EXPECT_EQ(PanelClock().Period, 10);
    EXPECT_TRUE(Calls().ActivePlayer()->TimerRunning());

    QTest::mouseClick(PanelButton(cmd::Pause), Qt::LeftButton);
    ASSERT_EQ(PanelClock().PlayState, Paused);
    EXPECT_TRUE(PanelButton(cmd::Play)->isVisible());
    speed->SetPosition(1);
    EXPECT_EQ(PanelClock().Period, 400);
    EXPECT_FALSE(Calls().ActivePlayer()->TimerRunning());
    EXPECT_EQ(BottomPanel().TimeText.substr(0, 5), "x0.25");
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(PlayerFixture, TheTimerThreadMovesTheTimeText) {
    if (PanelClock().PlayState != Playing)
        RunCommand(110);
    BottomPanel().SpeedSlider->SetPosition(7);
    EXPECT_EQ(BottomPanel().InfoText, "64 x 48 x 32 / 10 fps");
    EXPECT_TRUE(test::WaitFor([] { return PanelClock().CurrentSegment == 1 || PanelClock().FrameIndex > 20; }, 5000));
    EXPECT_TRUE(test::WaitFor([] { return BottomPanel().TimeText.find("00:00:08") != std::string::npos; }, 5000))
        << BottomPanel().TimeText;
    RunCommand(112);
    EXPECT_EQ(PanelClock().PlayState, Stopped);
}

TEST_F(PlayerFixture, AFilmLoadedThroughTheOpenDialogIsDescribedBeforePlay) {
    if (PanelClock().PlayState != Stopped)
        RunCommand(cmd::Stop);
    // Three segments of 80 x 60 at 10 fps, 20 frames each: 6 seconds.
    const std::string other = dir_->path + "other.qxf";
    writer::FilmSpec film = writer::DemoFilm(80, 60, 20);
    film.segments.push_back(film.segments.front());
    writer::WriteFileBytes(other, writer::BuildFilmFile(film));
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return other; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(previous);
    ASSERT_EQ(PanelFilm().Count(), 3);
    EXPECT_EQ(PanelClock().PlayState, Stopped);
    EXPECT_EQ(BottomPanel().InfoText, "80 x 60 x 32 / 10 fps");
    const std::string& time = BottomPanel().TimeText;  // after the speed read-out
    EXPECT_EQ(time.substr(time.find(' ')), "    00:00:00 | 00:00:06") << time;
    EXPECT_TRUE(recorder_.Messages().empty());
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
        window = test::StartPlayerIn(dir, {}, program);
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
        {"Play button", PanelButton(cmd::Play)->toolTip(), play},
        {"Previous button", PanelButton(cmd::PrevSegment)->toolTip(), prev},
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

namespace {
// The panels' hooks as installed, with one of them made to fail once: a
// command started from the panel then fails inside the shell, as a real
// failure would (a sound file that does not open, a refused write).
class FailingPanelHooks : public PanelHooks {
public:
    enum Hook { None, SegmentDescription, PlayState, ButtonChecks, FillList };
    explicit FailingPanelHooks(PanelHooks* inner) : inner_(inner) {}
    Hook failIn = None;

    void CreatePanels(QWidget* w) override { inner_->CreatePanels(w); }
    QWidget* BottomPanelWidget() override { return inner_->BottomPanelWidget(); }
    QWidget* SegmentListWidget() override { return inner_->SegmentListWidget(); }
    int32_t PanelHeight() const override { return inner_->PanelHeight(); }
    void CreateTooltips(const CaptionTexts& c) override { inner_->CreateTooltips(c); }
    void RefreshTimeDisplay() override { inner_->RefreshTimeDisplay(); }
    void ShowSegmentDescription() override {
        FailIf(SegmentDescription);
        inner_->ShowSegmentDescription();
    }
    void PlayStateChanged(int state) override {
        FailIf(PlayState);
        inner_->PlayStateChanged(state);
    }
    void SetButtonChecks(bool fullScreen, bool listShown) override {
        FailIf(ButtonChecks);
        inner_->SetButtonChecks(fullScreen, listShown);
    }
    void Repaint() override { inner_->Repaint(); }
    void FillSegmentList() override {
        FailIf(FillList);
        inner_->FillSegmentList();
    }
    void SelectInSegmentList(int32_t index) override { inner_->SelectInSegmentList(index); }
    void FocusSegmentList() override { inner_->FocusSegmentList(); }
    bool SegmentListHasFocus() override { return inner_->SegmentListHasFocus(); }
    void FocusSegmentsButton() override { inner_->FocusSegmentsButton(); }

private:
    void FailIf(Hook hook) {
        if (failIn != hook)
            return;
        failIn = None;
        throw Error("the panel hook failed");
    }
    PanelHooks* inner_;
};

}  // namespace

// Every panel button runs its command through the shell; whatever fails in
// it is reported by the panel ("BottomPanel: ...", WM_COMMAND 273), as the
// progress bar's click is (WM_LBUTTONDOWN 513), and the player goes on.
TEST_F(PlayerFixture, AFailureInACommandFromAnyPanelControlIsReportedByThePanel) {
    FailingPanelHooks hooks(&Panels());
    struct Reinstall {
        PanelHooks* previous;
        ~Reinstall() { SetPanelHooks(previous); }
    } reinstall{SetPanelHooks(&hooks)};
    // A slow clock: no segment ends while the test clicks.
    BottomPanel().SpeedSlider->SetPosition(0);
    struct Case {
        const char* name;
        uint8_t from;  // the play state the click starts from
        int button;    // 0: the progress bar
        FailingPanelHooks::Hook failIn;
        int message;
    };
    const Case cases[] = {
        {"Play from Stopped", Stopped, cmd::Play, FailingPanelHooks::SegmentDescription, 273},
        {"Play from Paused", Paused, cmd::Play, FailingPanelHooks::PlayState, 273},
        {"Pause", Playing, cmd::Pause, FailingPanelHooks::PlayState, 273},
        {"Stop", Playing, cmd::Stop, FailingPanelHooks::PlayState, 273},
        {"Segments", Stopped, cmd::Segments, FailingPanelHooks::FillList, 273},
        {"Previous segment", Playing, cmd::PrevSegment, FailingPanelHooks::SegmentDescription, 273},
        {"Next segment", Playing, cmd::NextSegment, FailingPanelHooks::SegmentDescription, 273},
        {"Full screen", Stopped, cmd::FullScreen, FailingPanelHooks::ButtonChecks, 273},
        {"progress bar", Stopped, 0, FailingPanelHooks::SegmentDescription, 513},
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
        ASSERT_EQ(PanelClock().PlayState, c.from);
        const bool fullScreen = Shell().FullScreen;
        const bool listShown = Shell().SegmentListShown;
        recorder_.Clear();

        hooks.failIn = c.failIn;
        if (c.button != 0) {
            QPushButton* button = PanelButton(c.button);
            ASSERT_TRUE(button->isVisible());
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            QTest::mouseClick(BottomPanel().ProgressBar, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(2, 5));
        }
        EXPECT_EQ(hooks.failIn, FailingPanelHooks::None) << "the command did not reach the failing hook";
        hooks.failIn = FailingPanelHooks::None;
        ASSERT_EQ(recorder_.Messages().size(), 1u);
        EXPECT_EQ(recorder_.Messages()[0].text, "BottomPanel: WndProc error: Msg = " + std::to_string(c.message));
        EXPECT_EQ(recorder_.Messages()[0].caption, "Error");

        // The player goes on: the toggles go back through the menu commands.
        if (Shell().FullScreen != fullScreen)
            RunCommand(cmd::FullScreen);
        if (Shell().SegmentListShown != listShown)
            RunCommand(cmd::Segments);
        RunCommand(cmd::Stop);
        RunCommand(cmd::Play);
        EXPECT_EQ(PanelClock().PlayState, Playing);
        EXPECT_EQ(recorder_.Messages().size(), 1u);
    }
    RunCommand(cmd::Stop);
    BottomPanel().SpeedSlider->SetPosition(kNormalSpeedPosition);
}
