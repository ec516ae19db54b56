// The cabinet reader and the cabinet layer beneath it, fed by the test
// cabinet writer: round trips, stored metadata, hostile names, damaged
// cabinets and a disk that fills up.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "CabWriter.h"
#include "film/CabinetPack.h"
#include "film/Streams.h"
#include "platform/Cabinet.h"
#include "platform/FileOps.h"
#include "test_dirs.h"

using namespace movarel;
using movarel::writer::AnnounceNextCabinet;
using movarel::writer::CabCompression;
using movarel::writer::CabFile;
using movarel::writer::WriteCabinet;

namespace {

const CabCompression kAllCompressions[] = {CabCompression::Stored, CabCompression::MsZip, CabCompression::Lzx};

const char* CompressionName(CabCompression c) {
    switch (c) {
        case CabCompression::Stored: return "Stored";
        case CabCompression::MsZip: return "MsZip";
        case CabCompression::Lzx: return "Lzx";
    }
    return "?";
}

// Partly repetitive, partly noisy, so each compressor has work to do.
std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> data(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = (i / 512) % 2 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>(i % 61);
    }
    return data;
}

CabFile File(const std::string& name, std::vector<uint8_t> data) {
    CabFile f;
    f.name = name;
    f.data = std::move(data);
    return f;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::optional<std::vector<uint8_t>> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Every regular file below root, as relative paths.
std::vector<std::string> AllFiles(const std::string& root) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(root))
        return names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file())
            names.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

// Where the folder's first data block ends (single-folder cabinets).
size_t FirstBlockEnd(const std::vector<uint8_t>& cab) {
    const size_t start = cab[36] | (cab[37] << 8) | (cab[38] << 16) | (static_cast<size_t>(cab[39]) << 24);
    return start + 8 + (cab[start + 4] | (cab[start + 5] << 8));
}

struct Listed {
    std::string name;
    int32_t size;
    uint16_t attributes, time, date, folder;
};

std::vector<Listed> List(CabinetReader& reader, const std::string& path, bool* isCabinet = nullptr) {
    std::vector<Listed> out;
    bool result = reader.ListFiles(path, [&](CabinetReader&, const std::string& name, int32_t size, bool&,
                                             uint16_t attributes, uint16_t time, uint16_t date, uint16_t folder) {
        out.push_back({name, size, attributes, time, date, folder});
    });
    if (isCabinet)
        *isCabinet = result;
    return out;
}

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

// A disk that takes a fixed number of bytes and then is full.
class ScopedFullDisk {
public:
    explicit ScopedFullDisk(size_t budget) {
        Budget() = budget;
        FileOps ops = PosixFileOps();
        ops.write = [](int fd, const void* buffer, size_t count) -> ssize_t {
            if (Budget() == 0) {
                errno = ENOSPC;
                return -1;
            }
            size_t n = std::min(count, Budget());
            Budget() -= n;
            return ::write(fd, buffer, n);
        };
        previous_ = SetFileOps(ops);
    }
    ~ScopedFullDisk() { SetFileOps(previous_); }

private:
    static size_t& Budget() {
        static size_t budget = 0;
        return budget;
    }
    FileOps previous_;
};

class CabinetTest : public ::testing::Test {
protected:
    TestDir dir;
    std::string Cabinet(const std::vector<CabFile>& files, CabCompression c, const std::string& name = "pack.cab") {
        std::string path = dir.path + name;
        WriteBytes(path, WriteCabinet(files, c));
        return path;
    }
    std::string Out() const { return dir.path + "out/"; }
};

}  // namespace

// --- round trips -------------------------------------------------------------

class CabinetRoundTrip : public CabinetTest, public ::testing::WithParamInterface<CabCompression> {};

INSTANTIATE_TEST_SUITE_P(AllKinds, CabinetRoundTrip, ::testing::ValuesIn(kAllCompressions),
                         [](const auto& info) { return std::string(CompressionName(info.param)); });

const size_t kSizes[] = {0, 1, 32767, 32768, 32769, 200003};

