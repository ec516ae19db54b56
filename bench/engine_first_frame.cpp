// From StartSegment to the segment's first frame presented, on the real
// timer thread, for a 1920 x 1080 32-bit segment at 10 and at 1 frames per
// second, at one and at three ticks per frame. The first frame should appear
// when the segment starts, not one timer period later.
// Target: under 50 ms at every rate.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FilmWriter.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "film/Picture.h"

using namespace movarel;

namespace {

constexpr int32_t kW = 1920, kH = 1080, kFrames = 20;
constexpr double kTargetMs = 50;

// Stands in for the main window: the first whole picture's time is taken.
class BenchSink : public FrameSink {
public:
    void PresentFrame(const Picture&) override {
        if (!presented.exchange(true))
            at = std::chrono::steady_clock::now();
    }
    std::atomic<bool> presented{false};
    std::chrono::steady_clock::time_point at;
};

void WriteSegment(Film& film, uint8_t fps, bool threeTicks) {
    Segment* s = film.Add();
    s->Width = kW;
    s->Height = kH;
    s->BitsPerPixel = 32;
    s->Fps = fps;
    s->Flags = threeTicks ? 1 : 0;
    s->FrameCount = kFrames;
    for (const writer::Bytes& record : writer::BusyScreenRecords(kW, kH, kFrames))
        s->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
    s->FrameStream->SetPosition(0);
}

std::vector<std::string> lines;

// Args: frames per second, three ticks per frame (0 or 1).
void BM_StartSegmentToFirstFrame(benchmark::State& state) {
    SetDefaultTexts();
    const auto fps = static_cast<uint8_t>(state.range(0));
    const bool threeTicks = state.range(1) != 0;
    Film film;
    WriteSegment(film, fps, threeTicks);
    BenchSink host;
    PlayerSetup setup;
    setup.Sink = &host;
    Player player(film, setup);
    double worst = 0;
    for (auto _ : state) {
        player.Events().Take();
        host.presented = false;
        const auto start = std::chrono::steady_clock::now();
        if (!player.StartSegment(0)) {
            state.SkipWithError("the segment did not start");
            break;
        }
        while (!host.presented && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            player.RefillPostedBlocks();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        if (!host.presented) {
            state.SkipWithError("no frame was presented");
            break;
        }
        const double seconds = std::chrono::duration<double>(host.at - start).count();
        worst = std::max(worst, seconds * 1000);
        state.SetIterationTime(seconds);
        player.StopPlaybackForLoad();
        player.RefillPostedBlocks();
    }
    player.StopPlaybackForLoad();
    char line[160];
    std::snprintf(line, sizeof line, "%3d fps, %d tick(s) per frame: first frame after at most %.1f ms; target under %.0f ms: %s",
                  int{fps}, threeTicks ? 3 : 1, worst, kTargetMs, worst < kTargetMs ? "met" : "NOT met");
    lines.emplace_back(line);
}

BENCHMARK(BM_StartSegmentToFirstFrame)
    ->Args({10, 0})
    ->Args({1, 0})
    ->Args({10, 1})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n");
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    benchmark::Shutdown();
}
