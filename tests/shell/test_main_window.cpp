// The player in-process: start-up, menus, language tables, shortcuts, drops,
// full screen, the picture in the window and the clean-up at exit.
#include <gtest/gtest.h>

#include <QDialog>
#include <QMenuBar>
#include <QTest>

#include <cerrno>
#include <filesystem>

#include "RunningPlayer.h"
#include "ShellTestSupport.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "shell/FilmLoading.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "shell/AboutBox.h"
#include "platform/Texts.h"
#include "shell/Commands.h"
#include "shell/Geometry.h"
#include "shell/MainWindow.h"
#include "shell/Menus.h"
#include "shell/RememberedSettings.h"
#include "shell/FramePresentation.h"
#include "shell/ShellState.h"

using namespace movarel;
using namespace movarel::writer;
using namespace shelltest;

namespace {

std::string ItemText(QMenu* menu, int position) {
    QAction* a = MenuItem(menu, position);
    return a ? a->text().toStdString() : std::string("<none>");
}
bool Enabled(QMenu* menu, int position) { return MenuItem(menu, position)->isEnabled(); }
bool Checked(QMenu* menu, int position) { return MenuItem(menu, position)->isChecked(); }

bool IsState(uint8_t state) { return test::RunningClock().PlayState.load() == state; }

void Activate(QWidget* w) {
    w->activateWindow();
    QApplication::setActiveWindow(w);
    WaitFor([w] { return QApplication::activeWindow() == w; }, 2000);
}

std::string LongFilm(const TestDir& dir, const std::string& name, int segments = 1) {
    return WriteFilm(dir, name, StillFilm(64, 48, Solid(64, 48, 0x336699), 100, 10.0f, segments));
}

}  // namespace

