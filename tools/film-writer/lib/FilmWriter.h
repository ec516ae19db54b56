#pragma once
// Builds films and self-playing files for tests, tools, benchmarks and the
// demo film: segments from frames given as images, cursor shapes, cursor
// tracks, sound bytes, titles and extra blocks, packed as cabinets or LZMA
// streams. Every field of the container can be overridden, so broken variants
// are written with the same code as good ones.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CabWriter.h"

namespace movarel::writer {

using Bytes = std::vector<uint8_t>;

// One frame as the recorder saw it: width * height pixels 0x00RRGGBB,
// top row first.
using Image = std::vector<uint32_t>;

// --- frame records ----------------------------------------------------------

// One frame record: int32 size, int32 run count, runs of B, G, R and a
// uint16 count. The runs are the XOR of next against prev (prev empty: a
// black picture); runs of equal values are merged up to 65535 pixels, and
// unchanged pixels become runs of colour 0.
Bytes EncodeFrameRecord(const Image& prev, const Image& next, int32_t width, int32_t height);
// The records of a busy recording for benchmarks: every frame changes one
// pixel in 128 all over the screen, with values that pack poorly.
std::vector<Bytes> BusyScreenRecords(int32_t width, int32_t height, int frames);

// A record from explicit runs (colour 0x00RRGGBB, count); size and run count
// are computed unless given, for records that lie about themselves.
struct Run {
    uint32_t colour = 0;
    uint16_t count = 0;
};
Bytes MakeFrameRecord(const std::vector<Run>& runs, std::optional<int32_t> size = std::nullopt,
                      std::optional<int32_t> runCount = std::nullopt);

// The frame stream of a sequence of images, each encoded against the one
// before it (the first against black).
Bytes EncodeFrameStream(const std::vector<Image>& frames, int32_t width, int32_t height);

// --- cursor shapes ----------------------------------------------------------

// A cursor shape record exactly as it is stored; sizes, widths, heights and
// depths are written as given, so a test can make them disagree.
struct CursorShapeSpec {
    int32_t hotX = 0;
    int32_t hotY = 0;
    int32_t maskSize = 0, maskWidth = 0, maskHeight = 0;
    uint8_t maskBpp = 1;
    Bytes maskBits;
    int32_t colourSize = 0, colourWidth = 0, colourHeight = 0;
    uint8_t colourBpp = 0;
    Bytes colourBits;
};

// A colour shape: andMask holds one value per pixel (non-zero: the picture
// shows through), colours the XOR colour per pixel (0x00RRGGBB); depth 24 or
// 32. Mask rows are padded to 2 bytes, colour rows to 4 bytes.
CursorShapeSpec ColourCursor(int32_t width, int32_t height, const std::vector<uint8_t>& andMask,
                             const std::vector<uint32_t>& colours, int32_t hotX = 0, int32_t hotY = 0,
                             uint8_t bitsPerPixel = 32);

// A monochrome shape: mask of width x 2*height, AND half above, XOR half
// below; andMask and xorMask hold one value per pixel (non-zero = bit set).
CursorShapeSpec MonoCursor(int32_t width, int32_t height, const std::vector<uint8_t>& andMask,
                           const std::vector<uint8_t>& xorMask, int32_t hotX = 0, int32_t hotY = 0);

// The record bytes: hotspot, mask header and bits, colour header and bits.
Bytes EncodeCursorShape(const CursorShapeSpec& shape);

// --- segments and films -----------------------------------------------------

struct CursorSample {
    uint16_t shape = 0;
    uint16_t x = 0;
    uint16_t y = 0;
};
Bytes EncodeCursorTrack(const std::vector<CursorSample>& samples);

enum class Packing {
    CabStored,  // flags 0x0000, cabinet with a stored folder
    CabMsZip,   // flags 0x0000, MSZIP folder
    CabLzx,     // flags 0x0000, LZX folder (uncompressed blocks)
    Lzma,       // flags 0x2000, LZMA-alone stream
    Raw,        // the data file as it is, flags from packingBits
};

constexpr uint32_t kSoundWav = 0x000;
constexpr uint32_t kSoundMp3 = 0x100;
constexpr uint32_t kSoundMidi = 0x200;
constexpr uint32_t kFlagPacing = 0x0001;

struct SegmentSpec {
    // Directory entry.
    int16_t kind = 1;
    std::optional<int32_t> entryOffset;  // default: where the header is written

