#pragma once
// Integers stored least significant byte first, as the films, their cabinets,
// cursor shapes and the MP3 header words are. The bytes may sit at any
// address; the caller makes sure that the whole width is inside its buffer.
#include <bit>
#include <cstdint>
#include <cstring>

namespace movarel {

inline uint16_t ReadU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8);
}

// Three bytes, as a 24-bit pixel is stored: blue, green, red.
inline uint32_t ReadU24LE(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16; }

inline uint32_t ReadU32LE(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        // One unaligned load: every frame record starts with its size.
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
}

inline int16_t ReadI16LE(const uint8_t* p) { return std::bit_cast<int16_t>(ReadU16LE(p)); }
inline int32_t ReadI32LE(const uint8_t* p) { return std::bit_cast<int32_t>(ReadU32LE(p)); }
// An IEEE single stored in the same byte order (the segment's frame rate).
inline float ReadF32LE(const uint8_t* p) { return std::bit_cast<float>(ReadU32LE(p)); }

}  // namespace movarel
