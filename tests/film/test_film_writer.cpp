// The test film writer is itself checked: its cabinets pass cabextract, its
// frame records follow the run format.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FilmWriter.h"
#include "test_dirs.h"

using namespace movarel::writer;

TEST(FilmWriter, CabinetsOfEveryCompressionPassCabextract) {
    if (std::system("command -v cabextract >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "cabextract is not installed";
    TestDir dir;
    SegmentSpec s;
    s.frames = {Image(32, 0x010203), Image(32, 0x040506)};
    s.title = "t";
    Bytes data = BuildDataFile(s);
    data.resize(200000, 0x33);  // several blocks
    for (Packing p : {Packing::CabStored, Packing::CabMsZip, Packing::CabLzx}) {
        std::string cab = dir.path + "p" + std::to_string(static_cast<int>(p)) + ".cab";
        WriteFileBytes(cab, PackDataFile(data, p, "qxS_1.dat"));
        EXPECT_EQ(std::system(("cabextract -q -t '" + cab + "' >/dev/null 2>&1").c_str()), 0) << cab;
    }
}

TEST(FilmWriter, FrameRecordsSplitLongRunsAndEncodeTheXor) {
    Image prev(70000, 0x000010), next(70000, 0x000010);
    next[0] = 0x000011;
    Bytes r = EncodeFrameRecord(prev, next, 70000, 1);
    // runs: (1 x 0x000001), (65535 x 0), (4464 x 0)
    ASSERT_EQ(r.size(), 8u + 3 * 5);
    EXPECT_EQ(r[0], 23);
    EXPECT_EQ(r[4], 3);
    EXPECT_EQ((Bytes{r[8], r[9], r[10], r[11], r[12]}), (Bytes{1, 0, 0, 1, 0}));
    EXPECT_EQ(r[16] | r[17] << 8, 65535);
    EXPECT_EQ(r[21] | r[22] << 8, 70000 - 65536);
}