// Not passing yet: the window geometry at start-up is still being finished.
TEST(MainWindow, NoFilmOpensStoppedAt600x400WithLoadEnabled) {
    PlayerRun run({});
    ASSERT_NE(run.window, nullptr);
    EXPECT_TRUE(run.window->isVisible());
    EXPECT_EQ(run.window->windowTitle(), "Movarel");
    EXPECT_EQ(run.window->geometry().size(), QSize(600, 400));
    EXPECT_EQ(run.window->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_TRUE(test::Running().State().LoadAllowed);
    EXPECT_TRUE(Enabled(test::Running().Menus().FileMenu, 0));
    EXPECT_TRUE(run.recorder.Messages().empty());
    EXPECT_EQ(run.workDir, run.dir.path + "qxP_0000/");
    EXPECT_TRUE(std::filesystem::is_directory(run.workDir));
    run.Finish();
    EXPECT_FALSE(std::filesystem::exists(run.workDir));
}

TEST(MainWindow, MenusAndContextMenuCaptionsWithoutTable) {
    PlayerRun run({});
    const MenuState& m = test::Running().Menus();
    const QList<QAction*> bar = m.MainMenu->actions();
    ASSERT_EQ(bar.size(), 4);
    EXPECT_EQ(bar[0]->text(), "File");
    EXPECT_EQ(bar[3]->text(), "Help");
    EXPECT_EQ(ItemText(m.FileMenu, 0), "Load...\tCtrl+O");
    // Save frame and the recent films stand between Properties and Exit.
    EXPECT_EQ(ItemText(m.FileMenu, 2), "Save frame...\tCtrl+S");
    EXPECT_EQ(ItemText(m.FileMenu, 3), "Recent films");
    EXPECT_EQ(ItemText(m.FileMenu, 5), "Exit\tAlt+F4");
    EXPECT_EQ(ItemText(m.ActionsMenu, 5), "Previous segment\tF4");
    EXPECT_EQ(ItemText(m.ViewMenu, 1), "Full screen\tAlt+Enter");
    EXPECT_EQ(ItemText(m.HelpMenu, 2), "About...");
    EXPECT_TRUE(MenuItem(m.PopupMenu, 1)->isSeparator());
    EXPECT_EQ(ItemText(m.PopupMenu, 13), "Help");
    EXPECT_EQ(ItemText(m.PopupMenu, 16), "Close");
    EXPECT_EQ(m.PopupMenu->actions().size(), 17);
}

TEST(MainWindow, MenuStatesFollowPlayStateAndSegments) {
    TestDir films;
    const std::string film = LongFilm(films, "long.qxf");
    PlayerRun run({film});
    const MenuState& m = test::Running().Menus();
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    // A film named on the command line leaves Load at hand in every state.
    EXPECT_TRUE(test::Running().State().LoadAllowed);
    struct Expect {
        uint8_t state;
        bool play, pause, stop;
    };
    auto check = [&](const Expect& e) {
        EXPECT_TRUE(IsState(e.state));
        EXPECT_EQ(Checked(m.ActionsMenu, 0), e.play);
        EXPECT_EQ(Checked(m.ActionsMenu, 1), e.pause);
        EXPECT_EQ(Checked(m.ActionsMenu, 2), e.stop);
        EXPECT_EQ(Checked(m.PopupMenu, 2), e.play);
        EXPECT_EQ(Checked(m.PopupMenu, 4), e.stop);
        EXPECT_TRUE(Enabled(m.FileMenu, 0));
        for (int p : {0, 1, 2, 4, 5, 6}) EXPECT_TRUE(Enabled(m.ActionsMenu, p));
    };
    check({Playing, true, false, false});
    RunCommand(cmd::Pause);
    check({Paused, false, true, false});
    RunCommand(cmd::Play);
    check({Playing, true, false, false});
    RunCommand(cmd::Stop);
    check({Stopped, false, false, true});
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
    EXPECT_TRUE(Checked(m.ViewMenu, 0));  // panel pinned
    EXPECT_FALSE(Checked(m.ViewMenu, 1));
}

TEST(MainWindow, ZeroSegmentFilmGreysPlaybackItems) {
    TestDir films;
    FilmSpec empty;
    empty.segmentCount = 0;
    Bytes raw = BuildFilm(empty);
    PlayerRun run({}, {}, raw);
    const MenuState& m = test::Running().Menus();
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_FALSE(Enabled(m.FileMenu, 1));
    for (int p : {0, 1, 2, 5, 6}) EXPECT_FALSE(Enabled(m.ActionsMenu, p)) << p;
    for (int p : {2, 3, 4, 7, 8}) EXPECT_FALSE(Enabled(m.PopupMenu, p)) << p;
    EXPECT_TRUE(Enabled(m.ActionsMenu, 4));  // Segments
    EXPECT_TRUE(Enabled(m.FileMenu, 5));     // Exit
    RunCommand(cmd::Play);
    EXPECT_TRUE(IsState(Stopped));
}

TEST(MainWindow, LanguageTables) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> entries;
        std::string errorCaption, file, load, prev, popupClose, helpCaption;
    };
    const Case cases[] = {
        {"error only", {{"ERROR", "Fehler"}}, "Fehler", "File", "Load...\tCtrl+O", "Previous segment\tF4", "Close",
         ""},
        {"no Prev",
         {{"File", "Datei"}, {"Load", "Laden"}, {"Next", "Weiter"}, {"Close", "Schliessen"}, {"Help", "Hilfe"}},
         "Error", "Datei", "Laden\tCtrl + O", "Previous segment\tF4", "Schliessen", "Hilfe"},
        // Windows-1251: "Файл" and "Ошибка".
        {"cyrillic",
         {{"File", "\xD4\xE0\xE9\xEB"}, {"Error", "\xCE\xF8\xE8\xE1\xEA\xE0"}},
         "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0", "\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB", "Load...\tCtrl+O",
         "Previous segment\tF4", "Close", ""},
    };
    setenv("MOVAREL_CODEPAGE", "1251", 1);
    for (const Case& c : cases) {
        PlayerRun run({"/missing/film.qxf"}, BuildLanguageTable(c.entries));
        const MenuState& m = test::Running().Menus();
        EXPECT_EQ(m.MainMenu->actions()[0]->text().toStdString(), c.file) << c.name;
        EXPECT_EQ(ItemText(m.FileMenu, 0), c.load) << c.name;
        EXPECT_EQ(ItemText(m.ActionsMenu, 5), c.prev) << c.name;
        EXPECT_EQ(ItemText(m.PopupMenu, 16), c.popupClose) << c.name;
        EXPECT_EQ(Texts().Captions.Help, c.helpCaption) << c.name;  // display text, decoded once
        EXPECT_TRUE(Texts().Captions.Prev.empty()) << c.name;  // tooltip left empty
        // The film cannot be opened: the box carries the translated caption,
        // and the player waits for another film.
        ASSERT_EQ(run.recorder.Messages().size(), 1u) << c.name;
        EXPECT_EQ(run.recorder.Messages()[0].caption, c.errorCaption) << c.name;
        EXPECT_EQ(run.recorder.Messages()[0].text, "Cannot open file /missing/film.qxf") << c.name;
        EXPECT_TRUE(Enabled(m.FileMenu, 0)) << c.name;
        EXPECT_TRUE(run.window->acceptDrops()) << c.name;
    }
    unsetenv("MOVAREL_CODEPAGE");
}

