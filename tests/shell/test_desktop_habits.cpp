// The desktop keys and mouse actions, the frame taken out of the player, the
// caption, the settings kept between runs with the recent films, and how the
// picture is drawn when shown smaller or on a screen of fractional scale.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "RunningPlayer.h"
#include "ShellTestSupport.h"
#include "controls/BottomPanel.h"
#include "controls/SegmentListWindow.h"
#include "controls/Slider.h"
#include "engine/PlaybackClock.h"
#include "engine/Command.h"
#include "film/Film.h"
#include "shell/AreaScaler.h"
#include "shell/Commands.h"
#include "shell/DesktopKeys.h"
#include "shell/FrameExport.h"
#include "shell/Geometry.h"
#include "shell/Menus.h"
#include "shell/PanelBinding.h"
#include "shell/PlayerVolume.h"
#include "shell/FramePresentation.h"
#include "shell/FilmLoading.h"
#include "shell/ShellState.h"
#include "shell/WindowTitle.h"
#include "sound/Volume.h"

using namespace movarel;
using namespace movarel::writer;
using namespace shelltest;

namespace {

bool IsState(uint8_t state) { return test::RunningClock().PlayState.load() == state; }

std::string PlayingFilm(const TestDir& dir, const std::string& name, int segments = 1) {
    return WriteFilm(dir, name, StillFilm(64, 48, Quadrants(64, 48), 200, 10.0f, segments));
}

// Playing, paused on a frame that is on the screen.
void PauseOnFrame() {
    ASSERT_TRUE(WaitFor([] { return IsState(Playing) && Shell().Window != nullptr && Shell().Window->Presented().HasFrame; }));
    RunCommand(cmd::Pause);
    Pump(50);
}

void Wheel(QWidget* target, QPoint at, int angle) {
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

int GainPercent() { return static_cast<int>(std::lround(GetVolumePercent(test::Running().Volume().Output()))); }

Image Checkerboard(int width, int height) {
    Image image(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image[static_cast<size_t>(y) * width + x] = (x + y) % 2 ? 0xFFFFFF : 0;
    return image;
}

QImage ToQImage(const Image& image, int width, int height) {
    QImage out(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.setPixel(x, y, 0xFF000000u | image[static_cast<size_t>(y) * width + x]);
    return out;
}

}  // namespace

TEST(DesktopKeys, FullScreenByKeyDoubleClickAndEscape) {
    TestDir films;
    PlayerRun run({PlayingFilm(films, "keys.qxf")});
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.window));
    PauseOnFrame();
    ASSERT_FALSE(test::Running().State().FullScreen);
    // Esc in a window does nothing.
    QTest::keyClick(run.window, Qt::Key_Escape);
    EXPECT_FALSE(test::Running().State().FullScreen);
    QTest::keyClick(run.window, Qt::Key_F);
    EXPECT_TRUE(test::Running().State().FullScreen);
    QTest::keyClick(run.window, Qt::Key_F);
    EXPECT_FALSE(test::Running().State().FullScreen);

    const QPoint picture = test::Running().Geometry().Current().FrameRect().center();
    QTest::mouseDClick(test::Running().State().ClientArea, Qt::LeftButton, Qt::NoModifier, picture);
    EXPECT_TRUE(test::Running().State().FullScreen);

    // Esc in the shown segment list hides the list and stays in full screen;
    // the next Esc leaves full screen.
    RunCommand(cmd::Segments);
    ASSERT_TRUE(test::Running().State().SegmentListShown);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    ASSERT_TRUE(test::RunningSegmentList()->isAncestorOf(focus));
    QTest::keyClick(focus, Qt::Key_Escape);
    EXPECT_FALSE(test::Running().State().SegmentListShown);
    EXPECT_TRUE(test::Running().State().FullScreen);
    QTest::keyClick(run.window, Qt::Key_Escape);
    EXPECT_FALSE(test::Running().State().FullScreen);
    EXPECT_TRUE(IsState(Paused));
}

// The volume slider stands only at its thumb's places, about two percent
// apart: a step lands on the place nearest five percent away.
TEST(DesktopKeys, VolumeByKeysWheelAndMute) {
    TestDir films;
    PlayerRun run({PlayingFilm(films, "volume.qxf")});
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.window));
    BottomPanel* panel = test::RunningPanel();
    ASSERT_NE(panel, nullptr);
    test::Running().Volume().Set(50);
    int level = GainPercent();
    // One step each: up, or down; the gain and the slider agree.
    auto stepped = [&](int direction, const char* what) {
        const int now = GainPercent();
        EXPECT_GE((now - level) * direction, 4) << what;
        EXPECT_LE((now - level) * direction, 6) << what;
        EXPECT_EQ(panel->volumeSlider()->value(), now) << what;
        level = now;
    };
    QTest::keyClick(run.window, Qt::Key_0);
    stepped(1, "0");
    QTest::keyClick(run.window, Qt::Key_9);
    stepped(-1, "9");
    QTest::keyClick(run.window, Qt::Key_9);
    stepped(-1, "9 again");

    // A notch over the picture or the volume slider is a step; over the
    // speed slider the wheel changes nothing here, and half notches add up.
    Wheel(test::Running().State().ClientArea, QPoint(10, 10), 120);
    stepped(1, "wheel over the picture");
    Wheel(panel->volumeSlider(), QPoint(5, 5), -120);
    stepped(-1, "wheel over the volume slider");
    Wheel(panel->speedSlider(), QPoint(5, 5), 120);
    EXPECT_EQ(GainPercent(), level);
    Wheel(test::Running().State().ClientArea, QPoint(10, 10), 60);
    EXPECT_EQ(GainPercent(), level);
    Wheel(test::Running().State().ClientArea, QPoint(10, 10), 60);
    stepped(1, "two half notches");
    for (int i = 0; i < 30; ++i) QTest::keyClick(run.window, Qt::Key_0);
    EXPECT_EQ(GainPercent(), 100);
    for (int i = 0; i < 30; ++i) QTest::keyClick(run.window, Qt::Key_9);
    EXPECT_EQ(GainPercent(), 0);

    // Mute silences and keeps the slider's value; unmute comes back to it.
    test::Running().Volume().Set(44);
    const int kept = GainPercent();
    QTest::keyClick(run.window, Qt::Key_M);
    EXPECT_TRUE(test::Running().Volume().Muted());
    EXPECT_EQ(GainPercent(), 0);
    EXPECT_TRUE(panel->muted());
    Pump(450);  // the panel's volume poll must not take the silence for the value
    EXPECT_EQ(panel->volumeSlider()->value(), kept);
    EXPECT_EQ(panel->volumeText(), QString::number(kept) + "%");
    QTest::keyClick(run.window, Qt::Key_M);
    EXPECT_FALSE(panel->muted());
    EXPECT_EQ(GainPercent(), kept);
    // A volume change while muted unmutes, from the kept value.
    QTest::keyClick(run.window, Qt::Key_M);
    level = kept;
    QTest::keyClick(run.window, Qt::Key_0);
    EXPECT_FALSE(test::Running().Volume().Muted());
    stepped(1, "0 while muted");
    QTest::keyClick(run.window, Qt::Key_M);
    panel->volumeSlider()->setValue(20);
    EXPECT_FALSE(test::Running().Volume().Muted());
    EXPECT_EQ(GainPercent(), panel->volumeSlider()->value());
    EXPECT_NEAR(GainPercent(), 20, 1);
}

