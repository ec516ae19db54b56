// What the player remembers between runs: values come back as saved, broken
// values are dropped, the recent list keeps existing films only, and a film
// that changed on disk is not resumed.
#include <gtest/gtest.h>

#include <QFile>
#include <QString>

#include <fstream>
#include <thread>

#include "shell/RememberedSettings.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(RememberedSettings, ValuesComeBackInANewRunAndBrokenOnesAreDropped) {
    TestDir dir;
    const QString file = Q(dir.path + "movarel.conf");
    {
        RememberedSettings settings(file);
        EXPECT_FALSE(settings.Load().VolumePercent) << "nothing saved yet";
        EXPECT_TRUE(settings.Load().ResumeFilms) << "resuming is on by default";
        RememberedState state;
        state.VolumePercent = 35;
        state.Muted = true;
        state.SpeedPosition = 5;
        state.SpeedFactor = 1.25;
        state.PanelPinned = false;
        state.WindowGeometry = QRect(10, 20, 800, 600);
        state.ResumeFilms = false;
        settings.Save(state);
    }
    {
        RememberedSettings settings(file);
        const RememberedState state = settings.Load();
        EXPECT_EQ(state.VolumePercent, 35);
        EXPECT_TRUE(state.Muted);
        EXPECT_EQ(state.SpeedPosition, 5);
        EXPECT_EQ(state.SpeedFactor, 1.25);
        EXPECT_EQ(state.PanelPinned, false);
        EXPECT_EQ(state.WindowGeometry, QRect(10, 20, 800, 600));
        EXPECT_FALSE(state.ResumeFilms);
    }
    // A file edited by hand, or by a newer player, with values we cannot use.
    WriteText(dir.path + "movarel.conf",
              "[sound]\nvolume=250\n[playback]\nspeedPosition=-1\nspeedFactor=abc\n"
              "[window]\ngeometry=@Rect(0 0 -5 -5)\n");
    RememberedSettings settings(file);
    const RememberedState state = settings.Load();
    EXPECT_FALSE(state.VolumePercent);
    EXPECT_FALSE(state.SpeedPosition);
    EXPECT_FALSE(state.SpeedFactor);
    EXPECT_FALSE(state.WindowGeometry.isValid());
}

TEST(RememberedSettings, RecentFilmsAreNewestFirstUniqueExistingAndAtMostTen) {
    TestDir dir;
    RememberedSettings settings(Q(dir.path + "movarel.conf"));
    std::vector<std::string> films;
    for (int i = 0; i < 12; ++i) {
        films.push_back(dir.path + "film" + std::to_string(i) + ".qxf");
        WriteText(films.back(), "x");
        settings.AddRecentFilm(Q(films.back()));
    }
    settings.AddRecentFilm(Q(films[5]));  // opened again: moves to the top, once
    QStringList recent = settings.RecentFilms();
    ASSERT_EQ(recent.size(), RememberedSettings::kRecentCount);
    EXPECT_EQ(recent[0], Q(films[5]));
    EXPECT_EQ(recent[1], Q(films[11]));
    EXPECT_EQ(recent.count(Q(films[5])), 1);
    EXPECT_FALSE(recent.contains(Q(films[0]))) << "the oldest fell off";

    QFile::remove(Q(films[11]));
    recent = settings.RecentFilms();
    EXPECT_FALSE(recent.contains(Q(films[11]))) << "a film that is gone is not offered";
    EXPECT_EQ(recent[1], Q(films[10]));
}

TEST(RememberedSettings, AFilmIsResumedOnlyWhileItIsTheSameFile) {
    TestDir dir;
    RememberedSettings settings(Q(dir.path + "movarel.conf"));
    const std::string film = dir.path + "lesson, part [1].qxf";
    WriteText(film, "first version");
    EXPECT_FALSE(settings.ResumePointFor(Q(film)));
    settings.SetResumePoint(Q(film), ResumePoint{2, 61500});
    auto point = settings.ResumePointFor(Q(film));
    ASSERT_TRUE(point);
    EXPECT_EQ(point->Segment, 2);
    EXPECT_EQ(point->Milliseconds, 61500);

    WriteText(film, "a longer second version");
    EXPECT_FALSE(settings.ResumePointFor(Q(film))) << "the file was replaced";

    settings.SetResumePoint(Q(film), ResumePoint{0, 1000});
    settings.ForgetResumePoint(Q(film));
    EXPECT_FALSE(settings.ResumePointFor(Q(film)));
    // A film that does not exist has nothing to resume and records nothing.
    settings.SetResumePoint(Q(dir.path + "missing.qxf"), ResumePoint{1, 1});
    EXPECT_FALSE(settings.ResumePointFor(Q(dir.path + "missing.qxf")));
}
