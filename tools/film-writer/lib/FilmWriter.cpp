#include "FilmWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <lzma.h>
#include <stdexcept>

namespace movarel::writer {

void PutInt32(Bytes& out, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutUInt16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutFloat(Bytes& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutInt32(out, static_cast<int32_t>(bits));
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

namespace {

void PutRun(Bytes& out, uint32_t colour, uint16_t count) {
    out.push_back(static_cast<uint8_t>(colour));        // blue
    out.push_back(static_cast<uint8_t>(colour >> 8));   // green
    out.push_back(static_cast<uint8_t>(colour >> 16));  // red
    PutUInt16(out, count);
}

int32_t SizeOf(const Bytes& b) { return static_cast<int32_t>(b.size()); }

}  // namespace

// --- frame records ----------------------------------------------------------

Bytes MakeFrameRecord(const std::vector<Run>& runs, std::optional<int32_t> size,
                      std::optional<int32_t> runCount) {
    Bytes out;
    PutInt32(out, size.value_or(static_cast<int32_t>(8 + 5 * runs.size())));
    PutInt32(out, runCount.value_or(static_cast<int32_t>(runs.size())));
    for (const Run& r : runs)
        PutRun(out, r.colour, r.count);
    return out;
}

std::vector<Bytes> BusyScreenRecords(int32_t width, int32_t height, int frames) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    Image prev(pixels), img(pixels);
    std::vector<Bytes> records;
    for (int f = 0; f < frames; ++f) {
        for (size_t i = static_cast<size_t>(f) % 128; i < img.size(); i += 128)
            img[i] = static_cast<uint32_t>(i * 2654435761u + static_cast<uint32_t>(f) * 40503u) & 0xFFFFFF;
        records.push_back(EncodeFrameRecord(prev, img, width, height));
        prev = img;
    }
    return records;
}

Bytes EncodeFrameRecord(const Image& prev, const Image& next, int32_t width, int32_t height) {
    size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (next.size() != pixels || (!prev.empty() && prev.size() != pixels))
        throw std::invalid_argument("EncodeFrameRecord: image size does not match width x height");
    std::vector<Run> runs;
    size_t i = 0;
    while (i < pixels) {
        uint32_t x = (next[i] ^ (prev.empty() ? 0u : prev[i])) & 0xFFFFFFu;
        size_t j = i + 1;
        while (j < pixels && j - i < 65535 && ((next[j] ^ (prev.empty() ? 0u : prev[j])) & 0xFFFFFFu) == x)
            ++j;
        runs.push_back(Run{x, static_cast<uint16_t>(j - i)});
        i = j;
    }
    return MakeFrameRecord(runs);
}

Bytes EncodeFrameStream(const std::vector<Image>& frames, int32_t width, int32_t height) {
    Bytes out;
    const Image* prev = nullptr;
    static const Image kBlack;
    for (const Image& f : frames) {
        Append(out, EncodeFrameRecord(prev ? *prev : kBlack, f, width, height));
        prev = &f;
    }
    return out;
}

// --- cursor shapes ----------------------------------------------------------

namespace {

// 1 bpp rows, MSB first, padded to 2 bytes.
Bytes PackBits(const std::vector<uint8_t>& values, int32_t width, int32_t height) {
    size_t rowBytes = static_cast<size_t>((width + 15) / 16 * 2);
    Bytes out(rowBytes * static_cast<size_t>(height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (values.at(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)))
                out[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));
    return out;
}

}  // namespace

CursorShapeSpec ColourCursor(int32_t width, int32_t height, const std::vector<uint8_t>& andMask,
                             const std::vector<uint32_t>& colours, int32_t hotX, int32_t hotY,
                             uint8_t bitsPerPixel) {
    CursorShapeSpec s;
    s.hotX = hotX;
    s.hotY = hotY;
    s.maskBits = PackBits(andMask, width, height);
    s.maskSize = SizeOf(s.maskBits);
    s.maskWidth = width;
    s.maskHeight = height;
    s.maskBpp = 1;
    size_t pixelBytes = bitsPerPixel / 8u;
    size_t rowBytes = (static_cast<size_t>(width) * pixelBytes + 3) / 4 * 4;
    s.colourBits.assign(rowBytes * static_cast<size_t>(height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t c = colours.at(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
            uint8_t* p = &s.colourBits[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x) * pixelBytes];
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
        }
    s.colourSize = SizeOf(s.colourBits);
    s.colourWidth = width;
    s.colourHeight = height;
    s.colourBpp = bitsPerPixel;
    return s;
}

CursorShapeSpec MonoCursor(int32_t width, int32_t height, const std::vector<uint8_t>& andMask,
                           const std::vector<uint8_t>& xorMask, int32_t hotX, int32_t hotY) {
    CursorShapeSpec s;
    s.hotX = hotX;
    s.hotY = hotY;
    std::vector<uint8_t> both(andMask);
    both.insert(both.end(), xorMask.begin(), xorMask.end());
    s.maskBits = PackBits(both, width, height * 2);
    s.maskSize = SizeOf(s.maskBits);
    s.maskWidth = width;
    s.maskHeight = height * 2;
    s.maskBpp = 1;
    return s;
}

Bytes EncodeCursorShape(const CursorShapeSpec& shape) {
    Bytes out;
    PutInt32(out, shape.hotX);
    PutInt32(out, shape.hotY);
    PutInt32(out, shape.maskSize);
    PutInt32(out, shape.maskWidth);
    PutInt32(out, shape.maskHeight);
    out.push_back(shape.maskBpp);
    Append(out, shape.maskBits);
    PutInt32(out, shape.colourSize);
    PutInt32(out, shape.colourWidth);
    PutInt32(out, shape.colourHeight);
    out.push_back(shape.colourBpp);
    Append(out, shape.colourBits);
    return out;
}

Bytes EncodeCursorTrack(const std::vector<CursorSample>& samples) {
    Bytes out;
    for (const CursorSample& s : samples) {
        PutUInt16(out, s.shape);
        PutUInt16(out, s.x);
        PutUInt16(out, s.y);
    }
    return out;
}

// --- segments and films -----------------------------------------------------

namespace {

struct DataParts {
    Bytes titleBlock;  // N and the title
    Bytes cursors;
    Bytes frames;
    Bytes track;
};

DataParts BuildParts(const SegmentSpec& seg) {
    DataParts p;
    if (seg.title.size() > 255)
        throw std::invalid_argument("title longer than 255 bytes");
    // Sized first and filled: GCC's bounds check misreads an insert after a
    // push_back into an empty vector under the sanitizers.
    Bytes title(seg.title.size() + 1);
    title[0] = static_cast<uint8_t>(seg.title.size());
    std::copy(seg.title.begin(), seg.title.end(), title.begin() + 1);
    uint32_t n = seg.titleField.value_or(static_cast<uint32_t>(title.size()));
    if (seg.titleField && n <= (1u << 20))
        title.resize(n, 0);  // the field says n bytes follow: write that many
    PutInt32(p.titleBlock, static_cast<int32_t>(n));
    Append(p.titleBlock, title);
    for (const CursorShapeSpec& c : seg.cursors)
        Append(p.cursors, EncodeCursorShape(c));
    for (const Bytes& r : seg.rawCursorRecords)
        Append(p.cursors, r);
    p.frames = EncodeFrameStream(seg.frames, seg.width, seg.height);
    for (const Bytes& r : seg.rawFrameRecords)
        Append(p.frames, r);
    p.track = EncodeCursorTrack(seg.track);
    return p;
}

uint32_t PackingFlags(const SegmentSpec& seg) {
    switch (seg.packing) {
        case Packing::Lzma: return 0x2000;
        case Packing::Raw: return seg.packingBits & 0xF000;
        default: return 0;
    }
}

}  // namespace

Bytes BuildDataFile(const SegmentSpec& seg) {
    if (seg.dataFile)
        return *seg.dataFile;
    DataParts p = BuildParts(seg);
    Bytes out = p.titleBlock;
    Append(out, p.cursors);
    Append(out, p.frames);
    Append(out, p.track);
    Append(out, seg.extra);
    return out;
}

Bytes LzmaAloneEncode(const Bytes& data) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        throw std::runtime_error("lzma_lzma_preset failed");
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &options) != LZMA_OK)
        throw std::runtime_error("lzma_alone_encoder failed");
    Bytes out(data.size() + data.size() / 2 + 4096);
    strm.next_in = data.data();
    strm.avail_in = data.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret ret;
    for (;;) {
        ret = lzma_code(&strm, LZMA_FINISH);
        if (ret == LZMA_STREAM_END)
            break;
        if (ret != LZMA_OK) {
            lzma_end(&strm);
            throw std::runtime_error("lzma_code failed");
        }
        if (strm.avail_out == 0) {
            size_t used = out.size();
            out.resize(used * 2);
            strm.next_out = out.data() + used;
            strm.avail_out = out.size() - used;
        }
    }
    out.resize(strm.total_out);
    lzma_end(&strm);
    // The recorder writes the uncompressed size into the header (bytes 5..12);
    // liblzma writes "unknown". Store the real size, as the recorder does.
    uint64_t size = data.size();
    for (int i = 0; i < 8; ++i)
        out[5 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    return out;
}

Bytes PackDataFile(const Bytes& dataFile, Packing packing, const std::string& cabFileName) {
    switch (packing) {
        case Packing::CabStored:
            return WriteCabinet({CabFile{cabFileName, dataFile}}, CabCompression::Stored);
        case Packing::CabMsZip:
            return WriteCabinet({CabFile{cabFileName, dataFile}}, CabCompression::MsZip);
        case Packing::CabLzx:
            return WriteCabinet({CabFile{cabFileName, dataFile}}, CabCompression::Lzx);
        case Packing::Lzma:
            return LzmaAloneEncode(dataFile);
        case Packing::Raw:
            return dataFile;
    }
    return dataFile;
}

Bytes BuildSegmentHeader(const SegmentSpec& seg, int32_t packSize, int32_t soundSize) {
    DataParts p = BuildParts(seg);
    uint32_t flags = seg.flags.value_or((seg.pacing ? kFlagPacing : 0u) | (seg.soundKind & 0x0F00) |
                                        PackingFlags(seg) | seg.otherFlags);
    int32_t packOffset = seg.packOffset.value_or(54);
    Bytes h;
    h.push_back(seg.version);
    PutInt32(h, seg.width);
    PutInt32(h, seg.height);
    h.push_back(seg.bitsPerPixel);
    PutFloat(h, seg.fps);
    PutInt32(h, static_cast<int32_t>(flags));
    PutInt32(h, seg.frameCount.value_or(static_cast<int32_t>(seg.frames.size() + seg.rawFrameRecords.size())));
    PutInt32(h, seg.cursorCount.value_or(static_cast<int32_t>(seg.cursors.size() + seg.rawCursorRecords.size())));
    PutInt32(h, seg.cursorTrackSize.value_or(SizeOf(p.track)));
    PutInt32(h, seg.extraSize.value_or(SizeOf(seg.extra)));
    PutInt32(h, seg.frameDataSize.value_or(SizeOf(p.frames)));
    PutInt32(h, seg.packSize.value_or(packSize));
    PutInt32(h, packOffset);
    PutInt32(h, seg.soundSize.value_or(soundSize));
    PutInt32(h, seg.soundOffset.value_or(54 + packSize));
    return h;
}

Bytes BuildFilm(const FilmSpec& film) {
    size_t n = film.segments.size();
    Bytes out;
    PutInt32(out, film.segmentCount.value_or(static_cast<int32_t>(n)));
    size_t dirPos = out.size();
    out.resize(out.size() + 6 * n, 0);
    for (size_t i = 0; i < n; ++i) {
        const SegmentSpec& seg = film.segments[i];
        int32_t headerPos = static_cast<int32_t>(out.size());
        Bytes pack = seg.pack ? *seg.pack : PackDataFile(BuildDataFile(seg), seg.packing, seg.cabFileName);
        Bytes header = seg.header ? *seg.header : BuildSegmentHeader(seg, SizeOf(pack), SizeOf(seg.sound));
        Append(out, header);
        Append(out, pack);
        Append(out, seg.sound);
        Bytes entry;
        PutInt32(entry, seg.entryOffset.value_or(headerPos));
        PutUInt16(entry, static_cast<uint16_t>(seg.kind));
        std::copy(entry.begin(), entry.end(), out.begin() + static_cast<std::ptrdiff_t>(dirPos + 6 * i));
    }
    if (film.cutAt && *film.cutAt < out.size())
        out.resize(*film.cutAt);
    return out;
}

Bytes BuildFilmFile(const FilmSpec& film) {
    Bytes out = BuildFilm(film);
    PutInt32(out, SizeOf(out));
    return out;
}

Bytes BuildLanguageTable(const std::vector<std::pair<std::string, std::string>>& entries,
                         bool finalLineBreak) {
    std::string text;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += entries[i].first + " = " + entries[i].second;
    }
    if (finalLineBreak && !entries.empty())
        text += "\r\n";
    return Bytes(text.begin(), text.end());
}

