// Films opened at any time, the still frame of a stopped film, the empty
// player's hint, and films that go on from where they were left, in one run
// and from one run to the next.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QPixmap>

#include <cerrno>
#include <cmath>
#include <filesystem>

#include "RunningPlayer.h"
#include "ShellTestSupport.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/FileOps.h"
#include "platform/Texts.h"
#include "shell/Commands.h"
#include "shell/FilmLoading.h"
#include "shell/FilmResume.h"
#include "shell/FramePresentation.h"
#include "shell/Geometry.h"
#include "shell/Menus.h"
#include "shell/PictureNote.h"
#include "shell/ShellState.h"

using namespace movarel;
using namespace movarel::writer;
using namespace shelltest;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

bool IsState(uint8_t state) { return test::RunningClock().PlayState.load() == state; }

// Segments of one colour each, 100 frames at 10 fps: 10 seconds apiece.
std::string ColourFilm(const TestDir& dir, const std::string& name, std::vector<uint32_t> colours,
                       int frames = 100) {
    FilmSpec film;
    for (uint32_t colour : colours) {
        FilmSpec one = StillFilm(64, 48, Solid(64, 48, colour), frames, 10.0f);
        film.segments.push_back(one.segments.front());
    }
    return WriteFilm(dir, name, film);
}

// The client area as painted now, and the colour in the middle of the picture.
QImage Painted() { return test::Running().State().ClientArea->grab().toImage(); }
uint32_t PictureColour() {
    const QPoint centre = test::Running().Geometry().Current().FrameRect().center();
    return Painted().pixel(centre) & 0xFFFFFF;
}
bool ShowsStill(uint32_t colour) {
    return WaitFor([colour] {
        return IsState(Stopped) && Shell().Window->Presented().HasFrame && PictureColour() == colour;
    });
}

void Open(const std::string& path) {
    OpenFileDialogFn previous = SetOpenFileDialog([&](QWidget*) { return path; });
    RunCommand(cmd::Load);
    SetOpenFileDialog(std::move(previous));
}

QAction* ResumeItem() { return MenuItem(test::Running().Menus().ViewMenu, kResumeFilmsItem); }

std::string NoteText() {
    QLabel* note = ShownPictureNote(test::Running());
    return note != nullptr ? note->text().toStdString() : std::string();
}

// Plays the loaded film from the start, goes on to frame of segment and pauses there.
void PauseAt(int32_t segment, int32_t frame) {
    RunCommand(cmd::Play);
    ASSERT_TRUE(IsState(Playing));
    ASSERT_TRUE(Shell().Window->ActivePlayer().SeekTo(segment, frame));
    RunCommand(cmd::Pause);
    ASSERT_TRUE(IsState(Paused));
}

}  // namespace

TEST(StillFrame, AStoppedFilmShowsTheFirstFrameOfItsSegment) {
    TestDir films;
    const std::string film = ColourFilm(films, "colours.qxf", {kRed, kGreen});
    PlayerRun run({});
    Open(film);
    EXPECT_TRUE(ShowsStill(kRed)) << "after the load";

    RunCommand(cmd::Play);
    RunCommand(cmd::NextSegment);
    ASSERT_TRUE(WaitFor([] { return test::RunningClock().CurrentSegment.load() == 1 && PictureColour() == kGreen; }));
    RunCommand(cmd::Stop);
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
    EXPECT_TRUE(ShowsStill(kRed)) << "after Stop on the second segment";

    // Played past its end, the film stops on the first segment's first frame.
    RunCommand(cmd::Play);
    RunCommand(cmd::NextSegment);
    RunCommand(cmd::NextSegment);
    EXPECT_TRUE(ShowsStill(kRed)) << "after the last segment";

    // Home while stopped keeps the first frame; Play starts from it.
    RunCommand(cmd::FirstFrame);
    EXPECT_TRUE(ShowsStill(kRed));
    RunCommand(cmd::Play);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
}

