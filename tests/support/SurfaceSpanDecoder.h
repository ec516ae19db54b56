#pragma once
// The engine's earlier frame decoder, kept as the yardstick for the one-pass
// decoder: a record is expanded into an XOR surface in the segment's own
// pixel layout (rows padded to 4 bytes) and a list of the changed spans,
// which a second step XORs into the picture. Tests compare pictures and
// refusals against it; the decode benchmark measures it as the "before".
#include <cstdint>
#include <vector>

#include "platform/LargePages.h"

namespace movarel::test {

class SurfaceSpanDecoder {
public:
    // Outcome of Unpack, in the engine's order of checks.
    enum class Result { Done, NoRecord, TooLarge, BadRuns };

    // A frame of width x height pixels of bitsPerPixel 24 or 32.
    SurfaceSpanDecoder(int32_t width, int32_t height, int32_t bitsPerPixel);

    // Expands the record into the surface; a refused record leaves the
    // surface as it was.
    Result Unpack(const uint8_t* record, int32_t available);
    // picture (width * height pixels) ^= surface.
    void Apply(uint32_t* picture) const;

private:
    struct Span {
        int32_t Offset;
        int32_t Count;
        uint32_t Colour;
    };
    static constexpr size_t kMaxSpans = 1u << 17;

    void WritePixels(int32_t x, int32_t y, int32_t n, uint32_t colour);
    void ZeroSpans();

    int32_t Width, Height, PixelBytes, Stride;
    std::vector<uint8_t, LargePageAllocator<uint8_t>> Surface;
    std::vector<Span> Spans;
    bool SpansComplete = true;
};

}  // namespace movarel::test
