#pragma once
// Writes cabinet archives for tests and demo films: one folder, any number of
// files, stored, MSZIP (zlib) or LZX (uncompressed blocks, which every LZX
// decoder must accept).
#include <cstdint>
#include <string>
#include <vector>

namespace movarel::writer {

enum class CabCompression { Stored, MsZip, Lzx };

struct CabFile {
    std::string name;            // as stored; may contain '\\'
    std::vector<uint8_t> data;
    uint16_t date = 0x3B6B;      // DOS date (2009-11-11)
    uint16_t time = 0xB8E4;      // DOS time (23:07:08)
    uint16_t attributes = 0x20;  // archive
};

// The whole cabinet file.
std::vector<uint8_t> WriteCabinet(const std::vector<CabFile>& files, CabCompression compression);

}  // namespace movarel::writer