Bytes BuildSelfPlaying(const Bytes& exe, const Bytes& table, const Bytes& film,
                       std::optional<int32_t> tableLength, std::optional<int32_t> filmLength) {
    Bytes out = exe;
    Append(out, table);
    PutInt32(out, tableLength.value_or(SizeOf(table)));
    Append(out, film);
    PutInt32(out, filmLength.value_or(SizeOf(film)));
    return out;
}

Bytes SilentMp3(double seconds) {
    // 1152 samples per frame at 44100 Hz; 417 bytes per frame at 128 kbit/s
    // without padding. All-zero side information decodes as silence.
    int frames = std::max(1, static_cast<int>(std::ceil(seconds * 44100.0 / 1152.0)));
    Bytes out;
    out.reserve(static_cast<size_t>(frames) * 417);
    for (int i = 0; i < frames; ++i) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
        out.insert(out.end(), header, header + 4);
        out.resize(out.size() + 413, 0);
    }
    return out;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        throw std::runtime_error("cannot create " + path);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// --- the demo film ----------------------------------------------------------

namespace {

std::vector<Image> ColourBars(int32_t width, int32_t height, int32_t frames, int32_t phase) {
    static const uint32_t kBars[] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                                     0xFF00FF, 0xFF0000, 0x0000FF, 0x202020};
    std::vector<Image> out;
    for (int32_t f = 0; f < frames; ++f) {
        Image img(static_cast<size_t>(width) * static_cast<size_t>(height));
        int32_t barWidth = std::max(1, width / 8);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                int32_t bar = ((x + f * 4 + phase) / barWidth) % 8;
                img[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = kBars[bar];
            }
        out.push_back(std::move(img));
    }
    return out;
}

