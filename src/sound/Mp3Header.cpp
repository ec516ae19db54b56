#include "sound/Mp3Header.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>

#include "film/Streams.h"
#include "platform/FileOps.h"
#include "platform/LittleEndian.h"

namespace movarel {
namespace {

// Layer III bit rates in kbit/s by index 0..14 (index 0: free format).
constexpr uint32_t kBitRatesMpeg1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr uint32_t kBitRatesMpeg2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

// Sampling rates by index 0..3 for MPEG-1, MPEG-2, MPEG-2.5; index 3 is
// reserved and reads as 44100.
constexpr uint32_t kRates[3][4] = {
    {44100, 48000, 32000, 44100},
    {22050, 24000, 16000, 44100},
    {11025, 12000, 8000, 44100},
};

bool HasMp3Extension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
        return false;
    std::string ext = fileName.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".mp3";
}

// Reads up to count bytes from the start of the file; -1 when it cannot be opened.
long ReadFileStart(const std::string& fileName, unsigned char* buffer, size_t count) {
    int fd = Files().open(fileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    size_t got = ReadAll(fd, buffer, count);
    Files().close(fd);
    return static_cast<long>(got);
}

}  // namespace

Mp3Header ParseMp3Header(const unsigned char bytes[4]) {
    uint16_t w1 = ReadU16LE(bytes);
    uint16_t w2 = ReadU16LE(bytes + 2);
    if ((w1 & 0xE0FF) != 0xE0FF)
        throw Error("GetMp3FileInfo: mp3 format error");
    int versionId = (w1 & 0x1800) >> 11;
    Mp3Header header;
    switch (versionId) {
    case 3: header.version = 1; break;
    case 2: header.version = 2; break;
    case 0: header.version = 3; break;
    default: throw Error("GetMp3FileInfo: version error");
    }
    int bitRateIndex = (w2 >> 4) & 0x0F;
    if (bitRateIndex == 15)
        throw Error("GetMp3FileInfo: BitRate Error");
    int rateIndex = (w2 >> 2) & 0x03;
    header.bitRate = header.version == 1 ? kBitRatesMpeg1[bitRateIndex] : kBitRatesMpeg2[bitRateIndex];
    header.sampleRate = kRates[header.version - 1][rateIndex];
    return header;
}

bool ReadMp3Header(const std::string& fileName, Mp3Header& header) {
    if (fileName.empty() || !FileExists(fileName) || !HasMp3Extension(fileName))
        return false;
    unsigned char bytes[4] = {0, 0, 0, 0};
    // A file that cannot be read or is shorter than a header has no frame
    // header, whatever its first bytes are.
    if (ReadFileStart(fileName, bytes, sizeof bytes) != static_cast<long>(sizeof bytes))
        throw Error("GetMp3FileInfo: mp3 format error");
    header = ParseMp3Header(bytes);
    return true;
}

bool StartsWithId3Tag(const std::string& fileName) {
    unsigned char start[3] = {0, 0, 0};
    return ReadFileStart(fileName, start, sizeof start) == 3 && start[0] == 'I' && start[1] == 'D' &&
           start[2] == '3';
}

}  // namespace movarel
