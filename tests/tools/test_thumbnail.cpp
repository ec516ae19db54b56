// Thumbnails as a file manager makes them: the installed .thumbnailer's Exec
// line, with its fields filled in, run on films, self-playing films and
// broken ones, and the picture it leaves read back.
#include <gtest/gtest.h>

#if MOVAREL_HAS_THUMBNAIL

#include <QImage>

#include <sstream>
#include <string>
#include <vector>

#include "CabWriter.h"
#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

using namespace movarel::writer;

namespace {

constexpr int kWidth = 320, kHeight = 200;
constexpr int kCursorX = 100, kCursorY = 60;

// A desktop: a smooth wallpaper, none of it white, and a light window
// holding lines of dark marks, as text makes them.
Image Desktop() {
    Image image(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint32_t p = static_cast<uint32_t>((x * 200 / kWidth) << 16 | (y * 200 / kHeight) << 8 | 0x60);
            if (x >= 40 && x < 280 && y >= 30 && y < 170)
                p = (y / 4) % 2 == 0 && (x / 3 + y / 8) % 4 != 0 ? 0x202020 : 0xE0E0E0;
            image[static_cast<size_t>(y) * kWidth + x] = p;
        }
    return image;
}

// A recording that starts on eight black frames before the desktop shows,
// with a white 8 x 8 cursor standing at (100, 60) throughout.
SegmentSpec Lesson() {
    SegmentSpec seg;
    seg.width = kWidth;
    seg.height = kHeight;
    seg.packing = Packing::CabMsZip;
    seg.soundKind = kSoundWav;
    seg.title = "Lesson";
    seg.frames.assign(8, Image(static_cast<size_t>(kWidth) * kHeight, 0));
    seg.frames.insert(seg.frames.end(), 16, Desktop());
    seg.cursors = {ColourCursor(8, 8, std::vector<uint8_t>(64, 0), std::vector<uint32_t>(64, 0xFFFFFF), 0, 0, 32)};
    seg.track.assign(seg.frames.size(), CursorSample{0, kCursorX, kCursorY});
    return seg;
}

Bytes LessonFilm() {
    FilmSpec film;
    film.segments = {Lesson()};
    return BuildFilmFile(film);
}

// The installed thumbnailer entry's keys.
struct Thumbnailer {
    std::string tryExec, exec, mimeType;
};

// The .thumbnailer file as the build installs it, in a root of its own.
class ThumbnailerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = new TestDir();
        install = RunShell("DESTDIR=" + Quote(root->path) + " cmake --install '" MOVAREL_BUILD_DIR "' --prefix /usr");
        std::istringstream lines(ReadText(root->path + "usr/share/thumbnailers/movarel.thumbnailer"));
        for (std::string line; std::getline(lines, line);) {
            auto value = [&](const char* key) { return line.substr(std::string(key).size() + 1); };
            if (line.rfind("TryExec=", 0) == 0) entry.tryExec = value("TryExec");
            if (line.rfind("Exec=", 0) == 0) entry.exec = value("Exec");
            if (line.rfind("MimeType=", 0) == 0) entry.mimeType = value("MimeType");
        }
    }
    static void TearDownTestSuite() {
        delete root;
        root = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(install.status, 0) << install.out;
        ASSERT_FALSE(entry.exec.empty()) << "no Exec line in the installed thumbnailer";
    }

    static std::string ReadText(const std::string& path) {
        const Bytes b = ReadFileBytes(path);
        return std::string(b.begin(), b.end());
    }

    // The Exec line run as a file manager runs it: %i the file's path, %u
    // its URI, %o the picture to write, %s the size asked for, %% a percent
    // sign; the program found on PATH, here the installed bin first.
    CommandRun Thumbnail(const std::string& film, const std::string& out, int size) const {
        std::istringstream words(entry.exec);
        std::string command = "PATH=" + Quote(root->path + "usr/bin") + ":\"$PATH\" TMPDIR=" + Quote(tmp.path);
        for (std::string word; words >> word;) {
            std::string filled;
            for (size_t i = 0; i < word.size(); ++i) {
                if (word[i] != '%' || i + 1 == word.size()) {
                    filled += word[i];
                    continue;
                }
                const char field = word[++i];
                if (field == 'i') filled += film;
                else if (field == 'u') filled += "file://" + film;
                else if (field == 'o') filled += out;
                else if (field == 's') filled += std::to_string(size);
                else if (field == '%') filled += '%';
                else ADD_FAILURE() << "unknown field %" << field << " in " << entry.exec;
            }
            command += " " + Quote(filled);
        }
        return RunCommand(command + " 2>&1");
    }

    static TestDir* root;
    static CommandRun install;
    static Thumbnailer entry;
    TestDir tmp, work;
};

TestDir* ThumbnailerTest::root = nullptr;
CommandRun ThumbnailerTest::install;
Thumbnailer ThumbnailerTest::entry;

bool AllBlack(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) return false;
    return true;
}

TEST_F(ThumbnailerTest, TheEntryServesTheFilmTypeThroughTheInstalledTool) {
    EXPECT_EQ(entry.mimeType, "application/x-movarel-film;");
    EXPECT_EQ(entry.tryExec, "movarel-tool");
    EXPECT_EQ(RunShell("PATH=" + Quote(root->path + "usr/bin") + " command -v " + Quote(entry.tryExec)).status, 0);
}

