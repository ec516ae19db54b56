// cmake --install of this build tree into a scratch root, checked as a
// packager would: every file in its place, a desktop entry and MIME type that
// agree with each other, an icon of the right size and readable man pages.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

#ifndef MOVAREL_BUILD_DIR
#error "the build adds MOVAREL_BUILD_DIR for this test"
#endif

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The value of "Key=" in a desktop entry; "\x01" when the key is absent.
std::string DesktopValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return "\x01";
}

std::string Gunzip(const std::string& path) {
    std::string out;
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    gzclose(f);
    return out;
}

// One installation for all the checks below: it is the slow part.
class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = new TestDir();
        install = RunShell("DESTDIR='" + root->path + "' cmake --install '" MOVAREL_BUILD_DIR "' --prefix /usr");
    }
    static void TearDownTestSuite() {
        delete root;
        root = nullptr;
    }
    void SetUp() override { ASSERT_EQ(install.status, 0) << install.out; }

    static std::string Installed(const std::string& relative) { return root->path + "usr/" + relative; }

    static TestDir* root;
    static CommandRun install;
};

TestDir* InstallTest::root = nullptr;
CommandRun InstallTest::install;

TEST_F(InstallTest, PutsEveryFileInItsPlace) {
    struct Expected {
        std::string path;
        bool executable;
    };
    std::vector<Expected> expected = {
        {"bin/movarel-tool", true},
        {"share/applications/movarel.desktop", false},
        {"share/mime/packages/movarel.xml", false},
        {"share/icons/hicolor/48x48/apps/movarel.png", false},
        {"share/icons/hicolor/scalable/apps/movarel.svg", false},
        {"share/man/man1/movarel.1.gz", false},
        {"share/man/man1/movarel-tool.1.gz", false},
        // What Help (F1) opens when the build names no web page.
        {"share/doc/movarel/README.md", false},
        {"share/doc/movarel/docs/screenshot-playing.png", false},
        {"share/doc/movarel/copyright", false},
        {"share/doc/movarel/changelog.gz", false},
    };
    if (MOVAREL_HAS_PLAYER)
        expected.push_back({"bin/movarel", true});
    if (MOVAREL_HAS_THUMBNAIL)
        expected.push_back({"share/thumbnailers/movarel.thumbnailer", false});
    for (const Expected& e : expected) {
        struct stat st {};
        ASSERT_EQ(::stat(Installed(e.path).c_str(), &st), 0) << e.path << " is missing";
        EXPECT_GT(st.st_size, 0) << e.path;
        EXPECT_EQ((st.st_mode & S_IXUSR) != 0, e.executable) << e.path;
    }
}

