// Decode and apply of 1920 x 1080 32-bit frames: a typical screen-recording
// frame (about 5% of the pixels change, in a few runs between long zero runs)
// and the worst case (every pixel changes, one run per pixel), against one
// plain copy of the whole frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "FilmWriter.h"
#include "engine/FrameDecoder.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/MessageTexts.h"

using namespace movarel;

namespace {

constexpr int32_t kW = 1920, kH = 1080;

writer::Bytes TypicalRecord() {
    // Every 10th row carries a changed stretch of 1000 pixels: about 5% of
    // the frame, the rest long zero runs.
    std::vector<writer::Run> runs;
    int64_t changed = 0;
    for (int32_t y = 0; y < kH; ++y) {
        if (y % 10 == 0) {
            runs.push_back({0, 400});
            runs.push_back({0x00102030u + static_cast<uint32_t>(y), 1000});
            runs.push_back({0, kW - 1400});
            changed += 1000;
        } else {
            runs.push_back({0, kW});
        }
    }
    std::fprintf(stderr, "typical frame: %.1f%% of the pixels change, %zu runs\n", 100.0 * changed / (kW * kH),
                 runs.size());
    return writer::MakeFrameRecord(runs);
}

writer::Bytes WorstRecord() {
    std::vector<writer::Run> runs(static_cast<size_t>(kW) * kH);
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = {(static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu) | 1u, 1};
    return writer::MakeFrameRecord(runs);
}

struct Figures {
    double typical = 0, worst = 0, copy = 0;  // seconds per frame
} figures;

// One 1920 x 1080 segment and a player prepared to decode it.
struct Decoder {
    Film film;
    std::unique_ptr<Player> player;
    Decoder() {
        SetDefaultTexts();
        Segment* s = film.Add();
        s->Width = kW;
        s->Height = kH;
        s->BitsPerPixel = 32;
        s->Fps = 25;
        PlayerSetup setup;
        setup.ManualTicks = true;
        player = std::make_unique<Player>(film, setup);
        player->PrepareDisplay();
        ClearFrameBitmaps(player->Decoding());
    }
};

Decoder& Prepared() {
    static Decoder decoder;
    return decoder;
}

void DecodeApply(benchmark::State& state, const writer::Bytes& record) {
    DecodingState& d = Prepared().player->Decoding();
    for (auto _ : state) {
        UnpackRecord(d, record.data(), static_cast<int32_t>(record.size()));
        ApplyXorFrame(d);
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeTypical(benchmark::State& state) {
    static const writer::Bytes record = TypicalRecord();
    DecodeApply(state, record);
}

void BM_DecodeWorstCase(benchmark::State& state) {
    static const writer::Bytes record = WorstRecord();
    DecodeApply(state, record);
}

void BM_PlainFrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(static_cast<size_t>(kW) * kH, 0x01020304), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_DecodeTypical)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_DecodeWorstCase)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

// Collects the per-frame times to print the ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string name = run.benchmark_name();
            if (name.find("Typical") != std::string::npos)
                figures.typical = seconds;
            else if (name.find("Worst") != std::string::npos)
                figures.worst = seconds;
            else if (name.find("Copy") != std::string::npos)
                figures.copy = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (figures.typical > 0 && figures.copy > 0) {
        std::printf("\ntypical 5%% frame: %.0f frames/s (target >= 2000)\n", 1.0 / figures.typical);
        std::printf("plain copy of one frame (baseline): %.0f copies/s\n", 1.0 / figures.copy);
        std::printf("decode+apply time / plain copy time: %.2f\n", figures.typical / figures.copy);
    }
    if (figures.worst > 0)
        std::printf("worst case (one run per pixel): %.1f frames/s, %.2f x a plain copy\n", 1.0 / figures.worst,
                    figures.worst / figures.copy);
    benchmark::Shutdown();
}
