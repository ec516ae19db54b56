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

// The cabinet made the first of a set: it announces next as the following
// cabinet (the name strings follow the header; every offset behind them moves).
std::vector<uint8_t> AnnounceNextCabinet(std::vector<uint8_t> cab, const std::string& next);

// The cabinet with its file-table offset (header offset 16) moved by delta
// bytes while the entries stay where they are, right behind the folders: a
// reader that seeks to the offset and one that reads on from the folders see
// different files.
std::vector<uint8_t> MoveFileTableOffset(std::vector<uint8_t> cab, int32_t delta);

// The folder's compression type field (header offset 42) set to type: 0
// stored, 1 MSZIP, 2 Quantum, 3 LZX, window bits in the high byte. Data
// written stored and then declared Quantum or LZX is garbage to the decoder,
// which is how a cabinet fails in a compression this writer cannot make.
constexpr uint16_t kCabTypeQuantum = 2 | (4 << 4) | (21 << 8);
std::vector<uint8_t> SetFolderCompression(std::vector<uint8_t> cab, uint16_t type);

// The payload of data block `block` (counting from 0) overwritten with
// pseudo-random bytes. With clearChecksum its checksum is set to 0, which
// means none, so the decoder itself, not the checksum test, meets the
// damage; without, the stored checksum no longer matches.
std::vector<uint8_t> GarbleDataBlock(std::vector<uint8_t> cab, size_t block, bool clearChecksum = true);

}  // namespace movarel::writer