TEST_F(InstallTest, DesktopEntryOpensFilmsOfTheInstalledType) {
    std::string entry = ReadText(Installed("share/applications/movarel.desktop"));
    EXPECT_EQ(DesktopValue(entry, "Type"), "Application");
    EXPECT_EQ(DesktopValue(entry, "Exec"), "movarel %f");
    EXPECT_EQ(DesktopValue(entry, "Icon"), "movarel");
    EXPECT_EQ(DesktopValue(entry, "Categories"), "AudioVideo;Video;Player;");
    std::string mimeTypes = DesktopValue(entry, "MimeType");
    ASSERT_NE(mimeTypes, "\x01");
    // The type the entry claims is the one the MIME package declares.
    std::string type = mimeTypes.substr(0, mimeTypes.find(';'));
    std::string package = ReadText(Installed("share/mime/packages/movarel.xml"));
    EXPECT_NE(package.find("<mime-type type=\"" + type + "\">"), std::string::npos) << package;
    EXPECT_NE(package.find("<glob pattern=\"*.qxf\"/>"), std::string::npos);

    if (!HaveCommand("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed";
    CommandRun validate = RunShell("desktop-file-validate '" + Installed("share/applications/movarel.desktop") + "'");
    EXPECT_EQ(validate.status, 0) << validate.out;
    EXPECT_EQ(validate.out, "");
}

TEST_F(InstallTest, MimeDatabaseMapsFilmFilesToTheFilmType) {
    if (!HaveCommand("update-mime-database"))
        GTEST_SKIP() << "update-mime-database is not installed";
    std::string mime = Installed("share/mime");
    CommandRun update = RunShell("update-mime-database '" + mime + "'");
    ASSERT_EQ(update.status, 0) << update.out;
    std::string globs = ReadText(mime + "/globs2");
    EXPECT_NE(globs.find(":application/x-movarel-film:*.qxf"), std::string::npos) << globs;

    // What a file manager asks: the type of a film, and the program for that
    // type, looked up in the installed data alone. Without a desktop in the
    // environment xdg-mime uses its generic route (File::MimeInfo's mimetype).
    if (!HaveCommand("xdg-mime") || !HaveCommand("mimetype") || !HaveCommand("update-desktop-database"))
        GTEST_SKIP() << "xdg-mime, mimetype or update-desktop-database is not installed";
    CommandRun desktops = RunShell("update-desktop-database '" + Installed("share/applications") + "'");
    ASSERT_EQ(desktops.status, 0) << desktops.out;
    TestDir home;
    movarel::writer::FilmSpec film;
    film.segments = {movarel::writer::SegmentSpec{}};
    movarel::writer::WriteFileBytes(home.path + "lesson.qxf", movarel::writer::BuildFilmFile(film));
    const std::string clean = "env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u "
                              "GNOME_DESKTOP_SESSION_ID -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS "
                              "HOME='" + home.path + "' XDG_DATA_DIRS=/usr/share ";
    const std::string installed = clean + "XDG_DATA_HOME='" + Installed("share") + "' ";
    CommandRun type = RunShell(installed + "xdg-mime query filetype '" + home.path + "lesson.qxf'");
    EXPECT_EQ(type.status, 0) << type.out;
    EXPECT_EQ(type.out, "application/x-movarel-film\n");
    CommandRun program = RunShell(installed + "xdg-mime query default application/x-movarel-film");
    EXPECT_EQ(program.status, 0) << program.out;
    EXPECT_EQ(program.out, "movarel.desktop\n");
    // The system's own database does not know the type: the answer above
    // came from the installed files.
    CommandRun system = RunShell(clean + "XDG_DATA_HOME='" + home.path + "' xdg-mime query filetype '" + home.path +
                                 "lesson.qxf'");
    EXPECT_NE(system.out, "application/x-movarel-film\n");
}

TEST_F(InstallTest, IconsAreA48PixelPngAndAnSvg) {
    movarel::writer::Bytes png = movarel::writer::ReadFileBytes(Installed("share/icons/hicolor/48x48/apps/movarel.png"));
    ASSERT_GE(png.size(), 24u);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    auto be32 = [&](size_t at) {
        return (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) | (uint32_t{png[at + 2]} << 8) | png[at + 3];
    };
    EXPECT_EQ(be32(16), 48u);
    EXPECT_EQ(be32(20), 48u);
    std::string svg = ReadText(Installed("share/icons/hicolor/scalable/apps/movarel.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("viewBox="), std::string::npos);
}

TEST_F(InstallTest, ManPagesNameTheirProgramAndItsOptions) {
    struct Page {
        std::string file, title;
        std::vector<std::string> mentions;
    };
    const std::vector<Page> pages = {
        {"movarel.1.gz", ".TH MOVAREL 1",
         {"/size", "/pos", "/segm", "/closeonfinish", "/help", "\\-\\-version", "F1", "F11", "Ctrl+O", "Alt+Enter"}},
        {"movarel-tool.1.gz", ".TH MOVAREL-TOOL 1", {"info", "frames", "bundle", "thumbnail", "from\\-start", "\\-\\-video", "\\-\\-crisp"}},
    };
    for (const Page& p : pages) {
        std::string text = Gunzip(Installed("share/man/man1/" + p.file));
        EXPECT_EQ(text.rfind(p.title, 0), 0u) << p.file;
        for (const std::string& m : p.mentions)
            EXPECT_NE(text.find(m), std::string::npos) << p.file << " does not mention " << m;
    }
}

}  // namespace