TEST(MainWindow, ShortcutsDriveCommandsAlsoInFullScreen) {
    TestDir films;
    const std::string film = LongFilm(films, "long.qxf", 2);
    PlayerRun run({film});
    Activate(run.window);
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    QTest::keyClick(run.window, Qt::Key_F10);
    EXPECT_TRUE(IsState(Paused));
    QTest::keyClick(run.window, Qt::Key_F9);
    EXPECT_TRUE(IsState(Playing));
    QTest::keyClick(run.window, Qt::Key_F5);
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
    QTest::keyClick(run.window, Qt::Key_F4);
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
    QTest::keyClick(run.window, Qt::Key_F7);
    EXPECT_FALSE(test::Running().State().PanelPinned);
    QTest::keyClick(run.window, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(test::Running().State().FullScreen);
    EXPECT_TRUE(run.window->isFullScreen() || WaitFor([&] { return run.window->isFullScreen(); }, 2000));
    EXPECT_FALSE(run.window->menuBar()->isVisible());
    Activate(run.window);
    QTest::keyClick(run.window, Qt::Key_F10);  // the menu bar is hidden; the key still works
    EXPECT_TRUE(IsState(Paused));
    QTest::keyClick(run.window, Qt::Key_F11);
    EXPECT_TRUE(IsState(Stopped));
    // Stop returns to the window mode in force when playing began.
    EXPECT_FALSE(test::Running().State().FullScreen);
    EXPECT_TRUE(WaitFor([&] { return !run.window->isFullScreen(); }, 2000));
}

// Not passing yet: the window geometry at start-up is still being finished.
TEST(MainWindow, FullScreenFromCommandLineLeavesTo600x400Unpinned) {
    PlayerRun run({"/size", "fullscreen"});
    EXPECT_TRUE(test::Running().State().FullScreen);
    EXPECT_FALSE(test::Running().State().PanelPinned);
    EXPECT_TRUE(WaitFor([&] { return run.window->isFullScreen(); }, 2000));
    RunCommand(cmd::FullScreen);
    EXPECT_FALSE(test::Running().State().FullScreen);
    EXPECT_TRUE(WaitFor([&] { return !run.window->isFullScreen(); }, 2000));
    EXPECT_TRUE(WaitFor([&] { return run.window->geometry() == QRect(0, 0, 600, 400); }, 2000))
        << run.window->geometry().x() << "," << run.window->geometry().y() << " "
        << run.window->geometry().width() << "x" << run.window->geometry().height();
    EXPECT_FALSE(test::Running().State().PanelPinned);
    EXPECT_TRUE(run.window->menuBar()->isVisibleTo(run.window));
}

// Load and drops work in every play state: the film that plays is stopped
// and the new one takes its place (loaded stopped, dropped playing).
TEST(MainWindow, LoadAndDropReplaceAPlayingOrPausedFilm) {
    PlayerRun run({});
    TestDir films;
    const std::string one = LongFilm(films, "one.qxf");
    const std::string two = LongFilm(films, "two.qxf", 2);
    std::string chosen = one;
    int asked = 0;
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) {
        ++asked;
        return chosen;
    });
    RunCommand(cmd::Load);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_TRUE(IsState(Stopped));
    RunCommand(cmd::Play);
    ASSERT_TRUE(IsState(Playing));
    EXPECT_TRUE(Enabled(test::Running().Menus().FileMenu, 0));
    EXPECT_TRUE(CommandEnabled(test::Running().Menus(), cmd::Load));
    EXPECT_TRUE(run.window->acceptDrops());

    chosen = two;
    ChooseFile();  // e.g. Ctrl+O with the menu bar hidden
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 2);
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_TRUE(Checked(test::Running().Menus().ActionsMenu, 2));  // the menus follow the new player

    RunCommand(cmd::Play);
    RunCommand(cmd::Pause);
    ASSERT_TRUE(IsState(Paused));
    DropFiles({one, two});
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::Running().State().FilmSource, one);
    SetOpenFileDialog(previous);
}

