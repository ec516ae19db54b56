#pragma once
// Small films and shapes made by the test film writer, good ones and ones
// broken as damaged or hostile films are: the seeds of the fuzz targets and
// the films the hostile-film tests load.
#include <cstdint>
#include <vector>

#include "FilmWriter.h"

namespace movarel::hostile {

using namespace movarel::writer;

inline Image Pattern(int32_t width, int32_t height, uint32_t seed) {
    Image image(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = ((static_cast<uint32_t>(i) / 3 + seed) % 4 == 0) ? 0x00FF8040u * (seed + 1) & 0xFFFFFFu : 0;
    return image;
}

inline CursorShapeSpec SmallColourCursor(int32_t side, uint8_t bits) {
    std::vector<uint8_t> mask(static_cast<size_t>(side * side));
    std::vector<uint32_t> colours(mask.size());
    for (size_t i = 0; i < mask.size(); ++i) {
        mask[i] = (i % 3) == 0;
        colours[i] = (i % 2) ? 0x00FFFFFFu : 0x00102030u;
    }
    return ColourCursor(side, side, mask, colours, side / 2, side / 2, bits);
}

inline CursorShapeSpec SmallMonoCursor(int32_t side) {
    std::vector<uint8_t> andMask(static_cast<size_t>(side * side)), xorMask(andMask.size());
    for (size_t i = 0; i < andMask.size(); ++i) {
        andMask[i] = (i % 4) != 0;
        xorMask[i] = (i % 5) == 0;
    }
    return MonoCursor(side, side, andMask, xorMask, 1, 1);
}


inline SegmentSpec SmallSegment(Packing packing) {
    SegmentSpec seg;
    seg.width = 8;
    seg.height = 4;
    seg.packing = packing;
    seg.title = "Take";
    seg.frames = {Pattern(8, 4, 0), Pattern(8, 4, 1)};
    seg.cursors = {SmallColourCursor(4, 32), SmallMonoCursor(2)};
    seg.track = {{0, 1, 1}, {1, 2, 2}};
    seg.sound = SilentMp3(0.05);
    return seg;
}

// A film file of the test set, with what it is for the messages of a test.
struct NamedFilm {
    const char* name;
    Bytes bytes;
    bool damaged;  // a clear message is expected, not a full load
};

inline std::vector<NamedFilm> FilmSeeds() {
    std::vector<NamedFilm> films;
    const char* packingNames[] = {"stored cabinet", "MSZIP cabinet", "LZX cabinet", "LZMA stream"};
    int n = 0;
    for (Packing packing : {Packing::CabStored, Packing::CabMsZip, Packing::CabLzx, Packing::Lzma}) {
        FilmSpec film;
        film.segments = {SmallSegment(packing)};
        films.push_back({packingNames[n++], BuildFilmFile(film), false});
    }
    FilmSpec two;
    two.segments = {SmallSegment(Packing::CabMsZip), SmallSegment(Packing::Lzma)};
    two.segments[1].soundKind = kSoundWav;
    films.push_back({"two segments", BuildFilmFile(two), false});

    FilmSpec traversal;  // a cabinet name that leads outside
    traversal.segments = {SmallSegment(Packing::CabStored)};
    traversal.segments[0].cabFileName = "..\\..\\escape.dat";
    films.push_back({"cabinet name with ..", BuildFilmFile(traversal), true});

    FilmSpec absolute = traversal;
    absolute.segments[0].cabFileName = "\\tmp\\absolute.dat";
    films.push_back({"absolute cabinet name", BuildFilmFile(absolute), true});

    FilmSpec huge;  // sizes far beyond the file
    huge.segments = {SmallSegment(Packing::Lzma)};
    huge.segments[0].width = 1 << 20;
    huge.segments[0].frames.clear();
    huge.segments[0].frameCount = 3;
    huge.segments[0].frameDataSize = 0x7FFFFFF0;
    huge.segments[0].cursorCount = 1 << 30;
    films.push_back({"huge sizes", BuildFilmFile(huge), true});

    FilmSpec negative;
    negative.segments = {SmallSegment(Packing::CabMsZip)};
    negative.segments[0].packSize = -100;
    negative.segments[0].soundSize = -1;
    negative.segments[0].titleField = 0xFFFFFFFFu;
    films.push_back({"negative sizes", BuildFilmFile(negative), true});

    FilmSpec cut;
    cut.segments = {SmallSegment(Packing::CabLzx), SmallSegment(Packing::Lzma)};
    Bytes whole = BuildFilm(cut);
    cut.cutAt = whole.size() - 40;
    films.push_back({"truncated pack", BuildFilmFile(cut), true});

    FilmSpec bomb;  // a small pack that unpacks to far more than its header promises
    bomb.segments = {SmallSegment(Packing::Lzma)};
    bomb.segments[0].extra = Bytes(4 << 20, 0);
    bomb.segments[0].extraSize = 16;
    films.push_back({"LZMA bomb", BuildFilmFile(bomb), true});

    FilmSpec cabBomb = bomb;
    cabBomb.segments[0].packing = Packing::CabMsZip;
    films.push_back({"MSZIP bomb", BuildFilmFile(cabBomb), true});

    FilmSpec tableMoved;  // the listing and the decoder see different files
    tableMoved.segments = {SmallSegment(Packing::CabMsZip)};
    tableMoved.segments[0].pack = MoveFileTableOffset(
        WriteCabinet({CabFile{tableMoved.segments[0].cabFileName, BuildDataFile(tableMoved.segments[0])}},
                     CabCompression::MsZip),
        -4);
    films.push_back({"cabinet whose file-table offset lies: an empty segment", BuildFilmFile(tableMoved), false});

    FilmSpec countLies;
    countLies.segments = {SmallSegment(Packing::CabStored)};
    countLies.segmentCount = 1000;
    films.push_back({"segment count beyond the directory", BuildFilmFile(countLies), true});

    FilmSpec badKind;
    badKind.segments = {SmallSegment(Packing::Raw)};
    badKind.segments[0].packingBits = 0x3000;
    films.push_back({"unknown packing: an empty segment", BuildFilmFile(badKind), false});

    FilmSpec badMp3;
    badMp3.segments = {SmallSegment(Packing::CabMsZip)};
    badMp3.segments[0].sound = Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
    films.push_back({"sound without a frame header", BuildFilmFile(badMp3), false});
    return films;
}

}  // namespace movarel::hostile