TEST(StillFrame, AnEmptyPlayerShowsTheHintInTheMiddle) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> table;
        std::string hint, resumeItem;
    } cases[] = {
        {"English", {}, "Drop a film here, or press Ctrl+O to open one", "Resume films where they were left"},
        {"a table without the new keys", {{"File", "Datei"}}, "Drop a film here, or press Ctrl+O to open one",
         "Resume films where they were left"},
        {"a table with them",
         {{"DropHint", "Film hierher ziehen"}, {"ResumeFilms", "Filme fortsetzen"}, {"Resumed", "Weiter bei %s"}},
         "Film hierher ziehen", "Filme fortsetzen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerRun run({}, c.table.empty() ? Bytes{} : BuildLanguageTable(c.table));
        EXPECT_EQ(Texts().Captions.DropHint, c.hint);
        EXPECT_EQ(ResumeItem()->text().toStdString(), c.resumeItem);
        // The hint's text crosses the middle of the area above the panel;
        // its corners show the plain background.
        const QImage painted = Painted();
        const QRgb background = painted.pixel(2, 2);
        const int middle = (painted.height() - (test::Running().State().PanelPinned ? 40 : 0)) / 2;
        int marked = 0;
        for (int y = middle - 8; y <= middle + 8; ++y)
            for (int x = 0; x < painted.width(); ++x) marked += painted.pixel(x, y) != background;
        EXPECT_GT(marked, 20);
        EXPECT_EQ(painted.pixel(2, middle), background);

        // With a film the hint is gone: the middle is the film's.
        TestDir films;
        Open(ColourFilm(films, "one.qxf", {kBlue}));
        EXPECT_TRUE(ShowsStill(kBlue));
    }
}

namespace {
ssize_t WriteToFullDisk(int, const void*, size_t) {
    errno = ENOSPC;
    return -1;
}

// The regular files under folder (the player's work folder).
int FilesUnder(const std::string& folder) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        count += entry.is_regular_file();
    return count;
}
}  // namespace

// A load that fails while another film plays leaves a stopped, empty player
// that loads the next film: nothing of either film left in the work folder.
TEST(OpenAnyTime, AFailedLoadWhilePlayingLeavesThePlayerReady) {
    TestDir films;
    const std::string first = ColourFilm(films, "first.qxf", {kRed, kGreen});
    const std::string second = ColourFilm(films, "second.qxf", {kBlue});
    PlayerRun run({first});
    ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
    ASSERT_GT(FilesUnder(run.workDir), 0);

    FileOps full = PosixFileOps();
    full.write = WriteToFullDisk;
    const FileOps working = SetFileOps(full);
    Open(second);
    SetFileOps(working);
    ASSERT_EQ(run.recorder.Messages().size(), 1u);
    EXPECT_EQ(run.recorder.Messages()[0].text.rfind("Error in WndProc\rCannot write file ", 0), 0u);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 0);
    EXPECT_TRUE(IsState(Stopped));
    EXPECT_TRUE(MenuItem(test::Running().Menus().ActionsMenu, 2)->isChecked());  // Stop, not Play
    EXPECT_EQ(FilesUnder(run.workDir), 0);
    EXPECT_TRUE(MenuItem(test::Running().Menus().FileMenu, 0)->isEnabled());

    Open(second);
    EXPECT_EQ(run.recorder.Messages().size(), 1u);
    EXPECT_EQ(test::Running().LoadedFilm().Count(), 1);
    EXPECT_TRUE(ShowsStill(kBlue));
}

TEST(Resume, AFilmOpenedAgainGoesOnWhereItWasLeft) {
    TestDir films;
    const std::string film = ColourFilm(films, "lesson.qxf", {kRed, kGreen});
    const std::string other = ColourFilm(films, "other.qxf", {kBlue});
    PlayerRun run({});
    Open(film);
    PauseAt(1, 30);
    Open(other);  // the paused film's place is kept as the other one comes
    EXPECT_TRUE(ShowsStill(kBlue));
    EXPECT_TRUE(NoteText().empty());

    Open(film);
    // Stopped on the frame it was left at, and the note says where: ten
    // seconds of the first segment and three of the second.
    EXPECT_TRUE(ShowsStill(kGreen));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
    EXPECT_EQ(NoteText(), "Resumed at 0:13 \xE2\x80\x94 Home goes to the start");
    RunCommand(cmd::Play);
    ASSERT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
    EXPECT_GE(test::RunningClock().FrameIndex.load(), 30);
    EXPECT_LT(test::RunningClock().FrameIndex.load(), 60);

    // Home goes to the film's first frame, playing on; the note goes.
    RunCommand(cmd::FirstFrame);
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
    EXPECT_LT(test::RunningClock().FrameIndex.load(), 10);
    EXPECT_TRUE(NoteText().empty());

    // Dropped, the film plays on from its place at once.
    ASSERT_TRUE(Shell().Window->ActivePlayer().SeekTo(1, 50));
    DropFiles({other});
    DropFiles({film});
    EXPECT_TRUE(IsState(Playing));
    EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
    EXPECT_GE(test::RunningClock().FrameIndex.load(), 50);
    EXPECT_FALSE(NoteText().empty());
    // The note fades away by itself.
    EXPECT_TRUE(WaitFor([] { return ShownPictureNote(test::Running()) == nullptr; }, kNoteShownMs + kNoteFadeMs + 3000));
}