// A self-playing film keeps the player to itself: Load is grey and drops are
// refused while it plays, as they were before any film could be opened at
// any time.
TEST(MainWindow, ASelfPlayingFilmKeepsLoadGrey) {
    TestDir films;
    const std::string other = LongFilm(films, "other.qxf");
    TestDir config;
    {
        RememberedSettings earlier(QString::fromStdString(config.path + "movarel/movarel.conf"));
        earlier.AddRecentFilm(QString::fromStdString(other));
    }
    PlayerRun run({}, {}, BuildFilm(StillFilm(64, 48, Solid(64, 48, 0x336699), 100, 10.0f)), config.path);
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    EXPECT_FALSE(test::Running().State().LoadAllowed);
    EXPECT_FALSE(Enabled(test::Running().Menus().FileMenu, 0));
    EXPECT_FALSE(CommandEnabled(test::Running().Menus(), cmd::Load));
    int asked = 0;
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) {
        ++asked;
        return other;
    });
    ChooseFile();
    EXPECT_EQ(asked, 0);
    DropFiles({other});
    EXPECT_EQ(test::Running().State().FilmSource, test::Running().State().ProgramPath);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_FALSE(run.window->acceptDrops());
    QMenu* recent = MenuItem(test::Running().Menus().FileMenu, 3)->menu();
    ASSERT_NE(recent, nullptr);
    emit recent->aboutToShow();
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_FALSE(recent->actions()[0]->isEnabled());
    SetOpenFileDialog(previous);
}

namespace {
// Every write fails as on a full disk.
ssize_t WriteToFullDisk(int, const void*, size_t) {
    errno = ENOSPC;
    return -1;
}
}  // namespace

TEST(MainWindow, FailedLoadSaysWhyAndLeavesThePlayerUsable) {
    PlayerRun run({});
    TestDir films;
    const std::string film = LongFilm(films, "film.qxf");
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return film; });
    FileOps full = PosixFileOps();
    full.write = WriteToFullDisk;
    const FileOps working = SetFileOps(full);
    RunCommand(cmd::Load);
    SetFileOps(working);
    ASSERT_EQ(run.recorder.Messages().size(), 1u);
    const std::string said = run.recorder.Messages()[0].text;
    EXPECT_EQ(said.rfind("Error in WndProc\rCannot write file " + test::Running().LoadedFilm().WorkPath(), 0), 0u) << said;
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 0);
    EXPECT_EQ(test::RunningClock().PlayState.load(), Stopped);

    // A handler that fails without a message still gets the plain box.
    GuardWndProc([] { throw 42; });
    ASSERT_EQ(run.recorder.Messages().size(), 2u);
    EXPECT_EQ(run.recorder.Messages()[1].text, "Error in WndProc");

    RunCommand(cmd::Load);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    RunCommand(cmd::Play);
    EXPECT_TRUE(IsState(Playing));
    SetOpenFileDialog(previous);
}

