#pragma once
// The first MPEG audio frame header of a sound file: a track is checked with
// it before it is played, so a file that is no MP3 is refused with a message
// that says which part of the header is wrong.
#include <cstdint>
#include <string>

namespace movarel {

struct Mp3Header {
    int version = 1;          // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    uint32_t sampleRate = 0;  // Hz
    uint32_t bitRate = 0;     // kbit/s; 0 for free format
};

// True when header was filled from the file's first four bytes. False, with
// header untouched, when the name is empty, the file does not exist or its
// extension is not ".mp3" (any case). Raises Error with
// "GetMp3FileInfo: mp3 format error" when the file does not begin with a frame
// header (an ID3 tag or a file shorter than four bytes included),
// "GetMp3FileInfo: version error" for the reserved version and
// "GetMp3FileInfo: BitRate Error" for bit-rate index 15.
bool ReadMp3Header(const std::string& fileName, Mp3Header& header);

// Reads four header bytes; the same checks and messages.
Mp3Header ParseMp3Header(const unsigned char bytes[4]);

// Whether the file begins with an ID3v2 tag ("ID3").
bool StartsWithId3Tag(const std::string& fileName);

}  // namespace movarel
