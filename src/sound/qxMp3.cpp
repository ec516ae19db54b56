#include "sound/qxMp3.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

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

void Mp3HeaderToFormat(const unsigned char header[4], MpegLayer3WaveFormat& format) {
    uint16_t w1 = ReadU16LE(header);
    uint16_t w2 = ReadU16LE(header + 2);
    if ((w1 & 0xE0FF) != 0xE0FF)
        throw Error("GetMp3FileInfo: mp3 format error");
    int versionId = (w1 & 0x1800) >> 11;
    int version;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    switch (versionId) {
    case 3: version = 0; break;
    case 2: version = 1; break;
    case 0: version = 2; break;
    default: throw Error("GetMp3FileInfo: version error");
    }
    int bitRateIndex = (w2 >> 4) & 0x0F;
    if (bitRateIndex == 15)
        throw Error("GetMp3FileInfo: BitRate Error");
    int rateIndex = (w2 >> 2) & 0x03;
    uint32_t bitRate = version == 0 ? kBitRatesMpeg1[bitRateIndex] : kBitRatesMpeg2[bitRateIndex];
    uint32_t rate = kRates[version][rateIndex];

    std::memset(&format, 0, sizeof format);
    format.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.nChannels = 1;
    format.nSamplesPerSec = rate;
    format.nAvgBytesPerSec = bitRate * 1000 / 8;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 0;
    format.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
    // 144 for every version, as the device expects it (not 72 for the
    // lower sampling frequencies).
    format.nBlockSize = static_cast<uint16_t>(uint64_t{bitRate} * 1000 * 144 / rate);
    format.nFramesPerBlock = 1;
    format.nCodecDelay = 1393;
}

bool GetMp3FileInfo(const std::string& fileName, MpegLayer3WaveFormat& format) {
    if (fileName.empty() || !FileExists(fileName) || !HasMp3Extension(fileName))
        return false;
    unsigned char header[4] = {0, 0, 0, 0};
    // A file that cannot be read or is shorter than a header has no frame
    // header, whatever its first bytes are.
    if (ReadFileStart(fileName, header, sizeof header) != static_cast<long>(sizeof header))
        throw Error("GetMp3FileInfo: mp3 format error");
    MpegLayer3WaveFormat result;
    Mp3HeaderToFormat(header, result);
    format = result;
    return true;
}

bool StartsWithId3Tag(const std::string& fileName) {
    unsigned char start[3] = {0, 0, 0};
    return ReadFileStart(fileName, start, sizeof start) == 3 && start[0] == 'I' && start[1] == 'D' &&
           start[2] == '3';
}

}  // namespace movarel