TEST(MainWindow, DropsLoadOnlyTheFirstQxfInAnyState) {
    PlayerRun run({});
    TestDir films;
    const std::string one = WriteFilm(films, "ONE.QXF", StillFilm(32, 32, Solid(32, 32, 0xFF0000), 100, 10, 1));
    const std::string two = WriteFilm(films, "two.qxf", StillFilm(32, 32, Solid(32, 32, 0x00FF00), 100, 10, 2));
    const std::string wav = films.path + "sound.wav";
    WriteFileBytes(wav, Bytes{'R', 'I', 'F', 'F'});
    EXPECT_TRUE(run.window->acceptDrops());

    DropFiles({wav, two});  // only the first counts, and it is no film
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 0);
    EXPECT_TRUE(IsState(Stopped));

    DropFiles({one, two, wav});  // capitals accepted, the first one played
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_TRUE(run.window->acceptDrops());

    DropFiles({wav, two});  // while playing too, only the first counts
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_EQ(test::Running().State().FilmSource, one);
    DropFiles({two, one});
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 2);
    EXPECT_TRUE(IsState(Playing));
}

// Whichever way a file that is no film comes in, the user is told, and the
// player stays stopped with Load at hand.
TEST(MainWindow, AFileThatIsNoFilmIsToldSoFromEveryWayIn) {
    TestDir films;
    const std::string empty = films.path + "empty.qxf";
    const std::string random = films.path + "random.qxf";
    const std::string picture = films.path + "picture.qxf";
    WriteFileBytes(empty, Bytes{});
    WriteFileBytes(random, Bytes(300, 0xA5));
    WriteFileBytes(picture, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0, 'I', 'E', 'N', 'D',
                                  0xAE, 0x42, 0x60, 0x82});
    const std::string folder = films.path + "folder.qxf";
    std::filesystem::create_directory(folder);
    // Read from its start, the picture's first bytes make a directory longer
    // than the file, which is told as the damage it would be in a film.
    auto says = [&](const std::string& path, bool fromStart) {
        return fromStart && path == picture ? std::string("The film is damaged: its directory is cut short.")
                                            : "Invalid file format: " + path;
    };
    auto toldOnce = [&](PlayerRun& run, const std::string& path, bool fromStart) {
        EXPECT_EQ(run.recorder.Messages().size(), 1u);
        if (run.recorder.Messages().empty()) return;
        EXPECT_EQ(run.recorder.Messages()[0].text, says(path, fromStart));
        EXPECT_EQ(run.recorder.Messages()[0].caption, "Error");
        run.recorder.Clear();
        EXPECT_EQ(test::Running().LoadedFilm().Count(), 0);
        EXPECT_TRUE(IsState(Stopped));
    };
    for (const std::string& path : {empty, random, picture, folder}) {
        SCOPED_TRACE(path);
        PlayerRun run({path});
        toldOnce(run, path, false);
        EXPECT_TRUE(test::Running().State().LoadAllowed);
        EXPECT_TRUE(Enabled(test::Running().Menus().FileMenu, 0));

        OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return path; });
        RunCommand(cmd::Load);
        SetOpenFileDialog(previous);
        toldOnce(run, path, true);

        DropFiles({path});
        toldOnce(run, path, true);
    }
}

TEST(MainWindow, CloseOnFinishClosesAfterTheLastSegment) {
    TestDir films;
    const std::string film = WriteFilm(films, "short.qxf", StillFilm(32, 32, Solid(32, 32, 0x123456), 3, 30, 2));
    PlayerRun run({film, "/closeonfinish"});
    EXPECT_TRUE(WaitFor([] { return Shell().Window == nullptr; }, 10000));
    EXPECT_FALSE(run.window->isVisible());
}

TEST(MainWindow, SegmentBeyondTheFilmStopsAtOnce) {
    TestDir films;
    const std::string film = LongFilm(films, "two.qxf", 2);
    {
        PlayerRun run({film, "/segm", "3"});
        EXPECT_TRUE(IsState(Stopped));
        EXPECT_NE(Shell().Window, nullptr);
    }
    PlayerRun run({film, "/segm", "3", "/closeonfinish"});
    EXPECT_EQ(Shell().Window, nullptr);
}