TEST_P(CabinetRoundTrip, EachSizeAloneIsListedAndExtractedExactly) {
    for (size_t size : kSizes) {
        SCOPED_TRACE(size);
        TestDir scratch;
        const std::vector<uint8_t> data = Pattern(size, static_cast<uint32_t>(size));
        const std::string cab = scratch.path + "one.cab";
        WriteBytes(cab, WriteCabinet({File("segment.dat", data)}, GetParam()));

        CabinetReader reader;
        bool isCabinet = false;
        std::vector<Listed> listed = List(reader, cab, &isCabinet);
        ASSERT_TRUE(isCabinet);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].name, "segment.dat");
        EXPECT_EQ(listed[0].size, static_cast<int32_t>(size));

        reader.Extract(cab, scratch.path + "out", 0);
        EXPECT_EQ(ReadBytes(scratch.path + "out/segment.dat"), data);
    }
}

TEST_P(CabinetRoundTrip, ManyFilesShareOneFolder) {
    // Files start and end inside data blocks as well as on their edges.
    std::vector<CabFile> files;
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        CabFile f = File("file" + std::to_string(i), Pattern(kSizes[i], static_cast<uint32_t>(i) + 7));
        f.date = static_cast<uint16_t>(0x3B6B + i);
        f.time = static_cast<uint16_t>(0x6000 + i);
        f.attributes = static_cast<uint16_t>(i % 2 ? 0x20 : 0x00);
        files.push_back(std::move(f));
    }
    const std::string cab = Cabinet(files, GetParam());

    CabinetReader reader;
    std::vector<Listed> listed = List(reader, cab);
    ASSERT_EQ(listed.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(listed[i].name, files[i].name);
        EXPECT_EQ(listed[i].size, static_cast<int32_t>(files[i].data.size()));
        EXPECT_EQ(listed[i].date, files[i].date);
        EXPECT_EQ(listed[i].time, files[i].time);
        EXPECT_EQ(listed[i].attributes, files[i].attributes);
        EXPECT_EQ(listed[i].folder, 0);
    }

    reader.Extract(cab, Out(), 0);
    for (const CabFile& f : files)
        EXPECT_EQ(ReadBytes(Out() + f.name), f.data) << f.name;

    // The layer's own listing agrees with the reader's.
    std::vector<cab::CabEntry> entries;
    ASSERT_TRUE(cab::ListCabinet(cab, entries));
    ASSERT_EQ(entries.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(entries[i].name, files[i].name);
        EXPECT_EQ(entries[i].size, files[i].data.size());
        EXPECT_EQ(entries[i].date, files[i].date);
        EXPECT_EQ(entries[i].time, files[i].time);
    }
}

TEST_P(CabinetRoundTrip, WriterIsDeterministic) {
    const std::vector<CabFile> files = {File("a", Pattern(70000, 1)), File("b", Pattern(5, 2))};
    EXPECT_EQ(WriteCabinet(files, GetParam()), WriteCabinet(files, GetParam()));
}