TEST(FrameExport, CopyAndSaveTheFrameWithTheCursor) {
    TestDir films;
    PlayerRun run({PlayingFilm(films, "frame.qxf")});
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.window));
    EXPECT_TRUE(CurrentFrameImage().isNull() || IsState(Playing));
    PauseOnFrame();
    const QImage expected = ToQImage(Quadrants(64, 48), 64, 48);

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(run.window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), expected);

    QString suggested;
    const std::string target = films.path + "saved";
    SaveFrameDialogFn previous = SetSaveFrameDialog([&](QWidget*, const QString& s) {
        suggested = s;
        return QString::fromStdString(target);
    });
    QAction* item = MenuItem(test::Running().Menus().FileMenu, 2);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Save frame...\tCtrl+S");
    item->trigger();
    SetSaveFrameDialog(std::move(previous));
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    EXPECT_TRUE(suggested.startsWith(pictures + "/frame-1-")) << suggested.toStdString();
    EXPECT_TRUE(suggested.endsWith(".png"));
    const QImage saved(QString::fromStdString(target + ".png"), "PNG");
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), expected);
    EXPECT_TRUE(run.recorder.Messages().empty());

    // Stopped, there is nothing to take.
    RunCommand(cmd::Stop);
    EXPECT_TRUE(CurrentFrameImage().isNull());
    EXPECT_FALSE(CopyFrameToClipboard());
}

TEST(WindowTitle, NamesTheFilmAndTheSegment) {
    EXPECT_EQ(WindowCaption("Movarel - [a.qxf]", "Intro"), "Movarel - [a.qxf] - Intro");
    EXPECT_EQ(WindowCaption("Movarel", ""), "Movarel");
    EXPECT_EQ(WindowCaption("Movarel", " Two\r\nlines "), "Movarel - Two lines");

    TestDir films;
    const std::string film = PlayingFilm(films, "lesson.qxf", 2);
    PlayerRun run({film});
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    EXPECT_EQ(run.window->windowTitle().toStdString(), "Movarel - [" + film + "] - Segment 1");
    RunCommand(cmd::NextSegment);
    EXPECT_TRUE(WaitFor([&] { return run.window->windowTitle().endsWith("] - Segment 2"); }));
}