CursorShapeSpec ArrowCursor() {
    const int32_t w = 16, h = 16;
    std::vector<uint8_t> andMask(static_cast<size_t>(w * h), 1);
    std::vector<uint32_t> colours(static_cast<size_t>(w * h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x <= y / 2 + y / 4 && x < w; ++x) {
            andMask[static_cast<size_t>(y * w + x)] = 0;
            bool edge = x == 0 || x == y / 2 + y / 4 || y == h - 1;
            colours[static_cast<size_t>(y * w + x)] = edge ? 0x000000 : 0xFFFFFF;
        }
    return ColourCursor(w, h, andMask, colours, 0, 0, 32);
}

CursorShapeSpec CrossCursor() {
    const int32_t w = 16, h = 16;
    std::vector<uint8_t> andMask(static_cast<size_t>(w * h), 1);
    std::vector<uint8_t> xorMask(static_cast<size_t>(w * h), 0);
    for (int32_t i = 0; i < w; ++i) {
        xorMask[static_cast<size_t>(7 * w + i)] = 1;
        xorMask[static_cast<size_t>(i * w + 7)] = 1;
    }
    return MonoCursor(w, h, andMask, xorMask, 7, 7);
}

}  // namespace

FilmSpec DemoFilm(int32_t width, int32_t height, int32_t frames) {
    FilmSpec film;
    for (int s = 0; s < 2; ++s) {
        SegmentSpec seg;
        seg.width = width;
        seg.height = height;
        seg.bitsPerPixel = 32;
        seg.fps = 10.0f;
        seg.packing = s == 0 ? Packing::CabLzx : Packing::Lzma;
        seg.title = s == 0 ? "Colour bars" : "Colour bars, second take";
        seg.frames = ColourBars(width, height, frames, s * 16);
        seg.cursors = {ArrowCursor(), CrossCursor()};
        for (int32_t f = 0; f < frames; ++f)
            seg.track.push_back(CursorSample{static_cast<uint16_t>((f / 10) % 2),
                                             static_cast<uint16_t>((f * 7) % width),
                                             static_cast<uint16_t>((f * 5) % height)});
        seg.soundKind = kSoundMp3;
        seg.sound = SilentMp3(frames / 10.0);
        film.segments.push_back(std::move(seg));
    }
    return film;
}

}  // namespace movarel::writer
