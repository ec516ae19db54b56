// Reading films: every pack kind, refused and damaged segments, the trailer,
// and no file of a film left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "FilmWriter.h"
#include "MessageRecorder.h"
#include "TestPictures.h"
#include "film/FilmReader.h"
#include "film/Film.h"
#include "FilmLoad.h"
#include "platform/UserMessages.h"
#include "test_dirs.h"

using namespace movarel;
using namespace movarel::writer;
using movarel::test::MessageRecorder;
using movarel::test::Solid;

namespace {

struct FilmReaderTest : ::testing::Test {
    TestDir work;
    TestDir films;
    MessageRecorder recorder;
    movarel::test::FilmLoad load{work.path};

    void TearDown() override {
        load.Clear();
        EXPECT_TRUE(work.Files().empty()) << "files left in the work directory";
    }
    const Film& LoadedFilm() { return load.Loaded(); }
    // The files in the loaded film's work directory.
    std::vector<std::string> WorkFiles() {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(load.WorkPath(), ec))
            out.push_back(entry.path().filename().string());
        return out;
    }
    bool ReadFilm(Stream& f) { return load.Read(f); }
    bool LoadAppendedFilm(Stream& f, bool named = false) { return load.ReadAppended(f, named); }
    bool LoadFilm(const std::string& path) { return load.ReadPath(path); }

    std::string Write(const Bytes& bytes, const std::string& name = "film.qxf") {
        WriteFileBytes(films.path + name, bytes);
        return films.path + name;
    }
    bool ReadFromStart(const FilmSpec& film) {
        FileStream f(Write(BuildFilmFile(film)), kModeRead);
        return ReadFilm(f);
    }
};

SegmentSpec GoodSegment(Packing packing) {
    SegmentSpec s;
    s.width = 5;
    s.height = 3;
    s.bitsPerPixel = 24;
    s.fps = 15.0f;
    s.packing = packing;
    s.title = "Intro";
    s.frames = {Solid(5, 3, 0x102030), Solid(5, 3, 0x102031)};
    std::vector<uint8_t> andMask(4, 0);
    s.cursors = {ColourCursor(2, 2, andMask, {1, 2, 3, 4}), MonoCursor(2, 2, {1, 1, 1, 1}, {0, 1, 0, 1})};
    s.track = {{0, 1, 1}, {1, 2, 2}};
    s.extra = {9, 8, 7};
    s.sound = SilentMp3(0.1);
    return s;
}

}  // namespace

TEST_F(FilmReaderTest, EveryPackKindYieldsTheSameSegment) {
    for (Packing packing : {Packing::CabStored, Packing::CabMsZip, Packing::CabLzx, Packing::Lzma}) {
        SCOPED_TRACE(static_cast<int>(packing));
        load.Clear();
        FilmSpec film;
        film.segments = {GoodSegment(packing)};
        ASSERT_TRUE(ReadFromStart(film));
        ASSERT_EQ(LoadedFilm().Count(), 1);
        const Segment* s = LoadedFilm().Items(0);
        EXPECT_EQ(s->Width, 5);
        EXPECT_EQ(s->Height, 3);
        EXPECT_EQ(s->BitsPerPixel, 24);
        EXPECT_EQ(s->Fps, 15);
        EXPECT_EQ(s->FrameCount, 2);
        EXPECT_EQ(s->Title, "Intro");
        EXPECT_EQ(s->Cursors.Count(), 2);
        Bytes frames = EncodeFrameStream(film.segments[0].frames, 5, 3);
        EXPECT_EQ(s->FrameStream->Length(), static_cast<int32_t>(frames.size()));
        EXPECT_EQ(s->CursorTrack.size(), 12u);
        EXPECT_EQ(Bytes(s->CursorTrack.begin(), s->CursorTrack.end()),
                  EncodeCursorTrack(film.segments[0].track));
        EXPECT_EQ(s->ExtraSize, 3);  // only its size is kept
        EXPECT_EQ(ReadFileBytes(s->SoundFileName), film.segments[0].sound);
        // Only the record's own files remain: frame stream and sound (the
        // cursor track is read into memory).
        EXPECT_EQ(WorkFiles().size(), 2u);
        EXPECT_TRUE(recorder.Messages().empty());
    }
}

TEST(FpsFromRate, RoundsHalvesToEvenAndRefusesUnusableRates) {
    const std::pair<float, int> cases[] = {
        {29.97f, 30}, {12.5f, 12}, {13.5f, 14}, {10.0f, 10}, {0.4f, 0}, {300.0f, 44},
        {std::numeric_limits<float>::quiet_NaN(), 0}, {std::numeric_limits<float>::infinity(), 0},
        {-std::numeric_limits<float>::infinity(), 0}, {1e12f, 0}, {-1e12f, 0},
    };
    for (auto [rate, fps] : cases)
        EXPECT_EQ(FpsFromRate(rate), fps) << rate;
}