TEST(RememberedSettings, WhatOneRunLeavesTheNextFindsUnlessTheCommandLineSaysOtherwise) {
    TestDir config;
    {
        PlayerRun run({}, {}, {}, config.path);
        test::Running().Volume().Set(35);
        test::Running().Volume().SetMuted(true);
        test::RunningPanel()->setSpeedPosition(5);
        RunCommand(cmd::ShowPanel);  // unpinned
        run.window->setGeometry(30, 40, 700, 500);
        Pump(50);
    }
    EXPECT_TRUE(std::filesystem::exists(config.path + "movarel/movarel.conf"));
    {
        PlayerRun run({}, {}, {}, config.path);
        EXPECT_EQ(test::Running().Volume().Percent(), 35);
        EXPECT_TRUE(test::Running().Volume().Muted());
        EXPECT_EQ(GainPercent(), 0);
        EXPECT_EQ(test::RunningPanel()->volumeSlider()->value(), 35);
        EXPECT_EQ(test::RunningPanel()->speedPosition(), 5);
        EXPECT_EQ(test::RunningClock().SpeedPosition.load(), 5);
        EXPECT_FALSE(test::Running().State().PanelPinned);
        EXPECT_EQ(run.window->geometry(), QRect(30, 40, 700, 500));
    }
    {
        PlayerRun run({"/size", "640", "480"}, {}, {}, config.path);
        EXPECT_EQ(run.window->geometry().size(), QSize(640, 480));
        EXPECT_EQ(run.window->geometry().topLeft(), QPoint(30, 40));  // no /pos: the place is kept
        EXPECT_EQ(test::Running().Volume().Percent(), 35);
    }
    {
        PlayerRun run({"-pos", "0", "0"}, {}, {}, config.path);
        EXPECT_EQ(run.window->geometry().size(), QSize(640, 480));
        EXPECT_EQ(run.window->frameGeometry().topLeft(), QPoint(0, 0));
    }
    // Another folder, another store: nothing of the above.
    PlayerRun fresh({});
    EXPECT_FALSE(test::Running().Volume().Muted());
    EXPECT_TRUE(test::Running().State().PanelPinned);
    // Each window has an output of its own: the silence went with the run
    // that muted, and the new one starts at full volume.
    EXPECT_EQ(GainPercent(), 100);
    EXPECT_EQ(fresh.window->geometry().size(), QSize(600, 400));
}

TEST(RememberedSettings, RecentFilmsOpenAsLoadDoes) {
    TestDir films;
    const std::string first = PlayingFilm(films, "first.qxf");
    const std::string second = PlayingFilm(films, "second.qxf", 2);
    const std::string gone = PlayingFilm(films, "gone.qxf");
    PlayerRun run({});
    for (const std::string& film : {gone, first, second}) {
        OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return film; });
        RunCommand(cmd::Load);
        SetOpenFileDialog(std::move(previous));
    }
    std::filesystem::remove(gone);
    QAction* item = MenuItem(test::Running().Menus().FileMenu, 3);
    ASSERT_NE(item, nullptr);
    QMenu* recent = item->menu();
    ASSERT_NE(recent, nullptr);
    EXPECT_EQ(recent->title(), "Recent films");
    emit recent->aboutToShow();
    const QList<QAction*> entries = recent->actions();
    ASSERT_EQ(entries.size(), 2);  // the film that went is left out
    EXPECT_EQ(entries[0]->text().toStdString(), second);
    EXPECT_EQ(entries[1]->text().toStdString(), first);
    EXPECT_TRUE(entries[1]->isEnabled());
    entries[1]->trigger();
    EXPECT_EQ(test::Running().State().FilmSource, first);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_TRUE(IsState(Stopped));

    // While a film plays the recent films open as Load opens one: the film
    // that plays stops and the chosen one waits, stopped.
    RunCommand(cmd::Play);
    ASSERT_TRUE(IsState(Playing));
    emit recent->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_TRUE(recent->actions()[1]->isEnabled());
    recent->actions()[1]->trigger();
    EXPECT_EQ(test::Running().State().FilmSource, second);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 2);
    EXPECT_TRUE(IsState(Stopped));
}

