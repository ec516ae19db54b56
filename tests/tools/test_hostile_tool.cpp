// Every movarel-tool command on the hostile films of the player's tests and
// on cabinets of each compression damaged in the middle of their data: a
// film error ends the command with a message and status 1, never an abort,
// and the work directory in the private TMPDIR is gone afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../fuzz/HostileFilms.h"
#include "CabWriter.h"
#include "FilmWriter.h"
#include "run_command.h"
#include "test_dirs.h"

using namespace movarel::writer;

namespace {

// A segment whose data file fills three cabinet blocks, so that damage to
// the second block lies in the middle of the data.
SegmentSpec LargeSegment() {
    SegmentSpec seg = movarel::hostile::SmallSegment(Packing::CabStored);
    seg.extra.resize(80000);
    for (size_t i = 0; i < seg.extra.size(); ++i)
        seg.extra[i] = static_cast<uint8_t>((i * 7) ^ (i >> 5));
    return seg;
}

Bytes FilmWithPack(const Bytes& pack) {
    FilmSpec film;
    film.segments = {LargeSegment()};
    film.segments[0].pack = pack;
    return BuildFilmFile(film);
}

struct DamagedCabinet {
    std::string name;
    Bytes film;
};

// Each compression the cabinet format has, its middle block garbled and,
// apart, the cabinet cut in the middle of its data. Quantum and LZX-garbage
// folders hold stored data that their decoder cannot make sense of. Stored
// data has no decoder to fail: its garbled block keeps its checksum, which
// then fails.
std::vector<DamagedCabinet> DamagedCabinets() {
    const SegmentSpec seg = LargeSegment();
    const std::vector<CabFile> files = {CabFile{seg.cabFileName, BuildDataFile(seg)}};
    const Bytes stored = WriteCabinet(files, CabCompression::Stored);
    struct Kind {
        const char* name;
        Bytes cab;
    };
    const std::vector<Kind> kinds = {
        {"stored", stored},
        {"MSZIP", WriteCabinet(files, CabCompression::MsZip)},
        {"LZX", WriteCabinet(files, CabCompression::Lzx)},
        {"Quantum", SetFolderCompression(stored, kCabTypeQuantum)},
    };
    std::vector<DamagedCabinet> out;
    for (const Kind& k : kinds) {
        const bool stored = k.name == std::string("stored");
        out.push_back({std::string(k.name) + " cabinet, middle block garbled",
                       FilmWithPack(GarbleDataBlock(k.cab, 1, !stored))});
        Bytes cut(k.cab.begin(), k.cab.begin() + static_cast<long>(k.cab.size() / 2));
        out.push_back({std::string(k.name) + " cabinet cut in the middle", FilmWithPack(cut)});
    }
    out.push_back({"LZX folder of stored data", FilmWithPack(SetFolderCompression(stored, 3 | (21 << 8)))});
    // The decoder takes the file table; the listing finds an entry beyond
    // any size a segment can have and calls the cabinet corrupt.
    Bytes huge = SetFolderCompression(stored, kCabTypeQuantum);
    const size_t entry = huge[16] | (huge[17] << 8);
    for (size_t i = 0; i < 4; ++i)
        huge[entry + i] = 0xF0;
    out.push_back({"Quantum cabinet whose file claims 4 GiB", FilmWithPack(huge)});
    return out;
}

struct ToolCommand {
    const char* name;
    std::string args;  // FILM, OUT and PLAYER are replaced
};

std::string Filled(std::string args, const std::string& film, const std::string& out) {
    auto put = [&](const std::string& key, const std::string& value) {
        for (size_t at; (at = args.find(key)) != std::string::npos;)
            args.replace(at, key.size(), Quote(value));
    };
    put("FILM", film);
    put("OUT", out);
    put("PLAYER", ToolPath());
    return args;
}

const std::vector<ToolCommand>& Commands() {
    static const std::vector<ToolCommand> commands = {
        {"info", "info FILM"},
        {"info from the start", "info FILM --from-start"},
        {"frames --digest", "frames FILM --digest"},
        {"frames --out", "frames FILM --out OUT"},
        {"frames --video", "frames FILM --video OUT.mp4"},
        {"bundle", "bundle FILM --out OUT --player PLAYER"},
#if MOVAREL_HAS_THUMBNAIL
        {"thumbnail", "thumbnail FILM OUT.png 64"},
#endif
    };
    return commands;
}

// One command on one film: an exit of 0 or 1, a message with 1, no abort,
// nothing left in TMPDIR, and beside the film no scratch file of an export.
void Check(const std::string& filmName, const Bytes& bytes, bool mustFail) {
    for (const ToolCommand& c : Commands()) {
        SCOPED_TRACE(filmName + ", " + c.name);
        TestDir tmp, work;
        WriteFileBytes(work.path + "film.qxf", bytes);
        const std::string out = work.path + "out";
        const CommandRun r = RunCommand("TMPDIR=" + Quote(tmp.path) + " " + Quote(ToolPath()) + " " +
                                        Filled(c.args, work.path + "film.qxf", out) + " 2>&1");
        EXPECT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << "\n" << r.out;
        EXPECT_EQ(r.out.find("terminate called"), std::string::npos) << r.out;
        if (r.status == 1) {
            // info's messages are in its JSON; the others write to stderr.
            EXPECT_FALSE(r.out.empty() || r.out.find("\"messages\": []") != std::string::npos)
                << "status 1 without a message\n" << r.out;
        }
        if (mustFail && std::string(c.name).rfind("bundle", 0) != 0) {
            EXPECT_EQ(r.status, 1) << r.out;
        }
        EXPECT_EQ(tmp.Files(), std::vector<std::string>{}) << "left in TMPDIR";
        for (const std::string& name : work.Files())
            // The folder of --out is made before the film is read; a video may be
            // finished though part of the film was refused.
            // A thumbnail is there only when its command succeeded.
            EXPECT_TRUE(name == "film.qxf" || name == "out" || name == "out.mp4" || (name == "out.png" && r.status == 0))
                << name << " left beside the film\n" << r.out;
    }
}

}  // namespace

TEST(ToolOnHostileFilms, EveryCommandEndsAFilmErrorWithAMessageAndCleansUp) {
    for (const movarel::hostile::NamedFilm& film : movarel::hostile::FilmSeeds())
        Check(film.name, film.bytes, false);
}

// The decoder declares these corrupt while extracting: every command that
// loads the film reports it with status 1.
TEST(ToolOnHostileFilms, CabinetsDamagedInTheMiddleOfTheirDataAreReported) {
    for (const DamagedCabinet& film : DamagedCabinets())
        Check(film.name, film.film, true);
}
