#include "CabWriter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <zlib.h>

namespace movarel::writer {
namespace {

constexpr size_t kBlockSize = 32768;  // uncompressed bytes per data block
constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderSize = 8;
constexpr size_t kFileEntrySize = 16;
constexpr int kLzxWindowBits = 21;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// The cabinet's data-block checksum: 32-bit little-endian words XORed
// together, a short tail taken big-end first.
uint32_t Checksum(const uint8_t* data, size_t bytes, uint32_t sum) {
    size_t words = bytes / 4;
    for (size_t i = 0; i < words; ++i, data += 4)
        sum ^= static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
               (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
    uint32_t tail = 0;
    switch (bytes & 3) {
        case 3: tail |= static_cast<uint32_t>(*data++) << 16; [[fallthrough]];
        case 2: tail |= static_cast<uint32_t>(*data++) << 8; [[fallthrough]];
        case 1: tail |= *data; break;
        default: break;
    }
    return sum ^ tail;
}

// MSZIP: "CK" and a complete raw deflate stream for each block. Starting
// every block afresh costs a little size and keeps the writer simple.
std::vector<uint8_t> MsZipBlock(const uint8_t* data, size_t size) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<uint8_t> out(2 + deflateBound(&z, static_cast<uLong>(size)) + 16);
    out[0] = 'C';
    out[1] = 'K';
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data() + 2;
    z.avail_out = static_cast<uInt>(out.size() - 2);
    int rc = deflate(&z, Z_FINISH);
    size_t produced = out.size() - 2 - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate failed");
    out.resize(2 + produced);
    return out;
}

// LZX bits go into 16-bit little-endian words, most significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            word_ = static_cast<uint16_t>((word_ << 1) | ((value >> i) & 1));
            if (++count_ == 16)
                Flush();
        }
    }
    // An uncompressed block's header is followed by 1 to 16 padding bits
    // (never none), which bring the stream to a word boundary.
    void AlignForRawData() {
        Put(0, 16 - count_);
    }

private:
    void Flush() {
        Put16(out_, word_);
        word_ = 0;
        count_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint16_t word_ = 0;
    int count_ = 0;
};

// One LZX uncompressed block per data block: every decoder must accept it,
// and a block never crosses a 32768-byte frame.
std::vector<uint8_t> LzxBlock(const uint8_t* data, size_t size, bool first) {
    std::vector<uint8_t> out;
    BitWriter bits(out);
    if (first)
        bits.Put(0, 1);  // no E8 call translation
    bits.Put(3, 3);      // uncompressed block
    bits.Put(static_cast<uint32_t>(size >> 8), 16);
    bits.Put(static_cast<uint32_t>(size & 0xFF), 8);
    bits.AlignForRawData();
    for (int r = 0; r < 3; ++r)
        Put32(out, 1);  // repeated offsets R0..R2
    out.insert(out.end(), data, data + size);
    if (size & 1)
        out.push_back(0);
    return out;
}

}  // namespace

