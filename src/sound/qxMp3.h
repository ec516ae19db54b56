#pragma once
// The first MPEG audio frame header of a sound file, turned into the wave
// format with which the wave-output device is opened.
#include <string>

#include "platform/WaveOut.h"

namespace movarel {

// True when format was filled from the file's first four bytes. False, with
// format untouched, when the name is empty, the file does not exist or its
// extension is not ".mp3" (any case). Raises Error with
// "GetMp3FileInfo: mp3 format error" when the file does not begin with a frame
// header (an ID3 tag or a file shorter than four bytes included),
// "GetMp3FileInfo: version error" for the reserved version and
// "GetMp3FileInfo: BitRate Error" for bit-rate index 15.
bool GetMp3FileInfo(const std::string& fileName, MpegLayer3WaveFormat& format);

// Fills format from four header bytes; the same checks and messages.
void Mp3HeaderToFormat(const unsigned char header[4], MpegLayer3WaveFormat& format);

// Whether the file begins with an ID3v2 tag ("ID3").
bool StartsWithId3Tag(const std::string& fileName);

}  // namespace movarel