TEST(Resume, NeverPlayedSentHomeOrPlayedToTheEndOpensAtTheStart) {
    TestDir films;
    const std::string other = ColourFilm(films, "other.qxf", {kBlue});
    // Each film is left part-way first, so there is a place to lose.
    auto leftPartWay = [&](const std::string& film) {
        PauseAt(1, 30);
        Open(other);
        Open(film);
        ASSERT_EQ(test::RunningClock().CurrentSegment.load(), 1);
    };
    struct Case {
        const char* name;
        std::function<void(const std::string&)> leave;
        int32_t segment;  // where the film opens again
    } cases[] = {
        {"stopped after playing", [](const std::string&) { PauseAt(1, 30); RunCommand(cmd::Stop); }, 1},
        {"never played", [](const std::string&) {}, 0},
        {"sent Home while stopped", [&](const std::string& film) { leftPartWay(film); RunCommand(cmd::FirstFrame); }, 0},
        {"played to its end", [&](const std::string& film) {
             leftPartWay(film);
             RunCommand(cmd::Play);
             ASSERT_TRUE(WaitFor([] { return test::RunningClock().FrameIndex.load() > 32; }));
             ASSERT_TRUE(Shell().Window->ActivePlayer().SeekTo(1, 90));
             ASSERT_TRUE(WaitFor([] { return IsState(Stopped); }));
         }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string film = ColourFilm(films, std::string(c.name) + ".qxf", {kRed, kGreen});
        PlayerRun run({});
        Open(film);
        c.leave(film);
        Open(other);
        Open(film);
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), c.segment);
        EXPECT_TRUE(ShowsStill(c.segment == 0 ? kRed : kGreen));
        EXPECT_EQ(NoteText().empty(), c.segment == 0);
    }
}

// Two runs of the player with the same settings folder: the second goes on
// where the first was closed, unless /segm names the segment or resuming was
// turned off (which is remembered too).
TEST(Resume, TheNextRunGoesOnWhereTheLastOneClosed) {
    TestDir films;
    TestDir config;
    const std::string film = ColourFilm(films, "lesson.qxf", {kRed, kGreen});
    {
        PlayerRun run({film}, {}, {}, config.path);
        ASSERT_TRUE(WaitFor([] { return IsState(Playing); }));
        ASSERT_TRUE(Shell().Window->ActivePlayer().SeekTo(1, 40));
    }
    {
        PlayerRun run({film}, {}, {}, config.path);
        EXPECT_TRUE(IsState(Playing));
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 1);
        EXPECT_GE(test::RunningClock().FrameIndex.load(), 40);
        EXPECT_EQ(NoteText(), "Resumed at 0:14 \xE2\x80\x94 Home goes to the start");
    }
    {
        PlayerRun run({film, "/segm", "1"}, {}, {}, config.path);
        EXPECT_TRUE(IsState(Playing));
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
        EXPECT_LT(test::RunningClock().FrameIndex.load(), 10);
        EXPECT_TRUE(NoteText().empty());
        ASSERT_TRUE(Shell().Window->ActivePlayer().SeekTo(1, 20));
    }
    {
        // /segm 0 starts nothing: stopped on the first frame, as /segm wins.
        PlayerRun run({film, "/segm", "0"}, {}, {}, config.path);
        EXPECT_TRUE(IsState(Stopped));
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
        EXPECT_TRUE(ShowsStill(kRed));
        ASSERT_TRUE(ResumeItem()->isChecked());
        RunCommand(cmd::ResumeFilms);
        EXPECT_FALSE(ResumeItem()->isChecked());
        EXPECT_FALSE(ResumingFilms());
    }
    {
        PlayerRun run({film}, {}, {}, config.path);
        EXPECT_FALSE(ResumeItem()->isChecked());
        EXPECT_EQ(test::RunningClock().CurrentSegment.load(), 0);
        EXPECT_TRUE(NoteText().empty());
    }
}

TEST(Resume, TimesOfTheNote) {
    const std::pair<double, const char*> cases[] = {
        {0, "0:00"}, {13.9, "0:13"}, {754, "12:34"}, {3723, "1:02:03"}, {-5, "0:00"}, {std::nan(""), "0:00"}, {1e300, "277777777:46:40"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(ShortTime(seconds), text) << seconds;
}


