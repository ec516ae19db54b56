// Hostile films and a hostile machine: damaged and malicious films, links
// planted where the player writes, and a disk that fills up while a film is
// unpacked. Each must end in a clear message, write nothing outside the work
// directory and leave nothing behind once the list is cleared.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "../fuzz/HostileFilms.h"
#include "CabWriter.h"
#include "FilmWriter.h"
#include "MessageRecorder.h"
#include "film/FilmReader.h"
#include "film/Film.h"
#include "FilmLoad.h"
#include "platform/FileOps.h"
#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;
using namespace movarel::writer;
using movarel::test::MessageRecorder;
namespace fs = std::filesystem;

namespace {

// Everything below root (files, folders, links), as relative paths.
std::vector<std::string> Everything(const std::string& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        out.push_back(fs::relative(it->path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// The scratch folder stands in for the system temporary folder: the work
// directory two levels down, so a name with "../.." from inside a cabinet
// would still land here, where the test sees it.
struct HostileFilmTest : ::testing::Test {
    TestDir scratch;
    // Each read is given the folder prepared for it, work.
    std::string work;
    movarel::test::FilmLoad load{scratch.path + "tmp/user/"};
    std::string films;
    MessageRecorder recorder;

    void SetUp() override {
        fs::create_directories(scratch.path + "tmp/user");
        work = load.Prepare();
        ASSERT_FALSE(work.empty());
        films = scratch.path + "films/";
        fs::create_directories(films);
    }
    void TearDown() override {
        load.Clear();
        for (const std::string& name : Everything(scratch.path + "tmp/user/"))
            EXPECT_EQ(name.find('/'), std::string::npos) << "left in the temporary folder: " << name;
    }
    const Film& LoadedFilm() { return load.Loaded(); }
    // The folder of the film read last, and the one the next read gets.
    bool ReadFilm(Stream& f) { return Next(load.Read(f)); }
    bool LoadAppendedFilm(Stream& f, bool named = false) { return Next(load.ReadAppended(f, named)); }
    bool LoadFilm(const std::string& path) { return Next(load.ReadPath(path)); }
    // Loads the film with ops in force; the text of the error that ended the
    // load, or empty when it ran through.
    std::string LoadWith(const FileOps& ops, const std::string& path);
    bool Next(bool read) {
        work = load.WorkPath().empty() ? load.Prepare() : load.WorkPath();
        return read;
    }
    std::string Write(const Bytes& bytes) {
        WriteFileBytes(films + "film.qxf", bytes);
        return films + "film.qxf";
    }
    // Everything outside the work directory that the test did not make.
    std::vector<std::string> Strays() {
        std::vector<std::string> out;
        for (const std::string& name : Everything(scratch.path)) {
            if (name == "films" || name == "films/film.qxf" || name == "tmp" || name == "tmp/user" ||
                name.rfind("outside", 0) == 0 || name.rfind("tmp/user/qxP_", 0) == 0)
                continue;
            out.push_back(name);
        }
        return out;
    }
};

// --- broken films ----------------------------------------------------------

TEST_F(HostileFilmTest, EveryTestFilmEndsCleanlyThroughTheTrailerAndFromTheStart) {
    for (const hostile::NamedFilm& film : hostile::FilmSeeds()) {
        SCOPED_TRACE(film.name);
        recorder.Clear();
        const std::string path = Write(film.bytes);
        FileStream stream(path, kModeRead);
        bool appended = LoadAppendedFilm(stream);
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{}) << "after the trailer load";

        const size_t afterTrailer = recorder.Messages().size();
        stream.SetPosition(0);
        bool read = ReadFilm(stream);
        if (film.damaged) {
            // Told about it either way: at least one message, none of them empty.
            EXPECT_GT(recorder.Messages().size(), afterTrailer);
            for (const MessageRequest& m : recorder.Messages())
                EXPECT_FALSE(m.text.empty());
        } else {
            EXPECT_TRUE(appended);
            EXPECT_TRUE(read);
            EXPECT_GT(LoadedFilm().Count(), 0);
            EXPECT_EQ(recorder.Messages().size(), 0u) << (recorder.Messages().empty() ? "" : recorder.Messages()[0].text);
        }
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{}) << "after the load from the start";
        EXPECT_EQ(Strays(), std::vector<std::string>{}) << "written outside the work directory";
    }
}

// Counts what the film code writes, without ever running out.
size_t g_budget = 0;
ssize_t WriteUntilFull(int fd, const void* buffer, size_t count) {
    if (g_budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    size_t n = std::min(count, g_budget);
    g_budget -= n;
    return ::write(fd, buffer, n);
}

struct FileOpsGuard {
    FileOps previous;
    explicit FileOpsGuard(const FileOps& ops) : previous(SetFileOps(ops)) {}
    ~FileOpsGuard() { SetFileOps(previous); }
};

// Loads the film with ops in force; the text of the error that ended the
// load, or empty when it ran through.
std::string HostileFilmTest::LoadWith(const FileOps& ops, const std::string& path) {
    FileOpsGuard guard(ops);
    try {
        LoadFilm(path);
    } catch (const Error& e) {
        Next(false);
        return e.what();
    }
    return std::string();
}

TEST_F(HostileFilmTest, PackThatUnpacksBeyondItsSizesIsRefusedBeforeItFillsTheDisk) {
    // 4 MiB of zeros behind a header that promises a 16-byte extra block:
    // the segment is refused with a message, the load writes little beyond
    // the pack itself, the good segment in front stays and nothing is left.
    for (Packing packing : {Packing::Lzma, Packing::CabMsZip, Packing::CabLzx}) {
        SCOPED_TRACE(static_cast<int>(packing));
        recorder.Clear();
        FilmSpec film;
        film.segments = {hostile::SmallSegment(Packing::CabStored), hostile::SmallSegment(packing)};
        film.segments[1].extra = Bytes(4 << 20, 0);
        film.segments[1].extraSize = 16;
        const Bytes bytes = BuildFilmFile(film);
        const size_t packSize = PackDataFile(BuildDataFile(film.segments[1]), packing,
                                             film.segments[1].cabFileName).size();
        FileStream stream(Write(bytes), kModeRead);
        FileOps counting = PosixFileOps();
        counting.write = WriteUntilFull;
        g_budget = SIZE_MAX;
        {
            FileOpsGuard guard(counting);
            EXPECT_TRUE(ReadFilm(stream));
        }
        EXPECT_LT(SIZE_MAX - g_budget, packSize + (1u << 20)) << "the bomb was unpacked";
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0].text.rfind("The film is damaged: segment 2 has ", 0), 0u) << recorder.Messages()[0].text;
        EXPECT_NE(recorder.Messages()[0].text.find("more than the segment's sizes allow"), std::string::npos) << recorder.Messages()[0].text;
        ASSERT_EQ(LoadedFilm().Count(), 1);
        EXPECT_EQ(LoadedFilm().Items(0)->Title, "Take");
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{});
    }
}

