// The first frame header of a sound file and the wave format built from it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "film/Streams.h"
#include "sound/qxMp3.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

struct HeaderCase {
    const char* name;
    unsigned char bytes[4];
    uint32_t rate;
    uint32_t avgBytes;
    uint16_t blockSize;
    const char* error;  // nullptr: the header is accepted
};

const HeaderCase kHeaderCases[] = {
    {"mpeg1_128k_44100", {0xFF, 0xFB, 0x90, 0x64}, 44100, 16000, 417, nullptr},
    {"mpeg2_32k_22050", {0xFF, 0xF3, 0x40, 0xC4}, 22050, 4000, 208, nullptr},
    {"mpeg25_32k_8000", {0xFF, 0xE3, 0x48, 0xC4}, 8000, 4000, 576, nullptr},
    {"mpeg1_320k_48000", {0xFF, 0xFB, 0xE4, 0x00}, 48000, 40000, 960, nullptr},
    {"free_format_gives_zero", {0xFF, 0xFB, 0x00, 0x64}, 44100, 0, 0, nullptr},
    {"reserved_rate_reads_44100", {0xFF, 0xF3, 0x4C, 0x00}, 44100, 4000, 104, nullptr},
    {"id3_tag", {'I', 'D', '3', 0x03}, 0, 0, 0, "GetMp3FileInfo: mp3 format error"},
    {"sync_bits_missing", {0xFF, 0xDB, 0x90, 0x64}, 0, 0, 0, "GetMp3FileInfo: mp3 format error"},
    {"reserved_version", {0xFF, 0xEB, 0x90, 0x64}, 0, 0, 0, "GetMp3FileInfo: version error"},
    {"bit_rate_index_15", {0xFF, 0xFB, 0xF0, 0x64}, 0, 0, 0, "GetMp3FileInfo: BitRate Error"},
};

class Mp3Header : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Mp3Header, BuildsTheWaveFormatOrFails) {
    const HeaderCase& c = GetParam();
    TestDir dir;
    std::string file = dir.path + "sound.mp3";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes), 4);
    MpegLayer3WaveFormat format;
    std::memset(&format, 0xAB, sizeof format);
    if (c.error != nullptr) {
        try {
            GetMp3FileInfo(file, format);
            FAIL() << "no exception";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        EXPECT_EQ(format.wFormatTag, 0xABAB) << "a failed read leaves the format alone";
        return;
    }
    ASSERT_TRUE(GetMp3FileInfo(file, format));
    EXPECT_EQ(format.nSamplesPerSec, c.rate);
    EXPECT_EQ(format.nAvgBytesPerSec, c.avgBytes);
    EXPECT_EQ(format.nBlockSize, c.blockSize);
    // The fixed fields of every format.
    EXPECT_EQ(format.wFormatTag, 0x55);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(format.nBlockAlign, 1);
    EXPECT_EQ(format.wBitsPerSample, 0);
    EXPECT_EQ(format.cbSize, 12);
    EXPECT_EQ(format.wID, 1);
    EXPECT_EQ(format.fdwFlags, 2u);
    EXPECT_EQ(format.nFramesPerBlock, 1);
    EXPECT_EQ(format.nCodecDelay, 1393);
}

INSTANTIATE_TEST_SUITE_P(Headers, Mp3Header, ::testing::ValuesIn(kHeaderCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

TEST(Mp3File, NameExtensionAndLengthChecks) {
    TestDir dir;
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x64};
    for (const char* name : {"upper.MP3", "other.mp2", "short.mp3"}) {
        std::ofstream out(dir.path + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header), std::string(name) == "short.mp3" ? 2 : 4);
    }
    MpegLayer3WaveFormat format{};
    EXPECT_TRUE(GetMp3FileInfo(dir.path + "upper.MP3", format));
    EXPECT_EQ(format.nSamplesPerSec, 44100u);

    MpegLayer3WaveFormat untouched{};
    EXPECT_FALSE(GetMp3FileInfo(dir.path + "other.mp2", untouched));
    EXPECT_FALSE(GetMp3FileInfo("", untouched));
    EXPECT_FALSE(GetMp3FileInfo(dir.path + "missing.mp3", untouched));
    EXPECT_FALSE(GetMp3FileInfo(dir.path, untouched)) << "a folder has no extension";
    EXPECT_EQ(untouched.wFormatTag, 0);

    // Two bytes are not a header; nothing past them is read.
    EXPECT_THROW(GetMp3FileInfo(dir.path + "short.mp3", format), Error);
}

TEST(Mp3File, RecognisesAnId3Tag) {
    TestDir dir;
    std::ofstream(dir.path + "tagged.mp3", std::ios::binary) << "ID3\x03";
    std::ofstream(dir.path + "id.mp3", std::ios::binary) << "ID";
    EXPECT_TRUE(StartsWithId3Tag(dir.path + "tagged.mp3"));
    EXPECT_FALSE(StartsWithId3Tag(dir.path + "id.mp3"));
    EXPECT_FALSE(StartsWithId3Tag(dir.path + "missing.mp3"));
}

}  // namespace