TEST_F(FilmReaderTest, OtherKindsAreSkippedAndNewerVersionsWarned) {
    FilmSpec film;
    film.segments = {GoodSegment(Packing::CabMsZip), GoodSegment(Packing::CabMsZip)};
    film.segments[0].kind = 2;
    film.segments[1].version = 2;
    ASSERT_TRUE(ReadFromStart(film));
    EXPECT_EQ(LoadedFilm().Count(), 0);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "Segment 2 need Movarel of other version to play\r");
    EXPECT_EQ(recorder.Messages()[0].caption, "Warning");
    EXPECT_EQ(recorder.Messages()[0].icon, MsgIcon::Warning);
}

TEST_F(FilmReaderTest, UnknownPackingAndNonMp3SoundLeaveTheSegmentEmpty) {
    FilmSpec film;
    for (uint32_t bits : {0x1000u, 0x3000u}) {
        SegmentSpec s = GoodSegment(Packing::Raw);
        s.packingBits = bits;
        film.segments.push_back(s);
    }
    for (uint32_t kind : {kSoundWav, kSoundMidi}) {
        SegmentSpec s = GoodSegment(Packing::CabStored);
        s.soundKind = kind;
        film.segments.push_back(s);
    }
    SegmentSpec emptyPack = GoodSegment(Packing::CabStored);
    emptyPack.pack = Bytes{};
    film.segments.push_back(emptyPack);
    ASSERT_TRUE(ReadFromStart(film));
    ASSERT_EQ(LoadedFilm().Count(), 5);
    for (int i : {0, 1, 4}) {
        EXPECT_EQ(LoadedFilm().Items(i)->FrameStream->Length(), 0);
        EXPECT_EQ(LoadedFilm().Items(i)->Cursors.Count(), 0);
        EXPECT_EQ(LoadedFilm().Items(i)->Title, "");
    }
    for (int i : {2, 3}) {
        EXPECT_GT(LoadedFilm().Items(i)->FrameStream->Length(), 0);
        EXPECT_TRUE(LoadedFilm().Items(i)->SoundFileName.empty());
    }
    EXPECT_TRUE(recorder.Messages().empty());
}

// A damaged segment is refused with a message of its own; the good segment
// before it stays usable and nothing of the damaged one is left.
TEST_F(FilmReaderTest, DamagedSegmentsAreRefused) {
    struct Case {
        const char* name;
        void (*spoil)(SegmentSpec&);
        const char* says;
    };
    const Case cases[] = {
        {"title field above 256", [](SegmentSpec& s) { s.titleField = 300; }, "title field of 300"},
        {"negative frame data", [](SegmentSpec& s) { s.frameDataSize = -1; }, "negative count or size"},
        {"negative cursor count", [](SegmentSpec& s) { s.cursorCount = -5; }, "negative count or size"},
        {"pack beyond film", [](SegmentSpec& s) { s.packSize = 1 << 30; }, "pack that reaches beyond"},
        {"pack offset negative", [](SegmentSpec& s) { s.packOffset = -100000; }, "pack that reaches beyond"},
        {"sound beyond film", [](SegmentSpec& s) { s.soundOffset = 1 << 30; }, "sound that reaches beyond"},
        {"data shorter than sizes", [](SegmentSpec& s) { s.frameDataSize = 1 << 20; }, "shorter than its sizes"},
        {"too many cursors", [](SegmentSpec& s) { s.cursorCount = 100000; }, "more cursor shapes"},
        {"header outside film", [](SegmentSpec& s) { s.entryOffset = 1 << 30; }, "header outside the film"},
        {"lzma garbage", [](SegmentSpec& s) { s.packing = Packing::Lzma; s.pack = Bytes(40, 0x5A); },
         "LZMA pack"},
        {"lzma bomb", [](SegmentSpec& s) { s.packing = Packing::Lzma; s.cursors.clear(); s.frames.assign(2000, Solid(5, 3, 7)); s.frameDataSize = 0; s.frameCount = 0; },
         "more than the segment's sizes allow"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load.Clear();
        recorder.Clear();
        FilmSpec film;
        film.segments = {GoodSegment(Packing::CabMsZip), GoodSegment(Packing::CabMsZip)};
        c.spoil(film.segments[1]);
        EXPECT_TRUE(ReadFromStart(film));
        ASSERT_EQ(LoadedFilm().Count(), 1);
        EXPECT_EQ(LoadedFilm().Items(0)->Title, "Intro");
        const std::vector<MessageRequest> shown = recorder.Messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, "Error");
        EXPECT_EQ(shown[0].text.rfind("The film is damaged: segment 2 ", 0), 0u) << shown[0].text;
        EXPECT_NE(shown[0].text.find(c.says), std::string::npos) << shown[0].text;
        EXPECT_EQ(WorkFiles().size(), 2u);  // the first segment's frame stream and sound
    }
}

