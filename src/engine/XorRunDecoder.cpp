#include "engine/XorRunDecoder.h"

#include <algorithm>

#include "platform/LittleEndian.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace movarel {
namespace {

constexpr size_t kRunBytes = 5;

// One load for the three colour bytes; the fourth is the count's first byte,
// still inside the run.
inline uint32_t RunColour(const uint8_t* run) { return ReadU32LE(run) & 0x00FFFFFFu; }

inline uint32_t RunCount(const uint8_t* run) { return ReadU16LE(run + 3); }

// Sum of the runs' counts. Four sums, so the adds do not wait for each other.
uint64_t SumCounts(const uint8_t* runs, size_t runCount) {
    uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t i = 0;
    for (; i + 4 <= runCount; i += 4) {
        const uint8_t* run = runs + kRunBytes * i;
        s0 += RunCount(run);
        s1 += RunCount(run + kRunBytes);
        s2 += RunCount(run + 2 * kRunBytes);
        s3 += RunCount(run + 3 * kRunBytes);
    }
    for (; i < runCount; ++i)
        s0 += RunCount(runs + kRunBytes * i);
    return s0 + s1 + s2 + s3;
}

// at[0, count) ^= colour. Most runs of screen content are a few pixels long;
// long ones go four pixels at a time.
inline void XorPixels(uint32_t* at, size_t count, uint32_t colour) {
    size_t i = 0;
#if defined(__SSE2__)
    if (count >= 4) {
        const __m128i wide = _mm_set1_epi32(static_cast<int>(colour));
        for (; i + 4 <= count; i += 4) {
            __m128i* p = reinterpret_cast<__m128i*>(at + i);
            _mm_storeu_si128(p, _mm_xor_si128(_mm_loadu_si128(p), wide));
        }
    }
#endif
    for (; i < count; ++i)
        at[i] ^= colour;
}

// pixels ^= runCount runs. Bounded: a run past pixelCount ends the walk;
// unbounded is for runs whose counts were just summed to pixelCount.
template <bool Bounded>
void XorRuns(const uint8_t* runs, size_t runCount, uint32_t* pixels, size_t pixelCount) {
    const uint8_t* run = runs;
    const uint8_t* const end = runs + kRunBytes * runCount;
    uint32_t* at = pixels;
    size_t left = pixelCount;
    // A running position: a run that goes over the end of a row simply goes
    // on in the next one, as the picture's rows have no padding.
    for (; run != end; run += kRunBytes) {
        const uint32_t colour = RunColour(run);
        const size_t count = RunCount(run);
        if constexpr (Bounded) {
            if (count > left) [[unlikely]] {
                // Only a record that is not what was checked gets here: the
                // frame is full, and nothing after this run can be applied.
                if (colour != 0)
                    XorPixels(at, left, colour);
                return;
            }
            left -= count;
        }
        if (colour != 0)
            XorPixels(at, count, colour);
        at += count;
    }
}

}  // namespace

XorRecordCheck CheckXorRecord(const uint8_t* record, int64_t available, int32_t width, int32_t height) {
    if (record == nullptr || available < 4)
        return XorRecordCheck::NoRecord;
    const int32_t size = ReadI32LE(record);
    if (size > available)
        return XorRecordCheck::TooLarge;
    if (size < 8)
        return XorRecordCheck::BadRuns;
    const int32_t runCount = ReadI32LE(record + 4);
    if (runCount <= 0 || 8 + static_cast<int64_t>(kRunBytes) * runCount > size)
        return XorRecordCheck::BadRuns;
    if (width <= 0 || height <= 0)
        return XorRecordCheck::BadRuns;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return SumCounts(record + 8, static_cast<size_t>(runCount)) == pixels ? XorRecordCheck::Valid
                                                                           : XorRecordCheck::BadRuns;
}

void ApplyXorRecord(const uint8_t* record, int64_t available, uint32_t* pixels, size_t pixelCount) {
    if (record == nullptr || pixels == nullptr || available < 8)
        return;
    // The bounds come from the bytes at hand, not from an earlier check, so
    // a record that changed since cannot lead outside either buffer.
    const int64_t size = std::min<int64_t>(ReadI32LE(record), available);
    const int64_t runCount = std::min<int64_t>(ReadI32LE(record + 4), (size - 8) / static_cast<int64_t>(kRunBytes));
    if (runCount > 0)
        XorRuns<true>(record + 8, static_cast<size_t>(runCount), pixels, pixelCount);
}

XorRecordCheck DecodeXorRecord(const uint8_t* record, int64_t available, Picture& picture) {
    const XorRecordCheck check = CheckXorRecord(record, available, picture.Width, picture.Height);
    if (check != XorRecordCheck::Valid)
        return check;
    const size_t pixels = static_cast<size_t>(picture.Width) * static_cast<size_t>(picture.Height);
    if (picture.Pixels.size() == pixels)
        // Checked a moment ago: the counts add up to the picture exactly.
        XorRuns<false>(record + 8, static_cast<size_t>(ReadI32LE(record + 4)), picture.Pixels.data(), pixels);
    else
        ApplyXorRecord(record, available, picture.Pixels.data(), picture.Pixels.size());
    return check;
}

}  // namespace movarel