// The fuzzer's film whose cabinet lists one file and unpacks another: the
// listing seeks to the file-table offset of the header, the decoder reads on
// behind the folders. Whatever a cabinet unpacks is gone when its segment
// has been read, and the segment's data is only ever the file it listed.
TEST_F(HostileFilmTest, CabinetsThatUnpackOtherFilesThanTheyListLeaveNothing) {
    const SegmentSpec good = hostile::SmallSegment(Packing::CabMsZip);
    const Bytes dataFile = BuildDataFile(good);
    const Bytes cabinet = WriteCabinet({CabFile{good.cabFileName, dataFile}}, CabCompression::MsZip);

    Bytes decoy = cabinet;  // a second file table at the end names another file
    PutInt32(decoy, static_cast<int32_t>(dataFile.size()));
    PutInt32(decoy, 0);
    for (uint16_t field : {uint16_t{0}, uint16_t{0x3B6B}, uint16_t{0xB8E4}, uint16_t{0x20}})
        PutUInt16(decoy, field);
    for (char c : std::string("decoy.dat"))
        decoy.push_back(static_cast<uint8_t>(c));
    decoy.push_back(0);
    decoy = MoveFileTableOffset(decoy, static_cast<int32_t>(cabinet.size()) - 44);
    for (int i = 0; i < 4; ++i)  // the cabinet size takes in the decoy
        decoy[8 + i] = static_cast<uint8_t>(decoy.size() >> (8 * i));

    const struct {
        const char* name;
        Bytes pack;
        bool plantNext;  // a cabinet named "next.cab" waits in the work directory
        bool loadsWhole;
    } cases[] = {
        {"file-table offset four bytes early (the fuzz finding)", MoveFileTableOffset(cabinet, -4), false, false},
        {"file-table offset at a decoy table", decoy, false, false},
        {"a set that goes on in a cabinet of the work directory", AnnounceNextCabinet(cabinet, "next.cab"), true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.Clear();
        const std::string next = work + "next.cab";
        if (c.plantNext) {
            WriteFileBytes(next, WriteCabinet({CabFile{"other.dat", Bytes(300, 7)}}, CabCompression::Stored));
            load.planted = {"next.cab"};
        }
        FilmSpec film;
        film.segments = {good};
        film.segments[0].pack = c.pack;
        FileStream stream(Write(BuildFilmFile(film)), kModeRead);
        EXPECT_TRUE(ReadFilm(stream));
        EXPECT_TRUE(recorder.Messages().empty()) << recorder.Messages()[0].text;
        ASSERT_EQ(LoadedFilm().Count(), 1);
        const Segment* seg = LoadedFilm().Items(0);
        EXPECT_EQ(seg->Title, c.loadsWhole ? "Take" : "");
        EXPECT_EQ(seg->FrameStream->Length() > 0, c.loadsWhole);
        // Right after the load only the segment's own files are there.
        std::vector<std::string> expected = {fs::path(seg->FrameFileName).filename().string(),
                                             fs::path(seg->SoundFileName).filename().string()};
        if (c.plantNext)
            expected.push_back("next.cab");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Everything(work), expected);
        load.Clear();
        load.planted.clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{});
    }
}