TEST_F(FilmReaderTest, ShortFilmsAreDamagedNotGarbage) {
    FilmSpec film;
    film.segments = {GoodSegment(Packing::CabMsZip)};
    Bytes whole = BuildFilm(film);
    const std::pair<size_t, const char*> cuts[] = {
        {2, "its segment count is cut short"}, {7, "its directory is cut short"}, {30, "header outside the film"}};
    for (auto [cut, says] : cuts) {
        SCOPED_TRACE(cut);
        recorder.Clear();
        FileStream f(Write(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))), kModeRead);
        ReadFilm(f);
        EXPECT_EQ(LoadedFilm().Count(), 0);
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_NE(recorder.Messages()[0].text.find(says), std::string::npos) << recorder.Messages()[0].text;
    }
    // A huge count is a directory that cannot be there, not an allocation.
    Bytes huge;
    PutInt32(huge, 0x7FFFFFFF);
    FileStream f(Write(huge, "huge.qxf"), kModeRead);
    EXPECT_FALSE(ReadFilm(f));
    EXPECT_EQ(recorder.Messages().back().text, "The film is damaged: its directory is cut short.");
}

TEST_F(FilmReaderTest, TrailerDecidesWhatIsAppended) {
    FilmSpec layout;
    layout.segments = {GoodSegment(Packing::CabStored)};
    Bytes film = BuildFilm(layout);
    Bytes exe(1000, 0x7F);
    Bytes table = BuildLanguageTable({{"Error", "Fehler"}});
    {
        FileStream f(Write(BuildSelfPlaying(exe, table, film), "player"), kModeReadShared);
        EXPECT_TRUE(LoadAppendedFilm(f));
        EXPECT_EQ(LoadedFilm().Count(), 1);
    }
    load.Clear();
    for (int32_t wrongF : {0, -5, 1 << 30}) {
        FileStream f(Write(BuildSelfPlaying(exe, table, film, std::nullopt, wrongF), "bad"), kModeReadShared);
        EXPECT_FALSE(LoadAppendedFilm(f)) << wrongF;
    }
    EXPECT_EQ(LoadedFilm().Count(), 0);
    EXPECT_TRUE(recorder.Messages().empty());
    // A film file with a wrong trailer still loads from its start.
    Bytes wrongTrailer = film;
    PutInt32(wrongTrailer, 12345);
    std::string path = Write(wrongTrailer, "wrong.qxf");
    {
        FileStream f(path, kModeReadShared);
        EXPECT_FALSE(LoadAppendedFilm(f));
    }
    LoadFilm(path);
    EXPECT_EQ(LoadedFilm().Count(), 1);
}

TEST_F(FilmReaderTest, LoadFilmReportsAFileThatCannotBeOpenedAndKeepsTheFilm) {
    FilmSpec filmSpec;
    filmSpec.segments = {GoodSegment(Packing::CabMsZip)};
    const std::string path = Write(BuildFilmFile(filmSpec));
    LoadFilm(path);
    EXPECT_EQ(FilmWindowCaption(path, "/usr/bin/movarel"), "Movarel - [" + films.path + "film.qxf]");
    EXPECT_EQ(FilmWindowCaption("/usr/bin/MOVAREL", "/usr/bin/movarel"), "Movarel");
    LoadFilm(films.path + "missing.qxf");
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "Cannot open file " + films.path + "missing.qxf");
    EXPECT_EQ(recorder.Messages()[0].caption, "Error");
    EXPECT_EQ(LoadedFilm().Count(), 1);
}

// A file of other bytes, read as the open dialog reads it, or named on the
// command line and read through its trailer, is told to be no film; the
// player's own file without a film appended stays silent.
TEST_F(FilmReaderTest, AFileThatIsNoFilmIsToldSo) {
    Bytes noSegments;
    PutInt32(noSegments, 0);
    Bytes otherKindsOnly;  // a directory that names no segment
    PutInt32(otherKindsOnly, 2);
    for (int i = 0; i < 2; ++i) {
        PutInt32(otherKindsOnly, 16);
        otherKindsOnly.push_back(static_cast<uint8_t>(2 + i));
        otherKindsOnly.push_back(0);
    }
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    const struct {
        const char* name;
        Bytes bytes;
        bool fromStart;  // read from offset 0 also finds no film
    } cases[] = {
        {"empty.qxf", {}, true},
        {"random.qxf", Bytes(100, 0xFF), true},
        {"no-segments.qxf", noSegments, true},
        {"other-kinds.qxf", otherKindsOnly, true},
        {"picture.qxf", png, false},  // from its start a directory cut short: damage
    };
    auto expectToldOnce = [this](const std::string& path) {
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0].text, "Invalid file format: " + path);
        EXPECT_EQ(recorder.Messages()[0].caption, "Error");
        EXPECT_EQ(recorder.Messages()[0].icon, MsgIcon::Error);
        recorder.Clear();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.bytes, c.name);
        if (c.fromStart) {
            FileStream f(path, kModeRead);
            EXPECT_FALSE(ReadFilm(f));
            expectToldOnce(path);
        }
        {
            FileStream f(path, kModeReadShared);
            EXPECT_FALSE(LoadAppendedFilm(f, true));
            expectToldOnce(path);
        }
        {
            FileStream own(path, kModeReadShared);
            EXPECT_FALSE(LoadAppendedFilm(own));
            EXPECT_TRUE(recorder.Messages().empty());
        }
        EXPECT_EQ(LoadedFilm().Count(), 0);
    }
    // A folder opens but holds nothing to read.
    LoadFilm(films.path);
    expectToldOnce(films.path);
}
