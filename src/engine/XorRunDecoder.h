#pragma once
// Frame records applied straight to a picture. A record is an int32 size, an
// int32 run count and runs of five bytes: a colour (blue, green, red) and a
// uint16 pixel count. The runs cover the frame's pixels in order, row after
// row, and a run may go on over the end of a row. The picture becomes
// picture XOR runs; runs of colour 0 leave their pixels as they are.
//
// The record is checked whole before any pixel changes (a cheap scan that
// sums the counts), then one pass XORs its runs into the picture. These are
// plain functions of their arguments and keep no state between calls.
#include <cstddef>
#include <cstdint>

#include "film/Picture.h"

namespace movarel {

// What a record is worth for a frame of a given size.
enum class XorRecordCheck {
    Valid,     // its runs lie inside it and cover the frame's pixels exactly
    NoRecord,  // no record, or fewer than 4 bytes of it
    TooLarge,  // its size claims more bytes than the data holding it has
    BadRuns,   // its runs do not lie inside it or do not cover the frame
};

// Checks the record at record, with available bytes from there to the end of
// the data that holds it, for a frame of width x height pixels. Reads only
// the record's own bytes.
XorRecordCheck CheckXorRecord(const uint8_t* record, int64_t available, int32_t width, int32_t height);

// pixels[0, pixelCount) ^= the record's runs. Meant for a record that
// CheckXorRecord found valid for this many pixels; whatever the bytes say,
// it reads no further than available and writes no further than pixelCount.
void ApplyXorRecord(const uint8_t* record, int64_t available, uint32_t* pixels, size_t pixelCount);

// Checks the record for the picture's size and applies it when it is valid;
// otherwise the picture is left untouched.
XorRecordCheck DecodeXorRecord(const uint8_t* record, int64_t available, Picture& picture);

}  // namespace movarel
