// Loading a large LZX-packed film against libmspack alone extracting the same
// cabinet, in the same run. Target: the load takes at most 1.2x the extraction.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <mspack.h>
#include <unistd.h>

#include "FilmWriter.h"
#include "film/FilmReader.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;
using namespace movarel::writer;

namespace {

constexpr int kFrames = 200;

struct Fixture {
    TestDir dir;
    WorkDirectory work;
    std::string film, cab;
    Fixture() {
        SegmentSpec s;
        s.width = 1920;
        s.height = 1080;
        s.packing = Packing::CabLzx;
        s.rawFrameRecords = BusyScreenRecords(1920, 1080, kFrames);
        Bytes data = BuildDataFile(s);
        Bytes pack = PackDataFile(data, Packing::CabLzx, s.cabFileName);
        FilmSpec filmSpec;
        s.pack = pack;
        s.rawFrameRecords.clear();
        s.frameDataSize = static_cast<int32_t>(data.size() - 4 - 1);
        s.frameCount = kFrames;
        filmSpec.segments = {s};
        film = dir.path + "big.qxf";
        cab = dir.path + "big.cab";
        WriteFileBytes(film, BuildFilmFile(filmSpec));
        WriteFileBytes(cab, pack);
        work = WorkDirectory::Create(dir.path);
        SetMessageBoxHandler([](const MessageRequest& m) { std::fprintf(stderr, "%s\n", m.text.c_str()); });
    }
};
Fixture& F() {
    static Fixture f;
    return f;
}

void BM_LoadFilm(benchmark::State& state) {
    for (auto _ : state) {
        // As the open dialog loads a film: the file from its start into a new
        // work directory, and the film deleted again with its files.
        FileStream file(F().film, kModeRead);
        FilmRead read = ReadFilm(file, WorkDirectory::Create(F().dir.path));
        if (!read.isFilm || read.film->Count() != 1 || read.film->Items(0)->FrameStream->Length() == 0)
            state.SkipWithError("the film did not load");
    }
}

void BM_MspackExtract(benchmark::State& state) {
    mscab_decompressor* d = mspack_create_cab_decompressor(nullptr);
    std::string out = F().work.Path() + "plain.dat";
    for (auto _ : state) {
        mscabd_cabinet* c = d->open(d, const_cast<char*>(F().cab.c_str()));
        if (!c || d->extract(d, c->files, const_cast<char*>(out.c_str())) != MSPACK_ERR_OK)
            state.SkipWithError("libmspack failed");
        if (c)
            d->close(d, c);
        ::unlink(out.c_str());
    }
    mspack_destroy_cab_decompressor(d);
}

}  // namespace

BENCHMARK(BM_MspackExtract)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadFilm)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    F();  // the film is written before any timing starts
    struct Reporter : benchmark::ConsoleReporter {
        double extract = 0, load = 0;
        void ReportRuns(const std::vector<Run>& runs) override {
            for (const Run& r : runs) {
                if (r.benchmark_name().find("Mspack") != std::string::npos)
                    extract = r.GetAdjustedRealTime();
                else
                    load = r.GetAdjustedRealTime();
            }
            ConsoleReporter::ReportRuns(runs);
        }
    } reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.extract > 0)
        std::printf("film load %.1f ms, libmspack extract %.1f ms, ratio %.2f (target <= 1.20)\n", reporter.load,
                    reporter.extract, reporter.load / reporter.extract);
    F().work.Remove();
    return 0;
}
