// Streams, string list and temporary names.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "film/Streams.h"
#include "platform/FileOps.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;

TEST(MemoryStream, EmptyStreamCannotBePositionedOrRead) {
    MemoryStream s;
    char b[4];
    EXPECT_EQ(s.Read(b, 4), 0);
    s.SetPosition(0);
    EXPECT_EQ(s.GetPosition(), 0);
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_NO_THROW(s.ReadBuffer(nullptr, 0));
    EXPECT_THROW(s.ReadBuffer(b, 1), Error);
}

TEST(MemoryStream, PositionMustStayInsideTheData) {
    MemoryStream s;
    s.Write("abcd", 4);
    s.SetPosition(4);
    EXPECT_EQ(s.GetPosition(), 4);  // unchanged from the write
    s.SetPosition(3);
    EXPECT_EQ(s.GetPosition(), 3);
    s.SetPosition(4);
    EXPECT_EQ(s.GetPosition(), 3);
}

TEST(MemoryStream, GrowsByPositionPlusCountPlus4096) {
    MemoryStream s;
    std::vector<char> fill(4095, 'x');
    s.Write(fill.data(), 4095);
    MemoryStream t;
    t.Write(fill.data(), 4095);
    s.Write("a", 1);
    EXPECT_EQ(s.Capacity(), 4096);
    t.Write("ab", 2);
    EXPECT_EQ(t.Capacity(), 8193);
}

TEST(FileStream, CopyFromWholeFileUsesTwoChunks) {
    TestDir dir;
    std::string path = dir.path + "src.bin";
    {
        FileStream f(path, kModeCreate);
        std::vector<char> data(100000);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7);
        f.Write(data.data(), 100000);
    }
    FileStream src(path, kModeRead);
    src.SetPosition(src.GetSize());
    MemoryStream dst;
    EXPECT_EQ(dst.CopyFrom(src, 0), 100000);
    EXPECT_EQ(dst.GetSize(), 100000);
    EXPECT_EQ(static_cast<char>(dst.Data()[99999]), static_cast<char>(99999 * 7));
}

TEST(FileStream, RestrictedStreamStaysInsideItsWindow) {
    TestDir dir;
    const std::string path = dir.path + "data";
    { FileStream f(path, kModeCreate); f.Write("0123456789", 10); }
    struct Case {
        int64_t base;
        int32_t length;
        int32_t size;           // what the stream reports
        const char* whole;      // everything a read from the start gives
    };
    for (const Case& c : {Case{3, 4, 4, "3456"}, Case{0, 10, 10, "0123456789"}, Case{8, 5, 2, "89"},
                          Case{12, 4, 0, ""}, Case{5, 0, 0, ""}}) {
        SCOPED_TRACE(std::to_string(c.base) + "+" + std::to_string(c.length));
        FileStream f(path, 2);
        f.Restrict(c.base, c.length);
        EXPECT_EQ(f.GetPosition(), 0);
        EXPECT_EQ(f.GetSize(), c.size);
        char buffer[16] = {};
        EXPECT_EQ(f.Read(buffer, 16), c.size);
        EXPECT_EQ(std::string(buffer), c.whole);
        EXPECT_EQ(f.GetPosition(), c.size);
        EXPECT_EQ(f.Read(buffer, 1), 0) << "read past the window";
        if (c.size == c.length) {  // at the window's end: no room to write
            EXPECT_EQ(f.Write("x", 1), 0) << "written past the window";
        }
        f.SetPosition(1);
        EXPECT_EQ(f.Read(buffer, 2), std::min(2, std::max(c.size - 1, 0)));
    }
    // Nothing outside a window was touched.
    char all[11] = {};
    FileStream f(path, kModeRead);
    EXPECT_EQ(f.Read(all, 10), 10);
    EXPECT_EQ(std::string(all), "0123456789");
}

TEST(FileStream, OpenErrorsAndShortReads) {
    TestDir dir;
    EXPECT_THROW(FileStream(dir.path + "missing", kModeRead), Error);
    std::string path = dir.path + "f";
    { FileStream f(path, kModeCreate); f.Write("abc", 3); }
    // Creating never reuses an existing name or follows a link.
    EXPECT_THROW(FileStream(path, kModeCreate), Error);
    ASSERT_EQ(::symlink(path.c_str(), (dir.path + "link").c_str()), 0);
    EXPECT_THROW(FileStream(dir.path + "link", kModeCreate), Error);
    FileStream f(path, kModeRead);
    char b[8];
    try {
        f.ReadBuffer(b, 8);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read file " + path);
    }
}