    // Header.
    uint8_t version = 0;
    int32_t width = 8;
    int32_t height = 4;
    uint8_t bitsPerPixel = 32;
    float fps = 10.0f;
    bool pacing = false;
    uint32_t soundKind = kSoundMp3;  // 0x000, 0x100, 0x200 (bits 8-11)
    Packing packing = Packing::CabMsZip;
    uint32_t packingBits = 0;        // bits 12-15 for Packing::Raw (0x1000, 0x3000 ...)
    uint32_t otherFlags = 0;         // further bits carried in Flags
    std::optional<uint32_t> flags;   // the whole flags field, overriding the above

    // Data file contents.
    std::string title;               // code-page bytes, at most 255
    std::vector<Image> frames;       // encoded as XOR records against the previous image
    std::vector<Bytes> rawFrameRecords;  // appended after the encoded frames
    std::vector<CursorShapeSpec> cursors;
    std::vector<Bytes> rawCursorRecords;  // appended after the encoded shapes
    std::vector<CursorSample> track;
    Bytes extra;
    Bytes sound;                     // stored outside the pack

    // Header fields left unset are computed from the contents.
    std::optional<int32_t> frameCount;
    std::optional<int32_t> cursorCount;
    std::optional<int32_t> cursorTrackSize;
    std::optional<int32_t> extraSize;
    std::optional<int32_t> frameDataSize;
    std::optional<int32_t> packSize;
    std::optional<int32_t> packOffset;
    std::optional<int32_t> soundSize;
    std::optional<int32_t> soundOffset;

    // Broken variants: the N field of the title, the whole data file, the
    // whole pack, or the header bytes (shorter than 54 for a cut header).
    std::optional<uint32_t> titleField;
    std::optional<Bytes> dataFile;
    std::optional<Bytes> pack;
    std::optional<Bytes> header;

    std::string cabFileName = "qxS_20091111230835682.dat";
};

struct FilmSpec {
    std::vector<SegmentSpec> segments;
    std::optional<int32_t> segmentCount;  // default: segments.size()
    // The film cut to this many bytes (a short film).
    std::optional<size_t> cutAt;
};

// The unpacked data file of a segment: N, title, cursor shapes, frame stream,
// cursor track, extra block.
Bytes BuildDataFile(const SegmentSpec& segment);

// The data file packed as the segment's packing says.
Bytes PackDataFile(const Bytes& dataFile, Packing packing, const std::string& cabFileName);

// An LZMA-alone stream (13-byte header, raw LZMA) of data.
Bytes LzmaAloneEncode(const Bytes& data);

// The 54-byte header of a segment whose pack and sound sizes are known.
Bytes BuildSegmentHeader(const SegmentSpec& segment, int32_t packSize, int32_t soundSize);

// The film: segment count, directory, and per segment header, pack, sound.
Bytes BuildFilm(const FilmSpec& film);

// A .qxf file: the film followed by its length.
Bytes BuildFilmFile(const FilmSpec& film);

// "Key = Value" lines joined by CR LF (no final line break unless asked).
Bytes BuildLanguageTable(const std::vector<std::pair<std::string, std::string>>& entries,
                         bool finalLineBreak = true);

// A self-playing file: exe + table + int32 L + film + int32 F. L and F are
// the lengths unless given (for lying trailers).
Bytes BuildSelfPlaying(const Bytes& exe, const Bytes& table, const Bytes& film,
                       std::optional<int32_t> tableLength = std::nullopt,
                       std::optional<int32_t> filmLength = std::nullopt);

// MPEG-1 Layer III frames of silence (128 kbit/s, 44100 Hz, joint stereo,
// no tags) lasting about the given time.
Bytes SilentMp3(double seconds);

// Little helpers for tests that write bytes by hand.
void PutInt32(Bytes& out, int32_t value);
void PutUInt16(Bytes& out, uint16_t value);
void PutFloat(Bytes& out, float value);
void Append(Bytes& out, const Bytes& more);

// Writes bytes to a file (truncating); throws std::runtime_error on failure.
void WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);

// A small film of two segments with moving colour bars, a colour and a
// monochrome cursor, a cursor track and an MP3-kind sound block: the demo.
FilmSpec DemoFilm(int32_t width = 320, int32_t height = 240, int32_t frames = 30);

}  // namespace movarel::writer