// --- links planted in the work directory -------------------------------------

// The local-time stamps MakeTempFileName will use over the next milliseconds.
std::vector<std::string> ComingStamps(int milliseconds) {
    std::vector<std::string> out;
    struct timeval now;
    ::gettimeofday(&now, nullptr);
    int64_t start = static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_usec / 1000;
    for (int64_t ms = start; ms < start + milliseconds; ++ms) {
        time_t seconds = static_cast<time_t>(ms / 1000);
        struct tm local;
        ::localtime_r(&seconds, &local);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d%03d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms % 1000));
        out.push_back(stamp);
    }
    return out;
}

TEST_F(HostileFilmTest, PlantedLinksAreNeverFollowed) {
    const std::string outside = scratch.path + "outside/";
    fs::create_directories(outside);
    WriteFileBytes(outside + "precious", Bytes{'k', 'e', 'e', 'p'});
    FilmSpec film;
    film.segments = {hostile::SmallSegment(Packing::CabMsZip), hostile::SmallSegment(Packing::Lzma)};
    const std::string path = Write(BuildFilmFile(film));
    const std::string cabName = film.segments[0].cabFileName;

    struct Case {
        const char* name;
        bool dangling;       // the link points at a name outside that does not exist yet
        bool likeTempFiles;  // links named as the next temporary files, else as the cabinet's file
    };
    for (const Case& c : {Case{"dangling links named as temporary files", true, true},
                          Case{"links to a file, named as temporary files", false, true},
                          Case{"dangling link named as the cabinet's file", true, false},
                          Case{"link to a file, named as the cabinet's file", false, false}}) {
        SCOPED_TRACE(c.name);
        recorder.Clear();
        std::vector<std::string> links;
        auto plant = [&](const std::string& name) {
            const std::string target = c.dangling ? outside + name : outside + "precious";
            ASSERT_EQ(::symlink(target.c_str(), (work + name).c_str()), 0) << name;
            links.push_back(work + name);
            load.planted.push_back(name);
        };
        if (c.likeTempFiles) {
            for (const std::string& stamp : ComingStamps(600))
                for (const char* ext : {"~qxflm", "cab", "~7z", "mp3"})
                    plant(std::string("qxS_") + stamp + "." + ext);
        } else {
            plant(cabName);
        }
        try {
            FileStream stream(path, kModeRead);
            bool read = ReadFilm(stream);
            // A load that passes over a planted name reads every segment or says why not.
            if (LoadedFilm().Count() < 2) {
                EXPECT_TRUE(!read || !recorder.Messages().empty());
            }
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()), "");
        }
        // The film's folder goes with the film, links and all (as links):
        // up to then every planted link is still there.
        for (const std::string& link : links) {
            struct stat st;
            EXPECT_EQ(::lstat(link.c_str(), &st), 0) << "a planted link was removed: " << link;
        }
        load.Clear();
        load.planted.clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(outside), std::vector<std::string>{"precious"});
        EXPECT_EQ(ReadFileBytes(outside + "precious"), (Bytes{'k', 'e', 'e', 'p'}));
        EXPECT_EQ(Strays(), std::vector<std::string>{});
    }
    // With the links gone the same film loads whole.
    recorder.Clear();
    FileStream stream(path, kModeRead);
    EXPECT_TRUE(ReadFilm(stream));
    EXPECT_EQ(LoadedFilm().Count(), 2);
    EXPECT_TRUE(recorder.Messages().empty());
}