std::vector<uint8_t> WriteCabinet(const std::vector<CabFile>& files, CabCompression compression) {
    if (files.size() > 0xFFFF)
        throw std::invalid_argument("too many files for one cabinet");

    std::vector<uint8_t> folderData;
    std::vector<uint32_t> offsets;
    for (const CabFile& f : files) {
        offsets.push_back(static_cast<uint32_t>(folderData.size()));
        folderData.insert(folderData.end(), f.data.begin(), f.data.end());
    }
    if (folderData.size() > 0x7FFF8000u)
        throw std::invalid_argument("cabinet folder too large");

    size_t fileTableSize = 0;
    for (const CabFile& f : files)
        fileTableSize += kFileEntrySize + f.name.size() + 1;
    const size_t fileTable = kHeaderSize + kFolderSize;
    const size_t dataStart = fileTable + fileTableSize;

    std::vector<uint8_t> out;
    // Header.
    out.insert(out.end(), {'M', 'S', 'C', 'F'});
    Put32(out, 0);
    Put32(out, 0);  // cabinet size, set below
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(fileTable));
    Put32(out, 0);
    out.push_back(3);  // version 1.3
    out.push_back(1);
    Put16(out, 1);  // folders
    Put16(out, static_cast<uint32_t>(files.size()));
    Put16(out, 0);       // flags: no set, no reserve
    Put16(out, 0x4D56);  // set id
    Put16(out, 0);       // cabinet index

    const size_t blockCount = (folderData.size() + kBlockSize - 1) / kBlockSize;
    if (blockCount > 0xFFFF)
        throw std::invalid_argument("cabinet folder too large");
    uint16_t type = 0;
    switch (compression) {
        case CabCompression::Stored: type = 0; break;
        case CabCompression::MsZip: type = 1; break;
        case CabCompression::Lzx: type = static_cast<uint16_t>(3 | (kLzxWindowBits << 8)); break;
    }
    Put32(out, static_cast<uint32_t>(dataStart));
    Put16(out, static_cast<uint32_t>(blockCount));
    Put16(out, type);

    for (size_t i = 0; i < files.size(); ++i) {
        const CabFile& f = files[i];
        Put32(out, static_cast<uint32_t>(f.data.size()));
        Put32(out, offsets[i]);
        Put16(out, 0);
        Put16(out, f.date);
        Put16(out, f.time);
        Put16(out, f.attributes);
        out.insert(out.end(), f.name.begin(), f.name.end());
        out.push_back(0);
    }

    for (size_t b = 0; b < blockCount; ++b) {
        const uint8_t* chunk = folderData.data() + b * kBlockSize;
        const size_t chunkSize = std::min(kBlockSize, folderData.size() - b * kBlockSize);
        std::vector<uint8_t> packed;
        switch (compression) {
            case CabCompression::Stored: packed.assign(chunk, chunk + chunkSize); break;
            case CabCompression::MsZip: packed = MsZipBlock(chunk, chunkSize); break;
            case CabCompression::Lzx: packed = LzxBlock(chunk, chunkSize, b == 0); break;
        }
        std::vector<uint8_t> sizes;
        Put16(sizes, static_cast<uint32_t>(packed.size()));
        Put16(sizes, static_cast<uint32_t>(chunkSize));
        Put32(out, Checksum(sizes.data(), sizes.size(), Checksum(packed.data(), packed.size(), 0)));
        out.insert(out.end(), sizes.begin(), sizes.end());
        out.insert(out.end(), packed.begin(), packed.end());
    }

    Set32(out, 8, static_cast<uint32_t>(out.size()));
    return out;
}

namespace {
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
}  // namespace

std::vector<uint8_t> AnnounceNextCabinet(std::vector<uint8_t> cab, const std::string& next) {
    std::vector<uint8_t> names(next.begin(), next.end());
    names.push_back(0);
    names.insert(names.end(), {'d', '2', 0});
    const uint32_t shift = static_cast<uint32_t>(names.size());
    Set32(cab, 8, Get32(cab, 8) + shift);    // cabinet size
    Set32(cab, 16, Get32(cab, 16) + shift);  // file table
    Set32(cab, 36, Get32(cab, 36) + shift);  // first data block of the folder
    cab[30] |= 0x02;  // a next cabinet follows
    cab.insert(cab.begin() + 36, names.begin(), names.end());
    return cab;
}

std::vector<uint8_t> MoveFileTableOffset(std::vector<uint8_t> cab, int32_t delta) {
    Set32(cab, 16, static_cast<uint32_t>(static_cast<int64_t>(Get32(cab, 16)) + delta));
    return cab;
}

std::vector<uint8_t> SetFolderCompression(std::vector<uint8_t> cab, uint16_t type) {
    cab.at(43) = static_cast<uint8_t>(type >> 8);
    cab.at(42) = static_cast<uint8_t>(type);
    return cab;
}

std::vector<uint8_t> GarbleDataBlock(std::vector<uint8_t> cab, size_t block, bool clearChecksum) {
    size_t at = Get32(cab, 36);
    for (size_t b = 0; b < block; ++b)
        at += 8 + (cab.at(at + 4) | (cab.at(at + 5) << 8));
    const size_t size = cab.at(at + 4) | (cab.at(at + 5) << 8);
    if (clearChecksum)
        Set32(cab, at, 0);
    uint32_t state = 0x2545F491u;
    for (size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        cab.at(at + 8 + i) = static_cast<uint8_t>(state);
    }
    return cab;
}

}  // namespace movarel::writer