// The picture is the desktop, not the black frames before it, with the
// cursor drawn; it fits the size asked for with the film's shape kept, and
// a film smaller than that keeps its own size. A self-playing film, found
// through its trailer, gives the same picture.
TEST_F(ThumbnailerTest, FilmsAndSelfPlayingFilmsGetAPictureOfTheirContent) {
    WriteFileBytes(work.path + "lesson.qxf", LessonFilm());
    const CommandRun bundle = RunCommand(Quote(ToolPath()) + " bundle " + Quote(work.path + "lesson.qxf") + " --out " +
                                         Quote(work.path + "lesson") + " --player " + Quote(ToolPath()) + " 2>&1");
    ASSERT_EQ(bundle.status, 0) << bundle.out;
    struct Case {
        std::string film;
        int size, width, height;
    };
    const Case cases[] = {
        {"lesson.qxf", 128, 128, 80},
        {"lesson.qxf", 256, 256, 160},
        {"lesson.qxf", 512, kWidth, kHeight},
        {"lesson", 128, 128, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.film + " at " + std::to_string(c.size));
        const std::string out = work.path + "thumb-" + std::to_string(c.size) + ".png";
        const CommandRun r = Thumbnail(work.path + c.film, out, c.size);
        ASSERT_EQ(r.status, 0) << r.out;
        QImage image;
        ASSERT_TRUE(image.load(QString::fromStdString(out), "PNG"));
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
        EXPECT_FALSE(AllBlack(image));
        // The wallpaper's colour in the corner, scaled or not.
        const QRgb corner = image.pixel(image.width() * 19 / 20, image.height() * 19 / 20);
        EXPECT_GT(qRed(corner), 100) << std::hex << corner;
        EXPECT_GT(qGreen(corner), 100) << std::hex << corner;
        if (c.width == kWidth) {
            EXPECT_EQ(image.pixel(kCursorX + 3, kCursorY + 3) & 0xFFFFFF, 0xFFFFFFu) << "no cursor";
            EXPECT_EQ(image.pixel(kCursorX + 20, kCursorY + 20) & 0xFFFFFF,
                      Desktop()[static_cast<size_t>(kCursorY + 20) * kWidth + kCursorX + 20]);
        }
        EXPECT_EQ(tmp.Files(), std::vector<std::string>{}) << "left in TMPDIR";
        std::remove(out.c_str());
    }
}

// Nothing to show: status 1, a message, and no picture, not even half of one
// under a scratch name.
TEST_F(ThumbnailerTest, NoFilmOrADamagedFilmLeavesNoPicture) {
    const Bytes good = LessonFilm();
    const SegmentSpec seg = Lesson();
    const Bytes cab = WriteCabinet({CabFile{seg.cabFileName, BuildDataFile(seg)}}, CabCompression::MsZip);
    FilmSpec damaged;
    damaged.segments = {seg};
    damaged.segments[0].pack = Bytes(cab.begin(), cab.begin() + static_cast<long>(cab.size() / 2));
    const std::pair<const char*, Bytes> films[] = {
        {"a text file", Bytes{'n', 'o', ' ', 'f', 'i', 'l', 'm', '\n'}},
        {"an empty file", Bytes{}},
        {"a film cut short", Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"a film whose cabinet is cut", BuildFilmFile(damaged)},
    };
    for (const auto& [name, bytes] : films) {
        SCOPED_TRACE(name);
        TestDir dir;
        WriteFileBytes(dir.path + "film.qxf", bytes);
        const CommandRun r = Thumbnail(dir.path + "film.qxf", dir.path + "thumb.png", 128);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_FALSE(r.out.empty());
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"film.qxf"});
        EXPECT_EQ(tmp.Files(), std::vector<std::string>{}) << "left in TMPDIR";
    }
    const CommandRun missing = Thumbnail(work.path + "missing.qxf", work.path + "thumb.png", 128);
    EXPECT_EQ(missing.status, 1) << missing.out;
    EXPECT_EQ(work.Files(), std::vector<std::string>{});
}

TEST(Thumbnail, AWrongCommandLineIsStatusTwo) {
    TestDir dir;
    WriteFileBytes(dir.path + "lesson.qxf", LessonFilm());
    const std::string film = Quote(dir.path + "lesson.qxf"), out = Quote(dir.path + "t.png");
    for (const std::string& args : {std::string(""), film, film + " " + out + " 0", film + " " + out + " big",
                                    film + " " + out + " 64 more", film + " " + out + " 99999"}) {
        const CommandRun r = RunCommand(Quote(ToolPath()) + " thumbnail " + args + " 2>&1");
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
    }
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"lesson.qxf"});
    // Without a size the picture is at most 256 pixels wide.
    ASSERT_EQ(RunCommand(Quote(ToolPath()) + " thumbnail " + film + " " + out).status, 0);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(dir.path + "t.png"), "PNG"));
    EXPECT_EQ(image.size(), QSize(256, 160));
}

}  // namespace

#endif  // MOVAREL_HAS_THUMBNAIL