TEST(MainWindow, TheFilmIsNamedInTheTitleAndPropertiesHoweverItCame) {
    TestDir films;
    const std::string film = LongFilm(films, "lesson.qxf");
    const FilmSpec layout = StillFilm(64, 48, Solid(64, 48, 0x336699), 100, 10.0f);
    enum Route { CommandLine, RelativeCommandLine, Dialog, Drop, SelfPlaying };
    struct Case {
        const char* name;
        Route route;
        std::string title;  // empty: "Movarel - [" + the film's path + "]", then the segment's title
    } cases[] = {
        {"command line", CommandLine, ""},
        {"command line, relative to the working folder", RelativeCommandLine, "Movarel - [lesson.qxf] - Segment 1"},
        {"open dialog", Dialog, ""},
        {"dropped", Drop, ""},
        {"self-playing", SelfPlaying, "Movarel - Segment 1"},
    };
    const std::filesystem::path oldDir = std::filesystem::current_path();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args;
        if (c.route == CommandLine) args = {film};
        if (c.route == RelativeCommandLine) {
            std::filesystem::current_path(films.path);
            args = {"lesson.qxf"};
        }
        PlayerRun run(args, {}, c.route == SelfPlaying ? BuildFilm(layout) : Bytes{});
        OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return film; });
        if (c.route == Dialog) RunCommand(cmd::Load);
        if (c.route == Drop) DropFiles({film});
        SetOpenFileDialog(previous);
        ASSERT_EQ(test::Running().LoadedFilm().Count(), 1);
        const std::string path = c.route == SelfPlaying ? test::Running().State().ProgramPath : film;
        EXPECT_EQ(run.window->windowTitle().toStdString(),
                  c.title.empty() ? "Movarel - [" + film + "] - Segment 1" : c.title);
        run.recorder.Clear();
        RunCommand(cmd::Properties);
        ASSERT_EQ(run.recorder.Messages().size(), 1u);
        const std::string text = run.recorder.Messages()[0].text;
        EXPECT_EQ(text.substr(0, text.find('\r')), path);
        std::filesystem::current_path(oldDir);
    }
}

TEST(MainWindow, PropertiesHelpAndAbout) {
    TestDir films;
    const std::string film = LongFilm(films, "long.qxf");
    PlayerRun run({film});
    RunCommand(cmd::Properties);
    ASSERT_FALSE(run.recorder.Messages().empty());
    const MessageRequest p = run.recorder.Messages().back();
    EXPECT_EQ(p.caption, "Film properties");
    EXPECT_EQ(p.text, film + "\r\rSegments count: 1\r\r[64 x 48 x 32 bit / 10 fps  Sound:  - ]:  Segment 1\r");

    // Built without a web address, Help offers what is installed; with no
    // program to open it, the box says where it is.
    std::vector<std::string> opened;
    UrlOpenerFn oldOpener = SetUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return false;
    });
    const size_t before = run.recorder.Messages().size();
    RunCommand(cmd::ContextHelp);
    ASSERT_EQ(run.recorder.Messages().size(), before + 1);
    EXPECT_EQ(run.recorder.Messages().back().caption, "Help");
    EXPECT_EQ(run.recorder.Messages().back().text.find("web site"), std::string::npos);
    for (const std::string& url : opened) EXPECT_EQ(url.rfind("http", 0), std::string::npos) << url;

    int shown = 0;
    DialogRunnerFn oldRunner = SetDialogRunner([&](QDialog& box) {
        ++shown;
        EXPECT_EQ(box.windowTitle(), "About Movarel");
        auto* about = dynamic_cast<AboutBox*>(&box);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->Link(), nullptr);  // no web address, no link
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    RunCommand(cmd::About);
    RunCommand(cmd::About);
    EXPECT_EQ(shown, 2);
    SetDialogRunner(oldRunner);
    SetUrlOpener(oldOpener);
}