TEST(StringList, ValuesLookup) {
    StringList l;
    l.Add("Error");
    l.Add("=x");
    l.Add("  Error =  Text  ");
    l.Add("Error = Second");
    l.Add("Eq = a=b");
    EXPECT_EQ(l.Values("error"), "Text");
    EXPECT_EQ(l.Values("EQ"), "a=b");
    EXPECT_EQ(l.Values(""), "");
    EXPECT_EQ(l.Values("x"), "");
}

TEST(StringList, SetTextSplitsLines) {
    struct Case {
        std::string text;
        std::vector<std::string> items;
    };
    std::vector<Case> cases = {
        {"A = 1\r\nB = 2", {"A = 1", "B = 2"}},
        {"A = 1\r\nB = 2\r\n", {"A = 1", "B = 2"}},
        {"A = 1\r\n\r\nB = 2", {"A = 1", "\r\nB = 2"}},
        {"\n\n\n", {}},
        {std::string("A\0B\rC", 5), {"A", "B", "C"}},
    };
    for (const auto& c : cases) {
        StringList l;
        l.SetText(c.text.data(), static_cast<int32_t>(c.text.size()));
        ASSERT_EQ(l.Count(), static_cast<int32_t>(c.items.size())) << c.text;
        for (size_t i = 0; i < c.items.size(); ++i)
            EXPECT_EQ(l.Get(static_cast<int32_t>(i)), c.items[i]);
    }
}

TEST(StringList, DeleteOutsideTheListDoesNothingAndCapacityGrowsBy16) {
    StringList l;
    for (int i = 0; i < 17; ++i)
        l.Add(std::to_string(i));
    EXPECT_EQ(l.Capacity(), 32);
    l.Delete(17);
    l.Delete(-1);
    EXPECT_EQ(l.Count(), 17);
    l.Delete(0);
    EXPECT_EQ(l.Get(0), "1");
    EXPECT_EQ(l.IndexOf("16"), 15);
}

TEST(TempNames, SeventeenDigitStampAndFreshName) {
    TestDir dir;
    std::string a = MakeTempFileName("cab", dir.path, "qxS_");
    std::string base = a.substr(dir.path.size());
    ASSERT_EQ(base.size(), 4 + 17 + 4);
    EXPECT_EQ(base.substr(0, 4), "qxS_");
    EXPECT_EQ(base.substr(21), ".cab");
    { FileStream f(a, kModeCreate); }
    EXPECT_NE(MakeTempFileName("cab", dir.path, "qxS_"), a);
}

TEST(WorkDirectory, PrivateAndNeverReused) {
    TestDir dir;
    ASSERT_EQ(::mkdir((dir.path + "qxP_0000").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("/tmp", (dir.path + "qxP_0001").c_str()), 0);
    WorkDirectory work = WorkDirectory::Create(dir.path);
    const std::string made = work.Path();
    EXPECT_EQ(made, dir.path + "qxP_0002/");
    struct stat st;
    ASSERT_EQ(::stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    work.Remove();
    EXPECT_NE(::stat(made.c_str(), &st), 0);
}

namespace {
// A write that the disk refuses after a budget of bytes, as a full disk does.
size_t g_writeBudget = 0;
ssize_t FullDiskWrite(int fd, const void* buffer, size_t count) {
    if (g_writeBudget == 0) {
        errno = ENOSPC;
        return -1;
    }
    size_t n = std::min(count, g_writeBudget);
    g_writeBudget -= n;
    return ::write(fd, buffer, n);
}
}  // namespace

TEST(FileStream, FullDiskFailsTheCopyWithTheFileName) {
    TestDir dir;
    MemoryStream src;
    std::vector<char> data(100000, 'x');
    src.Write(data.data(), 100000);
    std::string path = dir.path + "out";
    FileStream dst(path, kModeCreate);
    FileOps ops = PosixFileOps();
    ops.write = FullDiskWrite;
    g_writeBudget = 70000;
    FileOps previous = SetFileOps(ops);
    try {
        dst.CopyFrom(src, 0);
        SetFileOps(previous);
        FAIL() << "a short write passed as a complete copy";
    } catch (const Error& e) {
        SetFileOps(previous);
        EXPECT_EQ(std::string(e.what()), "Cannot write file " + path);
    }
}