// --- a disk that fills up ----------------------------------------------------------

TEST_F(HostileFilmTest, FullDiskWhileUnpackingOrSplittingIsReportedAndLeavesNothing) {
    FilmSpec film;
    film.segments = {hostile::SmallSegment(Packing::CabMsZip), hostile::SmallSegment(Packing::Lzma),
                     hostile::SmallSegment(Packing::CabStored)};
    const std::string path = Write(BuildFilmFile(film));

    // How much a whole load writes, then every budget short of it.
    FileOps counting = PosixFileOps();
    counting.write = WriteUntilFull;
    g_budget = SIZE_MAX;
    {
        FileOpsGuard guard(counting);
        LoadFilm(path);
    }
    const size_t whole = SIZE_MAX - g_budget;
    ASSERT_GT(whole, 0u);
    ASSERT_EQ(LoadedFilm().Count(), 3);
    load.Clear();

    std::vector<size_t> budgets;
    for (size_t b = 0; b < whole; b += std::max<size_t>(1, whole / 97))
        budgets.push_back(b);
    budgets.push_back(whole - 1);
    for (size_t budget : budgets) {
        SCOPED_TRACE("disk full after " + std::to_string(budget) + " of " + std::to_string(whole) + " bytes");
        recorder.Clear();
        g_budget = budget;
        const std::string error = LoadWith(counting, path);
        // A load that stops short says so, naming the file it could not write.
        if (LoadedFilm().Count() < 3 || !error.empty()) {
            std::string said = error;
            for (const MessageRequest& m : recorder.Messages())
                said += m.text;
            EXPECT_NE(said.find(work), std::string::npos) << "no file named in: " << said;
        }
        // What stayed in the list is whole: its frame files are complete.
        for (int32_t i = 0; i < LoadedFilm().Count(); ++i) {
            const Segment* seg = LoadedFilm().Items(i);
            EXPECT_GT(seg->FrameStream->Length(), 0) << "segment " << i + 1 << " kept without its frames";
        }
        load.Clear();
        work = load.Prepare();
        ASSERT_EQ(Everything(work), std::vector<std::string>{}) << "partial files left";
    }
    // The player is still usable: the next load is whole.
    recorder.Clear();
    LoadFilm(path);
    EXPECT_EQ(LoadedFilm().Count(), 3);
    EXPECT_TRUE(recorder.Messages().empty());
}

// A cabinet that cannot be read or decoded is damage, told to the user, not
// an empty recording; a pack that is no cabinet at all still leaves its
// segment empty and silent.
TEST_F(HostileFilmTest, DamagedCabinetsAreReportedAndLeaveNothing) {
    const SegmentSpec bad = hostile::SmallSegment(Packing::CabMsZip);
    const Bytes pack = PackDataFile(BuildDataFile(bad), Packing::CabMsZip, bad.cabFileName);
    Bytes brokenBlock = pack;
    const auto ck = std::search(brokenBlock.begin() + 36, brokenBlock.end(), std::begin("CK"), std::begin("CK") + 2);
    ASSERT_NE(ck, brokenBlock.end());
    *ck = 'X';
    struct Case {
        const char* name;
        Bytes pack;
        bool damaged;
    };
    const Case cases[] = {
        {"header cut short", Bytes(pack.begin(), pack.begin() + 20), true},
        {"data cut short", Bytes(pack.begin(), pack.end() - 10), true},
        {"block signature broken", brokenBlock, true},
        {"not a cabinet", Bytes(300, 0x55), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.Clear();
        FilmSpec film;
        film.segments = {hostile::SmallSegment(Packing::CabStored), bad};
        film.segments[1].pack = c.pack;
        LoadFilm(Write(BuildFilmFile(film)));
        if (c.damaged) {
            ASSERT_EQ(recorder.Messages().size(), 1u);
            EXPECT_EQ(recorder.Messages()[0].text, "The film is damaged: segment 2 has a cabinet that is damaged or cut short.\r");
            EXPECT_EQ(LoadedFilm().Count(), 1);
        } else {
            EXPECT_TRUE(recorder.Messages().empty());
            ASSERT_EQ(LoadedFilm().Count(), 2);
            EXPECT_EQ(LoadedFilm().Items(1)->FrameStream->Length(), 0);
        }
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{});
    }
}

