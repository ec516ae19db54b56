#pragma once
// SHA-256 of a byte sequence, fed in pieces, for the frame digests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace movarel::tool {

class Sha256 {
public:
    Sha256();
    void Update(const uint8_t* data, size_t length);
    // The digest as 64 lower-case hex digits; the object is spent afterwards.
    std::string HexDigest();

private:
    void Block(const uint8_t* block);
    uint32_t FState[8];
    uint8_t FBuffer[64];
    size_t FBuffered = 0;
    uint64_t FLength = 0;
};

}  // namespace movarel::tool
