// Decode and apply of 1920 x 1080 32-bit frames, three kinds:
//   busy   - a page of text scrolled by 3 pixels: every text row changes,
//            in about 50,000 short runs (about 250 KB);
//   worst  - every pixel changes, one run per pixel;
//   few    - about 5% of the pixels change, in a few runs between long zero
//            runs.
// Each is decoded by
//   reference - a one-pass decoder that trusts the record: each non-zero run
//               XORed straight into the picture, zero runs skipped;
//   ours      - CheckXorRecord + ApplyXorRecord (DecodeXorRecord);
//   engine    - the engine's UnpackRecord + ApplyXorFrame, which call ours;
//   before    - the engine's earlier decoder (XOR surface and span list).
// The ratios printed at the end are frames/s of ours over the reference and
// over the earlier decoder, measured in the same run, from the fastest of the
// repetitions in CPU time (the machine may be shared; the fastest is the least
// disturbed).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "SurfaceSpanDecoder.h"
#include "engine/Player.h"
#include "engine/FrameDecoder.h"
#include "engine/XorRunDecoder.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;

namespace {

constexpr int32_t kW = 1920, kH = 1080;
constexpr size_t kPixels = static_cast<size_t>(kW) * kH;

// --- frames -------------------------------------------------------------------

// A word processor's window: title bar, toolbar, grey margins and a page of
// text lines in anti-aliased glyphs. The page is a long document; scroll is
// the first document row shown.
writer::Image DocumentScreen(int32_t scroll) {
    constexpr int32_t kCellW = 8, kCellH = 12, kLinePitch = 30, kPageLeft = 560, kPageRight = 1360, kTop = 120;
    constexpr uint32_t kInk[] = {0x000000, 0x404040, 0x909090, 0xD0D0D0};
    // 96 glyphs of random strokes, each a kCellW x kCellH mask of ink levels
    // (0 none, 1..4 darkest to lightest).
    static const std::vector<std::vector<uint8_t>> glyphs = [] {
        std::mt19937 rng(3);
        std::vector<std::vector<uint8_t>> out(96, std::vector<uint8_t>(kCellW * kCellH, 0));
        for (auto& g : out) {
            for (int stroke = 0; stroke < 2; ++stroke) {
                const bool vertical = rng() % 2;
                const int32_t x = 1 + rng() % (kCellW - 2), y = 2 + rng() % (kCellH - 4);
                const int32_t length = 3 + rng() % 6;
                for (int32_t k = 0; k < length; ++k) {
                    const int32_t px = vertical ? x : std::min(x + k, kCellW - 2);
                    const int32_t py = vertical ? std::min(y + k, kCellH - 1) : y;
                    g[py * kCellW + px] = 1;
                    // Anti-aliasing beside the stroke.
                    const int32_t ax = vertical ? px + 1 : px, ay = vertical ? py : py + 1;
                    if (ax < kCellW && ay < kCellH && g[ay * kCellW + ax] == 0)
                        g[ay * kCellW + ax] = static_cast<uint8_t>(2 + rng() % 3);
                }
            }
        }
        return out;
    }();
    writer::Image image(kPixels, 0x00E6E6E6u);
    for (int32_t y = 0; y < kH; ++y) {
        uint32_t* row = image.data() + static_cast<size_t>(y) * kW;
        if (y < 40) {
            std::fill(row, row + kW, 0x002B579Au);
            continue;
        }
        if (y < kTop) {
            std::fill(row, row + kW, 0x00F3F3F3u);
            continue;
        }
        std::fill(row + kPageLeft, row + kPageRight, 0x00FFFFFFu);
        const int32_t docY = y - kTop + scroll;
        const int32_t line = docY / kLinePitch, inLine = docY % kLinePitch;
        if (inLine >= kCellH || line % 8 == 7)
            continue;  // between lines, or the gap between paragraphs
        // Lines of words; a paragraph's last line is shorter.
        std::mt19937 rng(static_cast<uint32_t>(line) * 7919u + 1u);
        const int32_t chars = (kPageRight - kPageLeft - 80) / kCellW;
        const int32_t used = line % 7 == 6 ? chars / 3 + static_cast<int32_t>(rng() % (chars / 2)) : chars;
        int32_t word = 2 + static_cast<int32_t>(rng() % 8);
        for (int32_t c = 0; c < used; ++c) {
            const uint32_t pick = rng();
            if (word-- == 0) {
                word = 2 + static_cast<int32_t>(pick % 8);
                continue;  // a space
            }
            const std::vector<uint8_t>& g = glyphs[pick % glyphs.size()];
            uint32_t* cell = row + kPageLeft + 40 + c * kCellW;
            for (int32_t x = 0; x < kCellW; ++x)
                if (uint8_t ink = g[inLine * kCellW + x])
                    cell[x] = kInk[ink - 1];
        }
    }
    return image;
}

writer::Bytes BusyRecord() {
    return writer::EncodeFrameRecord(DocumentScreen(0), DocumentScreen(3), kW, kH);
}

writer::Bytes WorstRecord() {
    std::vector<writer::Run> runs(kPixels);
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = {(static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu) | 1u, 1};
    return writer::MakeFrameRecord(runs);
}

writer::Bytes FewRunsRecord() {
    // Every 10th row carries a changed stretch of 1000 pixels: about 5% of
    // the frame, the rest long zero runs.
    std::vector<writer::Run> runs;
    for (int32_t y = 0; y < kH; ++y) {
        if (y % 10 == 0) {
            runs.push_back({0, 400});
            runs.push_back({0x00102030u + static_cast<uint32_t>(y), 1000});
            runs.push_back({0, kW - 1400});
        } else {
            runs.push_back({0, kW});
        }
    }
    return writer::MakeFrameRecord(runs);
}

struct Record {
    const char* name;
    writer::Bytes bytes;
};

const std::vector<Record>& Records() {
    static const std::vector<Record> records = [] {
        std::vector<Record> out = {{"busy", BusyRecord()}, {"worst", WorstRecord()}, {"few", FewRunsRecord()}};
        for (const Record& r : out) {
            int32_t runs;
            std::memcpy(&runs, r.bytes.data() + 4, 4);
            std::fprintf(stderr, "%-5s frame: %d runs, %.0f KB\n", r.name, runs, r.bytes.size() / 1024.0);
        }
        return out;
    }();
    return records;
}

// --- decoders -----------------------------------------------------------------

// One pass, no checks: what decoding costs when the record is trusted.
void ReferenceDecode(const uint8_t* record, uint32_t* pixels) {
    int32_t runCount;
    std::memcpy(&runCount, record + 4, 4);
    const uint8_t* run = record + 8;
    uint32_t* at = pixels;
    for (int32_t i = 0; i < runCount; ++i, run += 5) {
        const uint32_t colour = run[0] | run[1] << 8 | run[2] << 16;
        const uint32_t count = run[3] | run[4] << 8;
        if (colour != 0)
            for (uint32_t k = 0; k < count; ++k)
                at[k] ^= colour;
        at += count;
    }
}

// A player on a one-segment film of the frame's size, its surfaces prepared.
struct Engine {
    TestDir dir;
    Film film{WorkDirectory::Create(dir.path)};
    std::unique_ptr<Player> player;
    Engine() {
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

DecodingState& PreparedEngine() {
    static Engine engine;
    return engine.player->Decoding();
}

void Count(benchmark::State& state) {
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Reference(benchmark::State& state, const Record* record) {
    std::vector<uint32_t> picture(kPixels, 0);
    for (auto _ : state) {
        ReferenceDecode(record->bytes.data(), picture.data());
        benchmark::ClobberMemory();
    }
    Count(state);
}

void BM_Ours(benchmark::State& state, const Record* record) {
    Picture picture;
    picture.Reset(kW, kH);
    const int64_t size = static_cast<int64_t>(record->bytes.size());
    for (auto _ : state) {
        if (DecodeXorRecord(record->bytes.data(), size, picture) != XorRecordCheck::Valid)
            state.SkipWithError("record refused");
        benchmark::ClobberMemory();
    }
    Count(state);
}

void BM_Engine(benchmark::State& state, const Record* record) {
    DecodingState& d = PreparedEngine();
    const int32_t size = static_cast<int32_t>(record->bytes.size());
    for (auto _ : state) {
        if (UnpackRecord(d, record->bytes.data(), size) != UnpackResult::Done)
            state.SkipWithError("record refused");
        ApplyXorFrame(d);
        benchmark::ClobberMemory();
    }
    Count(state);
}

void BM_Before(benchmark::State& state, const Record* record) {
    test::SurfaceSpanDecoder decoder(kW, kH, 32);
    std::vector<uint32_t> picture(kPixels, 0);
    const int32_t size = static_cast<int32_t>(record->bytes.size());
    for (auto _ : state) {
        if (decoder.Unpack(record->bytes.data(), size) != test::SurfaceSpanDecoder::Result::Done)
            state.SkipWithError("record refused");
        decoder.Apply(picture.data());
        benchmark::ClobberMemory();
    }
    Count(state);
}

void BM_PlainFrameCopy(benchmark::State& state) {
    std::vector<uint32_t> from(kPixels, 0x01020304), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    Count(state);
}

// Fastest seconds per frame of each benchmark, by name.
std::map<std::string, double> fastest;

double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                fastest[run.run_name.function_name] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    using Decoder = void (*)(benchmark::State&, const Record*);
    const std::pair<const char*, Decoder> decoders[] = {
        {"reference", BM_Reference}, {"ours", BM_Ours}, {"engine", BM_Engine}, {"before", BM_Before}};
    for (const Record& record : Records())
        for (const auto& [name, decoder] : decoders)
            benchmark::RegisterBenchmark((std::string(record.name) + "/" + name).c_str(), decoder, &record)
                ->Unit(benchmark::kMicrosecond)
                ->MinTime(0.3)
                ->Repetitions(7)
                ->ComputeStatistics("min", Fastest)
                ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("plain frame copy", BM_PlainFrameCopy)
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.3)
        ->Repetitions(7)
        ->ComputeStatistics("min", Fastest)
        ->ReportAggregatesOnly(true);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto frames = [](const std::string& name) {
        auto it = fastest.find(name);
        return it == fastest.end() || it->second <= 0 ? 0.0 : 1.0 / it->second;
    };
    std::printf("\n%-6s %12s %12s %12s %12s %14s %14s\n", "frame", "reference/s", "ours/s", "engine/s", "before/s",
                "ours/reference", "ours/before");
    for (const Record& record : Records()) {
        const std::string r = record.name;
        const double ref = frames(r + "/reference"), ours = frames(r + "/ours"), engine = frames(r + "/engine"),
                     before = frames(r + "/before");
        if (ref > 0 && ours > 0 && before > 0)
            std::printf("%-6s %12.0f %12.0f %12.0f %12.0f %14.2f %14.2f\n", record.name, ref, ours, engine, before,
                        ours / ref, ours / before);
    }
    std::printf("targets: ours/reference >= 0.8 for busy and worst; ours/before >= 1.0 for few\n");
    if (const double copy = frames("plain frame copy"); copy > 0)
        std::printf("plain copy of one frame: %.0f copies/s\n", copy);
    benchmark::Shutdown();
}