// Files the decoders write into (a cabinet's unpack folder, an LZMA pack's
// output) fail as on a full disk; everything else is written.
std::vector<int> g_unpackedFds;
bool IsUnpackedFile(const std::string& path) {
    return path.find(".~cab/") != std::string::npos ||
           (path.size() > 4 && path.compare(path.size() - 4, 4, ".~7z") == 0);
}
int OpenNotingUnpacked(const char* path, int flags, mode_t mode) {
    int fd = ::open(path, flags, mode);
    if (fd >= 0 && IsUnpackedFile(path))
        g_unpackedFds.push_back(fd);
    return fd;
}
ssize_t WriteFailingUnpacked(int fd, const void* buffer, size_t count) {
    if (std::find(g_unpackedFds.begin(), g_unpackedFds.end(), fd) != g_unpackedFds.end()) {
        errno = ENOSPC;
        return -1;
    }
    return ::write(fd, buffer, count);
}
int CloseNotingUnpacked(int fd) {
    g_unpackedFds.erase(std::remove(g_unpackedFds.begin(), g_unpackedFds.end(), fd), g_unpackedFds.end());
    return ::close(fd);
}

TEST_F(HostileFilmTest, FailedWriteOfAnUnpackedFileNamesThatFile) {
    // A full disk is no damage of the film: the load ends naming the file,
    // whichever decoder was writing it.
    for (Packing packing : {Packing::CabMsZip, Packing::CabLzx, Packing::Lzma}) {
        SCOPED_TRACE(static_cast<int>(packing));
        recorder.Clear();
        FilmSpec film;
        film.segments = {hostile::SmallSegment(packing)};
        const std::string path = Write(BuildFilmFile(film));
        FileOps failing = PosixFileOps();
        failing.open = OpenNotingUnpacked;
        failing.write = WriteFailingUnpacked;
        failing.close = CloseNotingUnpacked;
        const std::string error = LoadWith(failing, path);
        g_unpackedFds.clear();
        const std::string prefix = "Cannot write file " + work;
        EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
        EXPECT_TRUE(IsUnpackedFile(error.substr(prefix.size()))) << error;
        EXPECT_TRUE(recorder.Messages().empty()) << recorder.Messages()[0].text;
        EXPECT_EQ(LoadedFilm().Count(), 0);
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{});
    }
}

// A disk that reports itself nearly full: the first few queries see room,
// then only a few bytes are left.
int g_roomyQueries = 0;
int64_t FreeBytesRunningOut(const char*) { return g_roomyQueries-- > 0 ? (int64_t{1} << 40) : 8; }
int64_t FreeBytesUnknown(const char*) { return -1; }

TEST_F(HostileFilmTest, CabinetLargerThanTheFreeSpaceIsNotUnpacked) {
    FilmSpec film;
    film.segments = {hostile::SmallSegment(Packing::CabStored), hostile::SmallSegment(Packing::CabMsZip),
                     hostile::SmallSegment(Packing::CabLzx)};
    const std::string path = Write(BuildFilmFile(film));
    FileOps nearlyFull = PosixFileOps();
    nearlyFull.freeBytes = FreeBytesRunningOut;

    // Each cabinet holds one data file, so the n-th query is segment n's.
    for (int roomy = 0; roomy < 3; ++roomy) {
        SCOPED_TRACE("room for " + std::to_string(roomy) + " segments");
        g_roomyQueries = roomy;
        const std::string error = LoadWith(nearlyFull, path);
        EXPECT_EQ(error, "There is not enough free space to unpack segment " + std::to_string(roomy + 1) + " into " + work);
        EXPECT_EQ(LoadedFilm().Count(), roomy) << "the segments before the full disk stay";
        load.Clear();
        work = load.Prepare();
        EXPECT_EQ(Everything(work), std::vector<std::string>{});
    }

    // The refusal comes before decoding: nothing of the data file is written.
    g_roomyQueries = 0;
    g_budget = SIZE_MAX;
    {
        FileOps counted = nearlyFull;
        counted.write = WriteUntilFull;
        FileOpsGuard guard(counted);
        EXPECT_THROW(LoadFilm(path), Error);
    }
    const size_t packSize = PackDataFile(BuildDataFile(film.segments[0]), Packing::CabStored,
                                         film.segments[0].cabFileName).size();
    EXPECT_LE(SIZE_MAX - g_budget, packSize) << "only the pack was copied out";
    load.Clear();

    // A disk whose free space cannot be told is not taken for a full one.
    nearlyFull.freeBytes = FreeBytesUnknown;
    recorder.Clear();
    {
        FileOpsGuard guard(nearlyFull);
        LoadFilm(path);
    }
    EXPECT_EQ(LoadedFilm().Count(), 3);
    EXPECT_TRUE(recorder.Messages().empty());
}

}  // namespace