TEST(Presentation, AreaAveragingTurnsFineDetailIntoItsMean) {
    // A one-pixel checkerboard halved is mid-grey everywhere, where sampling
    // would give black or white, or stripes.
    const QImage board = ToQImage(Checkerboard(64, 48), 64, 48);
    struct Case {
        QSize size;
        int low, high;
    } cases[] = {{{32, 24}, 127, 128}, {{21, 16}, 112, 143}, {{5, 4}, 125, 130}};
    for (const Case& c : cases) {
        const QImage half = AreaScaled(board, c.size);
        ASSERT_EQ(half.size(), c.size);
        for (int y = 0; y < half.height(); ++y)
            for (int x = 0; x < half.width(); ++x) {
                const QRgb pixel = half.pixel(x, y);
                ASSERT_GE(qRed(pixel), c.low) << c.size.width() << " at " << x << "," << y;
                ASSERT_LE(qRed(pixel), c.high) << c.size.width() << " at " << x << "," << y;
                ASSERT_EQ(qRed(pixel), qBlue(pixel));
            }
    }
    // Flat areas stay exact, and a part redone equals the whole done again.
    QImage picture = ToQImage(Quadrants(90, 60), 90, 60);
    const AreaScaler scaler(90, 60, 40, 27);
    QImage scaled = AreaScaled(picture, QSize(40, 27));
    EXPECT_EQ(scaled.pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(scaled.pixel(35, 22) & 0xFFFFFF, 0xFFFFFFu);
    const QRect changed(30, 20, 7, 5);
    for (int y = changed.top(); y <= changed.bottom(); ++y)
        for (int x = changed.left(); x <= changed.right(); ++x) picture.setPixel(x, y, 0xFF123456);
    scaler.Scale(picture, scaled, scaler.TargetArea(changed));
    EXPECT_EQ(scaled, AreaScaled(picture, QSize(40, 27)));
}

TEST(Presentation, ShrunkPictureIsAveragedOnTheScreen) {
    TestDir films;
    // Larger than the offscreen screen: shown scaled down.
    const std::string film = WriteFilm(films, "fine.qxf", StillFilm(1600, 1000, Checkerboard(1600, 1000), 60, 10));
    PlayerRun run({film});
    PauseOnFrame();
    const PictureGeometry g = test::Running().Geometry().Current();
    ASSERT_TRUE(g.Stretch);
    const QImage shot = test::Running().State().ClientArea->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int off = 0;
    for (int y = g.OffsetY + 2; y < g.OffsetY + g.ScaledHeight - 2; y += 7)
        for (int x = g.OffsetX + 2; x < g.OffsetX + g.ScaledWidth - 2; x += 5)
            off += std::abs(qGreen(shot.pixel(x, y)) - 128) > 24;
    EXPECT_EQ(off, 0);
}

TEST(Presentation, FullScreenSurroundIsBlack) {
    TestDir films;
    PlayerRun run({PlayingFilm(films, "small.qxf")});
    PauseOnFrame();
    const QColor window = test::Running().State().ClientArea->palette().color(QPalette::Window);
    ASSERT_NE(window, QColor(Qt::black));
    QImage shot = test::Running().State().ClientArea->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(2, 2)), window);
    RunCommand(cmd::FullScreen);
    Pump(100);
    const PictureGeometry g = test::Running().Geometry().Current();
    shot = test::Running().State().ClientArea->grab().toImage();
    EXPECT_EQ(shot.pixel(2, 2) & 0xFFFFFF, 0u);
    EXPECT_EQ(shot.pixel(g.OffsetX - 1, g.OffsetY + 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(shot.pixel(g.OffsetX + 2, g.OffsetY + 2) & 0xFFFFFF, 0xFF0000u);
}

// A screen scaled by 1.5: the picture lands one picture pixel to one device
// pixel. Qt takes the scale factor when the application starts, so the test
// runs itself again in a process of its own with QT_SCALE_FACTOR set.
TEST(Presentation, FractionalScaleKeepsPicturePixelsWhole) {
    if (std::getenv("QT_SCALE_FACTOR") == nullptr) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(n, 0);
        self[n] = 0;
        const std::string command = std::string("QT_SCALE_FACTOR=1.5 '") + self +
                                    "' --gtest_filter=Presentation.FractionalScaleKeepsPicturePixelsWhole >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return;
    }
    TestDir films;
    const std::string film = WriteFilm(films, "crisp.qxf", StillFilm(64, 48, Checkerboard(64, 48), 200, 10));
    PlayerRun run({film});
    PauseOnFrame();
    const QPixmap grabbed = test::Running().State().ClientArea->grab();
    ASSERT_DOUBLE_EQ(grabbed.devicePixelRatio(), 1.5);
    const QImage shot = grabbed.toImage().convertToFormat(QImage::Format_RGB32);
    const PictureGeometry device = DeviceGeometry(test::Running().Geometry().Current(), 1.5);
    ASSERT_FALSE(device.Stretch);
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            wrong += (shot.pixel(device.OffsetX + x, device.OffsetY + y) & 0xFFFFFF) != ((x + y) % 2 ? 0xFFFFFFu : 0u);
    EXPECT_EQ(wrong, 0);
}