namespace {

QImage ClientPicture() {
    return test::Running().State().ClientArea->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// Not passing yet: presentation into the window is still being finished.
TEST(Presentation, UnscaledFrameIsCentredAndExact) {
    TestDir films;
    const Image image = Quadrants(120, 80);
    const std::string film = WriteFilm(films, "q.qxf", StillFilm(120, 80, image, 100, 10));
    PlayerRun run({film});
    ASSERT_TRUE(WaitFor([] { return IsState(Playing) && Shell().Window->Presented().HasFrame; }));
    RunCommand(cmd::Pause);
    Pump(50);
    const PictureGeometry g = test::Running().Geometry().Current();
    ASSERT_FALSE(g.Stretch);
    const QImage shot = ClientPicture();
    int wrong = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            if ((shot.pixel(g.OffsetX + x, g.OffsetY + y) & 0xFFFFFF) != image[y * 120 + x]) ++wrong;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(g.OffsetX, (test::Running().State().ClientRect.width() - 120) / 2);
}

// Not passing yet: presentation into the window is still being finished.
TEST(Presentation, LargeFrameIsScaledWithAspectKept) {
    TestDir films;
    // Larger than the 800 x 800 offscreen screen: the window is maximized.
    const Image image = Quadrants(1600, 1000);
    const std::string film = WriteFilm(films, "big.qxf", StillFilm(1600, 1000, image, 60, 10));
    PlayerRun run({film});
    ASSERT_TRUE(WaitFor([] { return IsState(Playing) && Shell().Window->Presented().HasFrame; }));
    RunCommand(cmd::Pause);
    Pump(100);
    const PictureGeometry g = test::Running().Geometry().Current();
    ASSERT_TRUE(g.Stretch);
    EXPECT_NEAR(static_cast<double>(g.ScaledWidth) / g.ScaledHeight, 1.6, 0.02);
    EXPECT_LE(g.ScaledWidth, test::Running().State().ClientRect.width());
    const QImage shot = ClientPicture();
    const int qx[] = {g.OffsetX + g.ScaledWidth / 4, g.OffsetX + 3 * g.ScaledWidth / 4};
    const int qy[] = {g.OffsetY + g.ScaledHeight / 4, g.OffsetY + 3 * g.ScaledHeight / 4};
    EXPECT_EQ(shot.pixel(qx[0], qy[0]) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shot.pixel(qx[1], qy[0]) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shot.pixel(qx[0], qy[1]) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shot.pixel(qx[1], qy[1]) & 0xFFFFFF, 0xFFFFFFu);
    // Outside the frame only the background.
    if (g.OffsetY > 2) {
        EXPECT_NE(shot.pixel(qx[0], g.OffsetY / 2) & 0xFFFFFF, 0xFF0000u);
    }
}

TEST(Presentation, CursorAreaCopiesOnlyItsRectangles) {
    App();
    Picture picture;
    picture.Reset(10, 10);
    for (uint32_t& p : picture.Pixels) p = 0x111111;
    PresentationState presented;
    PresentFrame(presented, picture);
    PictureGeometry g = ComputePictureGeometry(10, 10, 10, 10);
    TakePresentation(presented, g);
    for (uint32_t& p : picture.Pixels) p = 0x222222;
    const PixelRect rects[] = {{1, 1, 2, 2}, {8, 8, 5, 5}};  // the second is clipped to the picture
    PresentCursorArea(presented, picture, rects, 2);
    const QRegion area = TakePresentation(presented, g);
    EXPECT_EQ(area.boundingRect(), QRect(1, 1, 9, 9));
    const QImage& front = presented.Front;
    EXPECT_EQ(front.pixel(1, 1) & 0xFFFFFF, 0x222222u);
    EXPECT_EQ(front.pixel(9, 9) & 0xFFFFFF, 0x222222u);
    EXPECT_EQ(front.pixel(5, 5) & 0xFFFFFF, 0x111111u);
    ClearPresentation(presented);
}
