// The first frame header of a sound file: what it says, and what it refuses.
#include <gtest/gtest.h>

#include <fstream>

#include "film/Streams.h"
#include "sound/Mp3Header.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

struct HeaderCase {
    const char* name;
    unsigned char bytes[4];
    int version;
    uint32_t rate;
    uint32_t bitRate;
    const char* error;  // nullptr: the header is accepted
};

const HeaderCase kHeaderCases[] = {
    {"mpeg1_128k_44100", {0xFF, 0xFB, 0x90, 0x64}, 1, 44100, 128, nullptr},
    {"mpeg2_32k_22050", {0xFF, 0xF3, 0x40, 0xC4}, 2, 22050, 32, nullptr},
    {"mpeg25_32k_8000", {0xFF, 0xE3, 0x48, 0xC4}, 3, 8000, 32, nullptr},
    {"mpeg1_320k_48000", {0xFF, 0xFB, 0xE4, 0x00}, 1, 48000, 320, nullptr},
    {"free_format_gives_zero", {0xFF, 0xFB, 0x00, 0x64}, 1, 44100, 0, nullptr},
    {"reserved_rate_reads_44100", {0xFF, 0xF3, 0x4C, 0x00}, 2, 44100, 32, nullptr},
    {"id3_tag", {'I', 'D', '3', 0x03}, 0, 0, 0, "GetMp3FileInfo: mp3 format error"},
    {"sync_bits_missing", {0xFF, 0xDB, 0x90, 0x64}, 0, 0, 0, "GetMp3FileInfo: mp3 format error"},
    {"reserved_version", {0xFF, 0xEB, 0x90, 0x64}, 0, 0, 0, "GetMp3FileInfo: version error"},
    {"bit_rate_index_15", {0xFF, 0xFB, 0xF0, 0x64}, 0, 0, 0, "GetMp3FileInfo: BitRate Error"},
};

class Mp3HeaderRead : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Mp3HeaderRead, ReadsTheHeaderOrFails) {
    const HeaderCase& c = GetParam();
    TestDir dir;
    std::string file = dir.path + "sound.mp3";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes), 4);
    Mp3Header header;
    header.sampleRate = 12345;
    if (c.error != nullptr) {
        try {
            ReadMp3Header(file, header);
            FAIL() << "no exception";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        EXPECT_EQ(header.sampleRate, 12345u) << "a failed read leaves the header alone";
        return;
    }
    ASSERT_TRUE(ReadMp3Header(file, header));
    EXPECT_EQ(header.version, c.version);
    EXPECT_EQ(header.sampleRate, c.rate);
    EXPECT_EQ(header.bitRate, c.bitRate);
}

INSTANTIATE_TEST_SUITE_P(Headers, Mp3HeaderRead, ::testing::ValuesIn(kHeaderCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

TEST(Mp3File, NameExtensionAndLengthChecks) {
    TestDir dir;
    const unsigned char bytes[4] = {0xFF, 0xFB, 0x90, 0x64};
    for (const char* name : {"upper.MP3", "other.mp2", "short.mp3"}) {
        std::ofstream out(dir.path + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes), std::string(name) == "short.mp3" ? 2 : 4);
    }
    Mp3Header header;
    EXPECT_TRUE(ReadMp3Header(dir.path + "upper.MP3", header));
    EXPECT_EQ(header.sampleRate, 44100u);

    Mp3Header untouched;
    EXPECT_FALSE(ReadMp3Header(dir.path + "other.mp2", untouched));
    EXPECT_FALSE(ReadMp3Header("", untouched));
    EXPECT_FALSE(ReadMp3Header(dir.path + "missing.mp3", untouched));
    EXPECT_FALSE(ReadMp3Header(dir.path, untouched)) << "a folder has no extension";
    EXPECT_EQ(untouched.sampleRate, 0u);

    // Two bytes are not a header; nothing past them is read.
    EXPECT_THROW(ReadMp3Header(dir.path + "short.mp3", header), Error);
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
