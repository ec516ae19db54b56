#pragma once
// Decodes a segment pack in the LZMA-alone format (13-byte header, raw LZMA)
// into the segment data file, in-process.
#include <cstdint>
#include <string>

namespace movarel {

enum class LzmaUnpackResult {
    Decoded,      // outputName holds the data file
    Failed,       // the pack does not decode; no output file. error completes
                  // "segment N ..." ("has an LZMA pack that is damaged ...")
    NoDecoder,    // the decoder cannot be set up; "Video decompressor error" was shown
};

// Decodes packFileName into a new "~7z" file in directory. outputLimit
// bounds the decoded size (the sizes the segment header promises), so a
// small pack cannot fill the disk. A pack that fails leaves no output file;
// a write the disk refuses raises Error "Cannot write file <output>".
LzmaUnpackResult UnpackLzmaPack(const std::string& packFileName, const std::string& directory,
                                int64_t outputLimit, std::string& outputName, std::string& error);

// The decoder's memory limit (the dictionary size comes from the file).
constexpr uint64_t kLzmaMemoryLimit = 256ull << 20;

}  // namespace movarel
