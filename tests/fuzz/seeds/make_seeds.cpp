// Writes a seed corpus for each fuzz target: fuzz_seeds OUT_DIR makes
// OUT_DIR/<target>/seed-N files. Every seed is made by the test film writer,
// good ones and ones broken in the ways a damaged film is.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../HostileFilms.h"
#include "FilmWriter.h"

namespace fs = std::filesystem;
using namespace movarel::writer;
using namespace movarel::hostile;
using Seeds = std::vector<Bytes>;

namespace {

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// --- MP3 header -------------------------------------------------------------

Seeds Mp3Seeds() {
    Bytes good = SilentMp3(0.1);
    Bytes id3 = FromText("ID3\x03");
    id3.resize(16, 0);
    Append(id3, good);
    Bytes reservedVersion = good;
    reservedVersion[1] = static_cast<uint8_t>((reservedVersion[1] & ~0x18) | 0x08);
    Bytes badRate = good;
    badRate[2] = static_cast<uint8_t>(badRate[2] | 0xF0);
    Bytes mpeg25 = good;
    mpeg25[1] = static_cast<uint8_t>(mpeg25[1] & ~0x18);
    return {good, Bytes(good.begin(), good.begin() + 3), id3, reservedVersion, badRate, mpeg25, {}};
}

// --- command line -----------------------------------------------------------

Bytes CommandLine(uint16_t screenWidth, uint16_t screenHeight, const std::vector<std::string>& args) {
    Bytes out;
    PutUInt16(out, static_cast<uint16_t>(screenWidth / 16));
    PutUInt16(out, static_cast<uint16_t>(screenHeight / 16));
    for (const std::string& arg : args) {
        Append(out, FromText(arg));
        out.push_back(0);
    }
    return out;
}

Seeds CommandLineSeeds() {
    return {
        CommandLine(1920, 1080, {"/home/u/Film.qxf", "/size", "800", "600", "/pos", "c", "/segm", "2"}),
        CommandLine(1024, 768, {"-size", "fullscreen", "-closeonfinish"}),
        CommandLine(800, 600, {"/size", "max", "/pos", "r", "b", "/help"}),
        CommandLine(800, 600, {"/pos", "$7FFFFFFF", "-0x80000000", "/size", "1024", "768"}),
        CommandLine(0, 0, {"/segm", "x10", "/size", "min", "/?", "/pos", "l", "t"}),
        CommandLine(640, 480, {"/size", "99999999999", "/segm"}),
    };
}

// --- cursor shapes and frame decoding -------------------------------------------

Seeds CursorShapeSeeds() {
    CursorShapeSpec lying = SmallColourCursor(8, 32);
    lying.colourSize = 1 << 30;
    CursorShapeSpec huge = SmallMonoCursor(8);
    huge.maskWidth = 100000;
    CursorShapeSpec negative = SmallColourCursor(4, 24);
    negative.maskHeight = -4;
    negative.hotX = -2147483647 - 1;
    Bytes two = EncodeCursorShape(SmallColourCursor(16, 32));
    Append(two, EncodeCursorShape(SmallMonoCursor(32)));
    Bytes cut = EncodeCursorShape(SmallColourCursor(12, 24));
    cut.resize(cut.size() / 2);
    return {two, EncodeCursorShape(SmallColourCursor(5, 24)), EncodeCursorShape(lying), EncodeCursorShape(huge),
            EncodeCursorShape(negative), cut};
}

struct DecodingInput {
    int32_t width = 8, height = 6;
    uint8_t depthSelector = 0;  // 0: 32 bits, 1: 24 bits, else no layout
    std::vector<CursorShapeSpec> shapes;
    std::vector<CursorSample> track;
    Bytes frames;
};

Bytes EncodeDecodingInput(const DecodingInput& in) {
    Bytes out = {static_cast<uint8_t>(in.width - 1), static_cast<uint8_t>(in.height - 1), in.depthSelector,
                 static_cast<uint8_t>(in.shapes.size())};
    for (const CursorShapeSpec& shape : in.shapes) {
        Bytes record = EncodeCursorShape(shape);
        PutUInt16(out, static_cast<uint16_t>(record.size()));
        Append(out, record);
    }
    PutUInt16(out, static_cast<uint16_t>(in.track.size()));
    Append(out, EncodeCursorTrack(in.track));
    Append(out, in.frames);
    return out;
}

Seeds FrameDecodingSeeds() {
    Seeds seeds;
    DecodingInput plain;
    plain.shapes = {SmallColourCursor(4, 32), SmallMonoCursor(3)};
    plain.track = {{0, 1, 1}, {1, 7, 5}, {0, 0, 0}, {1, 65535, 3}};
    plain.frames = EncodeFrameStream({Pattern(8, 6, 0), Pattern(8, 6, 1), Pattern(8, 6, 2)}, 8, 6);
    seeds.push_back(EncodeDecodingInput(plain));

    DecodingInput odd = plain;  // 24 bits with row padding
    odd.width = 7;
    odd.height = 3;
    odd.depthSelector = 1;
    odd.frames = EncodeFrameStream({Pattern(7, 3, 3), Pattern(7, 3, 0)}, 7, 3);
    seeds.push_back(EncodeDecodingInput(odd));

    DecodingInput lying = plain;  // records that lie about their size and runs
    lying.frames = MakeFrameRecord({{0x00FF0000, 48}}, 1 << 30);
    Append(lying.frames, MakeFrameRecord({{0x0000FF00, 47}}));
    Append(lying.frames, MakeFrameRecord({{0x000000FF, 48}}, std::nullopt, 5000));
    Append(lying.frames, MakeFrameRecord({{0x00123456, 49}}));
    seeds.push_back(EncodeDecodingInput(lying));

    DecodingInput wide = plain;  // one run wrapping every row, large box
    wide.width = 64;
    wide.height = 64;
    wide.shapes = {SmallColourCursor(32, 24)};
    wide.track = {{0, 63, 63}, {0, 0, 0}, {7, 1, 1}};
    wide.frames = MakeFrameRecord({{0x00ABCDEF, 4096}});
    Append(wide.frames, MakeFrameRecord({{0, 100}, {0x00010101, 3996}}));
    seeds.push_back(EncodeDecodingInput(wide));

    DecodingInput noLayout = plain;
    noLayout.depthSelector = 2;
    seeds.push_back(EncodeDecodingInput(noLayout));
    return seeds;
}

Seeds FilmLoadSeeds() {
    Seeds seeds;
    for (NamedFilm& film : FilmSeeds())
        seeds.push_back(std::move(film.bytes));
    // A language table in front of the film, as in a self-playing file.
    FilmSpec film;
    film.segments = {SmallSegment(Packing::CabMsZip)};
    seeds.push_back(BuildSelfPlaying(Bytes{0x7F, 'E', 'L', 'F'},
                                     BuildLanguageTable({{"CannotReadFile", "%s %d %s"}, {"Error", "Fehler"}}),
                                     BuildFilm(film)));
    return seeds;
}

// --- language table -------------------------------------------------------------

Seeds StringListSeeds() {
    return {
        FromText("Error = Fehler\r\nWarning = Achtung\r\n"),
        FromText("InvalidVersionFormat = Segment %d %s\r\n\r\nPlay=\r\n"),
        Bytes{'E', 'r', 'r', 'o', 'r', 0, '=', 'x', '\r', 'P', 'l', 'a', 'y', ' ', '=', ' ', 'a', '=', 'b'},
        BuildLanguageTable({{"CannotReadFile", "Datei %s %s %d %%"}, {"Load", "&Laden\bCtrl+O"}}),
        BuildLanguageTable({{"WrongDisplaySettings", "%d%d%d%s%s"}, {"x", std::string(300, 'y')}}, false),
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    std::map<std::string, Seeds> all = {
        {"fuzz_stringlist", StringListSeeds()},
        {"fuzz_mp3_info", Mp3Seeds()},
        {"fuzz_command_line", CommandLineSeeds()},
        {"fuzz_cursor_shape", CursorShapeSeeds()},
        {"fuzz_frame_decoding", FrameDecodingSeeds()},
        {"fuzz_film_load", FilmLoadSeeds()},
    };
    for (const auto& [target, seeds] : all) {
        fs::path dir = fs::path(argv[1]) / target;
        fs::create_directories(dir);
        for (size_t i = 0; i < seeds.size(); ++i) {
            std::ofstream out(dir / ("seed-" + std::to_string(i)), std::ios::binary);
            out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
            if (!out) {
                std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", (dir / ("seed-" + std::to_string(i))).c_str());
                return 1;
            }
        }
    }
    return 0;
}