TEST_P(CabinetRoundTrip, IndependentDecoderAcceptsTheCabinet) {
    if (std::system("command -v cabextract >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "cabextract is not installed";
    std::vector<CabFile> files;
    for (size_t i = 0; i < std::size(kSizes); ++i)
        files.push_back(File("f" + std::to_string(i), Pattern(kSizes[i], static_cast<uint32_t>(i))));
    files.push_back(File("sub\\inner.bin", Pattern(1000, 99)));
    const std::string cab = Cabinet(files, GetParam());
    const std::string command = "cabextract -q -t '" + cab + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);

    // The check above must be able to fail: a damaged block is refused.
    std::vector<uint8_t> bytes = *ReadBytes(cab);
    bytes[bytes.size() - 100] ^= 0x5A;
    WriteBytes(cab, bytes);
    EXPECT_NE(std::system(command.c_str()), 0);
}

// --- stored metadata -----------------------------------------------------------

TEST_F(CabinetTest, StoredLocalTimeBecomesModificationTime) {
    // 2009-11-11 23:07:08, read as local time in each zone.
    const struct {
        const char* zone;
        time_t expected;
    } cases[] = {{"UTC0", 1257980828}, {"XST-1", 1257980828 - 3600}, {"YST+5", 1257980828 + 5 * 3600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        ScopedTimeZone zone(c.zone);
        TestDir scratch;
        const std::string cab = scratch.path + "t.cab";
        WriteBytes(cab, WriteCabinet({File("f", {1, 2, 3})}, CabCompression::Stored));
        CabinetReader().Extract(cab, scratch.path + "out", 0);
        struct stat st;
        ASSERT_EQ(::stat((scratch.path + "out/f").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, c.expected);
    }
}

TEST_F(CabinetTest, ReadOnlyAttributeRemovesWritePermission) {
    const struct {
        uint16_t attributes;
        mode_t mode;
    } cases[] = {{0x20, 0600}, {0x00, 0600}, {0x21, 0400}, {0x07, 0400}, {0x06, 0600}};
    std::vector<CabFile> files;
    for (size_t i = 0; i < std::size(cases); ++i) {
        CabFile f = File("f" + std::to_string(i), {static_cast<uint8_t>(i)});
        f.attributes = cases[i].attributes;
        files.push_back(f);
    }
    CabinetReader().Extract(Cabinet(files, CabCompression::MsZip), Out(), 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        struct stat st;
        ASSERT_EQ(::stat((Out() + files[i].name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, cases[i].mode) << "attributes " << cases[i].attributes;
    }
}

TEST_F(CabinetTest, DosDateTimeConversion) {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(cab::DosDateTimeToUnix(0x3B6B, 0xB8E4), 1257980828);
    EXPECT_EQ(cab::DosDateTimeToUnix(0x0021, 0x0000), 315532800);  // 1980-01-01 00:00:00
    EXPECT_EQ(cab::DosDateTimeToUnix(0x0000, 0x0000), -1);         // month 0
    EXPECT_EQ(cab::DosDateTimeToUnix(0x3B6B, 0xC000), -1);         // hour 24
}

// --- names ---------------------------------------------------------------------

TEST_F(CabinetTest, BackslashNamesCreateSubdirectories) {
    const std::vector<CabFile> files = {File("a\\b\\deep.bin", Pattern(40000, 3)), File("a\\top.bin", {7}),
                                        File("plain", {8})};
    CabinetReader().Extract(Cabinet(files, CabCompression::Lzx), Out(), 0);
    EXPECT_EQ(AllFiles(Out()), (std::vector<std::string>{"a/b/deep.bin", "a/top.bin", "plain"}));
    EXPECT_EQ(ReadBytes(Out() + "a/b/deep.bin"), files[0].data);
    struct stat st;
    ASSERT_EQ(::stat((Out() + "a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(CabinetTest, NamesLeadingOutsideAreNeverWritten) {
    const std::string absolute = dir.path + "abs.txt";
    const std::vector<CabFile> files = {
        File("../up.txt", {1}),     File(absolute, {2}),        File("a/../../x.txt", {3}), File("..\\y.txt", {4}),
        File("a\\..\\..\\z.txt", {5}), File("\\root.txt", {6}), File("..", {7}),            File("ok.txt", {8}),
    };
    for (CabCompression c : kAllCompressions) {
        SCOPED_TRACE(CompressionName(c));
        std::filesystem::remove_all(Out());
        const std::string cab = Cabinet(files, c);
        CabinetReader().Extract(cab, Out(), 0);
        EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{"ok.txt"});
        EXPECT_EQ(dir.Files(), (std::vector<std::string>{"out", "pack.cab"}));
        EXPECT_FALSE(Exists(absolute));
    }
}

TEST(CabinetNames, SafeRelativePath) {
    const struct {
        std::string name, expected;
    } cases[] = {
        {"a\\b\\c", "a/b/c"},
        {"./a//b", "a/b"},
        {"a\\.\\b", "a/b"},
        {"...", "..."},
        {"a..b/..c", "a..b/..c"},
        {"..", ""},
        {"a/..", ""},
        {"a\\..\\b", ""},
        {"/etc/passwd", ""},
        {"\\etc", ""},
        {"", ""},
        {".", ""},
        {"./", ""},
        {std::string(780, 'x'), std::string(780, 'x')},
        {std::string(781, 'x'), ""},
        {std::string("a\0b", 3), ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cab::SafeRelativePath(c.name), c.expected) << '"' << c.name << '"';
}

// --- what is already at the destination -----------------------------------------

TEST_F(CabinetTest, ExistingReadOnlyFileIsReplacedWhole) {
    ASSERT_TRUE(std::filesystem::create_directories(Out()));
    const std::string target = Out() + "seg.dat";
    WriteBytes(target, std::vector<uint8_t>(5000, 0xEE));
    ASSERT_EQ(::chmod(target.c_str(), 0400), 0);

    CabFile f = File("seg.dat", Pattern(100, 5));
    f.attributes = 0x20;
    CabinetReader().Extract(Cabinet({f}, CabCompression::Stored), Out(), 0);
    // No tail of the old, longer file survives.
    EXPECT_EQ(ReadBytes(target), f.data);
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(CabinetTest, LinksAtTheDestinationAreNotFollowed) {
    ASSERT_TRUE(std::filesystem::create_directories(Out()));
    const std::string victim = dir.path + "victim";
    const std::string elsewhere = dir.path + "elsewhere";
    WriteBytes(victim, {'k', 'e', 'e', 'p'});
    ASSERT_TRUE(std::filesystem::create_directory(elsewhere));
    ASSERT_EQ(::symlink(victim.c_str(), (Out() + "file.dat").c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), (Out() + "sub").c_str()), 0);

    const std::string cab =
        Cabinet({File("file.dat", {1, 2}), File("sub\\inner.dat", {3}), File("fine.dat", {4})}, CabCompression::Stored);
    cab::ExtractResult result = cab::ExtractCabinet(cab, Out());
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.written, 1);
    EXPECT_EQ(result.skipped, 2);
    EXPECT_EQ(ReadBytes(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    EXPECT_EQ(ReadBytes(Out() + "fine.dat"), std::vector<uint8_t>{4});
}

// --- files that are not (whole) cabinets -------------------------------------------

TEST_F(CabinetTest, TruncatedOrForeignFilesAreNotCabinets) {
    const std::vector<uint8_t> whole = WriteCabinet({File("x", Pattern(100, 1))}, CabCompression::Stored);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty file", {}},
        {"signature only", {'M', 'S', 'C', 'F'}},
        {"half a header", std::vector<uint8_t>(whole.begin(), whole.begin() + 20)},
        {"header without file table", std::vector<uint8_t>(whole.begin(), whole.begin() + 40)},
        {"file table cut in the name", std::vector<uint8_t>(whole.begin(), whole.begin() + 61)},
        {"not a cabinet", std::vector<uint8_t>(200, 'Z')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir.path + "bad.cab";
        WriteBytes(path, c.bytes);
        CabinetReader reader;
        EXPECT_FALSE(reader.IsCabinet(path));
        int calls = 0;
        EXPECT_FALSE(reader.ListFiles(path, [&](auto&, auto&, auto, auto&, auto, auto, auto, auto) { ++calls; }));
        EXPECT_EQ(calls, 0);
        reader.Extract(path, Out(), 0);
        EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{});
    }
}

TEST_F(CabinetTest, CabinetWithoutFiles) {
    const std::string cab = Cabinet({}, CabCompression::Lzx);
    CabinetReader reader;
    EXPECT_TRUE(reader.IsCabinet(cab));
    bool isCabinet = false;
    EXPECT_TRUE(List(reader, cab, &isCabinet).empty());
    EXPECT_TRUE(isCabinet);
    reader.Extract(cab, Out(), 0);
    EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{});
}

TEST_F(CabinetTest, MissingFileIsASystemError) {
    CabinetReader reader;
    try {
        reader.IsCabinet(dir.path + "absent.cab");
        FAIL() << "no exception";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), std::string("System Error.  Code: 2.\r\n") + std::strerror(ENOENT));
    }
    EXPECT_THROW(List(reader, dir.path + "absent.cab"), Error);
    // Extraction of a missing cabinet fails quietly.
    EXPECT_NO_THROW(reader.Extract(dir.path + "absent.cab", Out(), 0));
}

TEST_F(CabinetTest, ListingStopsWhenAsked) {
    const std::string cab = Cabinet({File("a", {1}), File("b", {2}), File("c", {3})}, CabCompression::Stored);
    std::vector<std::string> seen;
    CabinetReader reader;
    EXPECT_TRUE(reader.ListFiles(cab, [&](auto&, const std::string& name, auto, bool& stop, auto, auto, auto, auto) {
        seen.push_back(name);
        stop = name == "b";
    }));
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

TEST_F(CabinetTest, SetGoesOnIntoTheNextCabinet) {
    // The first cabinet announces the second: extraction takes both files,
    // the listing only the first's, flags bit 0 stops after the first, and
    // the joined set is freed once when the extraction ends.
    const std::vector<CabFile> own = {File("first.dat", Pattern(2000, 1))};
    const std::vector<CabFile> more = {File("second.dat", Pattern(3000, 2))};
    WriteBytes(dir.path + "part2.cab", WriteCabinet(more, CabCompression::Lzx));
    const std::string cab = dir.path + "pack.cab";
    WriteBytes(cab, AnnounceNextCabinet(WriteCabinet(own, CabCompression::MsZip), "part2.cab"));
    CabinetReader reader;
    EXPECT_EQ(List(reader, cab).size(), 1u);
    cab::ExtractResult result = reader.Extract(cab, Out(), 0);
    EXPECT_EQ(result.files, (std::vector<std::string>{"first.dat", "second.dat"}));
    EXPECT_EQ(ReadBytes(Out() + "first.dat"), own[0].data);
    EXPECT_EQ(ReadBytes(Out() + "second.dat"), more[0].data);
    std::filesystem::remove_all(Out());
    EXPECT_EQ(reader.Extract(cab, Out(), 1).files, std::vector<std::string>{"first.dat"});
    EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{"first.dat"});
}

TEST_F(CabinetTest, AnnouncedNextCabinetThatCannotFollow) {
    // Missing, this very cabinet again (a loop), and a name leading outside:
    // the cabinet's own files come out whole and the set ends there.
    const std::vector<CabFile> files = {File("own.dat", Pattern(50000, 8))};
    for (const std::string next : {"missing.cab", "pack.cab", "../pack.cab", "/etc/hostname"}) {
        SCOPED_TRACE(next);
        std::filesystem::remove_all(Out());
        const std::string cab = dir.path + "pack.cab";
        WriteBytes(cab, AnnounceNextCabinet(WriteCabinet(files, CabCompression::MsZip), next));
        CabinetReader reader;
        EXPECT_EQ(List(reader, cab).size(), 1u);
        reader.Extract(cab, Out(), 0);
        EXPECT_EQ(ReadBytes(Out() + "own.dat"), files[0].data);
        EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{"own.dat"});
    }
}

// --- damage and failures during extraction ------------------------------------------

TEST_F(CabinetTest, DamagedDataLeavesNoPartialFile) {
    // "first" lies wholly in the first data block; "second" runs to the end.
    // Damage well past the first block leaves "first" complete; damage just
    // after it may cost "first" too, as decoders read ahead.
    const std::vector<CabFile> files = {File("first", Pattern(100, 1)), File("second", Pattern(100000, 2))};
    const struct {
        const char* what;
        bool firstKept;
        void (*damage)(std::vector<uint8_t>&);
    } damages[] = {
        {"flipped byte in the last block", true, [](std::vector<uint8_t>& b) { b[b.size() - 50] ^= 0x01; }},
        {"cut inside the last block", true, [](std::vector<uint8_t>& b) { b.erase(b.end() - 50, b.end()); }},
        {"cut just after the first block", false, [](std::vector<uint8_t>& b) { b.resize(FirstBlockEnd(b) + 3); }},
    };
    for (CabCompression c : kAllCompressions) {
        for (const auto& d : damages) {
            SCOPED_TRACE(std::string(CompressionName(c)) + ": " + d.what);
            std::filesystem::remove_all(Out());
            std::vector<uint8_t> bytes = WriteCabinet(files, c);
            d.damage(bytes);
            const std::string cab = dir.path + "damaged.cab";
            WriteBytes(cab, bytes);
            CabinetReader reader;
            EXPECT_NO_THROW(reader.Extract(cab, Out(), 0));
            EXPECT_FALSE(Exists(Out() + "second"));
            if (d.firstKept || Exists(Out() + "first")) {
                EXPECT_EQ(ReadBytes(Out() + "first"), files[0].data);
            }
        }
    }
}

TEST_F(CabinetTest, FullDiskLeavesNoPartialFile) {
    const std::vector<CabFile> files = {File("big", Pattern(100000, 4))};
    for (CabCompression c : kAllCompressions) {
        for (size_t budget : {size_t{0}, size_t{1}, size_t{40000}, size_t{99999}}) {
            SCOPED_TRACE(std::string(CompressionName(c)) + " budget " + std::to_string(budget));
            std::filesystem::remove_all(Out());
            const std::string cab = Cabinet(files, c);
            {
                ScopedFullDisk full(budget);
                cab::ExtractResult result = cab::ExtractCabinet(cab, Out());
                EXPECT_EQ(result.failed, 1);
                EXPECT_EQ(result.written, 0);
            }
            EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{});
            // With room again the same reader succeeds.
            CabinetReader().Extract(cab, Out(), 0);
            EXPECT_EQ(ReadBytes(Out() + "big"), files[0].data);
        }
    }
}

TEST_F(CabinetTest, BoundOnWhatAnExtractionWritesRefusesFilesBeforeDecoding) {
    // Files of 1000, 30000 and 5000 bytes: each is written while the running
    // total stays within the bound; a refused file is never created, and a
    // smaller one after it still fits.
    const std::vector<CabFile> files = {File("a", Pattern(1000, 1)), File("b", Pattern(30000, 2)),
                                        File("c", Pattern(5000, 3))};
    const struct {
        int64_t bound;
        std::vector<std::string> written;
    } cases[] = {
        {0, {"a", "b", "c"}},  // no bound
        {36000, {"a", "b", "c"}},
        {35999, {"a", "b"}},
        {30999, {"a", "c"}},
        {999, {}},
    };
    for (CabCompression c : kAllCompressions) {
        const std::string cab = Cabinet(files, c);
        for (const auto& k : cases) {
            SCOPED_TRACE(std::string(CompressionName(c)) + " bound " + std::to_string(k.bound));
            std::filesystem::remove_all(Out());
            cab::ExtractResult result = CabinetReader().Extract(cab, Out(), 0, k.bound);
            EXPECT_EQ(result.files, k.written);
            EXPECT_EQ(result.written, static_cast<int>(k.written.size()));
            EXPECT_EQ(result.tooLarge, static_cast<int>(files.size() - k.written.size()));
            EXPECT_EQ(AllFiles(Out()), k.written);
            for (const CabFile& f : files) {
                if (Exists(Out() + f.name)) {
                    EXPECT_EQ(ReadBytes(Out() + f.name), f.data) << f.name;
                }
            }
        }
    }
}

TEST_F(CabinetTest, BombIsRefusedFromItsDeclaredSize) {
    // 16 MiB of zeros packs into a few kilobytes of MSZIP; with a bound of
    // 1 MiB not one byte of it is decoded to disk.
    const std::string cab = Cabinet({File("bomb", std::vector<uint8_t>(16u << 20, 0))}, CabCompression::MsZip);
    ASSERT_LT(std::filesystem::file_size(cab), 1u << 20);
    ScopedFullDisk nothingMayBeWritten(0);
    cab::ExtractResult result = CabinetReader().Extract(cab, Out(), 0, 1 << 20);
    EXPECT_EQ(result.tooLarge, 1);
    EXPECT_EQ(result.failed, 0);
    EXPECT_EQ(AllFiles(Out()), std::vector<std::string>{});
}

// --- messages --------------------------------------------------------------------

TEST(CabinetMessages, TextsFollowTheErrorRecord) {
    const struct {
        int code, osCode;
        bool present, creation;
        std::string expected;
    } cases[] = {
        {4, 0, true, false, "Cabinet file is corrupt [0x0004]"},
        {0, 0, true, false, "No error [0x0000]"},
        {2, 0, true, false, "Cabinet file does not have the correct format [0x0002]"},
        {10, 0, true, false, "Cabinet returned on fdintNEXT_CABINET is incorrect [0x000A]"},
        {11, 0, true, false, "FDI aborted [0x000B]"},
        {12, 0, true, false, "FDI error [0x000C]"},
        {8, 0, true, true, "Failure compressing data [0x0008]"},
        {9, 0, true, true, "FCI error [0x0009]"},
        {1, 0, true, true, "Failure opening file to be stored in cabinet [0x0001]"},
        {4, 0, false, false, "FDI error"},
        {4, 28, false, true, "FCI error"},
        {8, 28, true, false,
         "Failure writing to target file [0x0008].\r\n" + std::string(std::strerror(28)) + " [0x001C]."},
        {6, 2, true, true, "Could not create cabinet file [0x0006].\r\n" + std::string(std::strerror(2)) + " [0x0002]."},
    };
    for (const auto& c : cases) {
        CabinetError e(c.code, c.osCode, c.present, c.creation);
        EXPECT_EQ(std::string(e.what()), c.expected);
        EXPECT_EQ(e.ErrorCode, c.code);
        EXPECT_EQ(e.OsErrorCode, c.osCode);
        EXPECT_EQ(e.ErrorPresent, c.present);
        EXPECT_EQ(e.CreationInterface, c.creation);
    }
    EXPECT_EQ(CabinetErrorText(-1, false), "FDI error");
    EXPECT_EQ(CabinetErrorText(9, false), "Cabinets in a set do not have the same RESERVE sizes");
    EXPECT_EQ(CabinetErrorText(3, true), "Out of memory in FCI");
}
