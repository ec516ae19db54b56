// Real-time headless playback of a 1920 x 1080 32-bit segment at the fastest
// speed (position 8, a 1 ms period) on the real timer thread, with the main
// thread refilling blocks; frames per second achieved and peak resident memory.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "FilmWriter.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/Texts.h"
#include "film/Picture.h"

using namespace movarel;

namespace {

constexpr int32_t kW = 1920, kH = 1080, kFrames = 1500;

// Stands in for the main window: every whole picture is copied into a
// presentation buffer, as the shell does, and the loop below hands the
// player's events back on this thread.
class BenchSink : public FrameSink {
public:
    void PresentFrame(const Picture& picture) override {
        std::lock_guard<std::mutex> guard(presentLock);
        presented.assign(picture.Pixels.begin(), picture.Pixels.end());
    }

private:
    std::mutex presentLock;
    std::vector<uint32_t> presented;
};

// Handles what the player posted; true once the end of the segment arrived.
bool Pump(Player& player) {
    bool ended = false;
    for (const PlayerEvent& event : player.Events().Take()) {
        if (std::holds_alternative<SegmentEnded>(event)) {
            ended = true;
        } else if (const auto* refill = std::get_if<BlockNeeded>(&event)) {
            if (refill->generation == player.Blocks().Generation.load())
                player.DoBlockEmpty(&player.Blocks().Blocks[refill->block]);
        }
    }
    return ended;
}

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void WriteSegment(Film& film) {
    Segment* s = film.Add();
    s->Width = kW;
    s->Height = kH;
    s->BitsPerPixel = 32;
    s->Fps = 25;
    s->FrameCount = kFrames;
    // A first full picture of bands, then frames in which a stretch of every
    // 10th row changes (about 5% of the pixels).
    std::vector<writer::Run> runs;
    for (int32_t i = 0; i < kW * kH / 60000; ++i)
        runs.push_back({0x00406080u + static_cast<uint32_t>(i), 60000});
    runs.push_back({0x00FFFFFF, static_cast<uint16_t>(kW * kH % 60000)});
    writer::Bytes first = writer::MakeFrameRecord(runs);
    s->FrameStream->Write(first.data(), static_cast<int32_t>(first.size()));
    for (int f = 1; f < kFrames; ++f) {
        runs.clear();
        for (int32_t y = 0; y < kH; ++y) {
            if ((y + f) % 10 == 0) {
                runs.push_back({0, 400});
                runs.push_back({0x00010203u * static_cast<uint32_t>(f % 50 + 1), 1000});
                runs.push_back({0, kW - 1400});
            } else {
                runs.push_back({0, kW});
            }
        }
        writer::Bytes record = writer::MakeFrameRecord(runs);
        s->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
    }
    s->FrameStream->SetPosition(0);
}

double achievedFps = 0;
long peakKiB = 0;

void BM_RealTimePlaybackAtMaxSpeed(benchmark::State& state) {
    SetDefaultTexts();
    Film film;
    WriteSegment(film);
    BenchSink sink;
    PlayerSetup setup;
    setup.Sink = &sink;
    setup.SpeedPosition = 8;
    Player player(film, setup);
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        player.StartSegment(0);
        while (!Pump(player))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        achievedFps = (player.Clock().FrameIndex + 1) / seconds;
        state.SetIterationTime(seconds);
    }
    player.StopPlaybackForLoad();
    peakKiB = PeakRssKiB();
    state.counters["frames/s"] = achievedFps;
}

BENCHMARK(BM_RealTimePlaybackAtMaxSpeed)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // One tick per frame: the tick comes every period (1 ms) and sleeps 1 ms
    // inside the lock, so the clock cannot run faster than one frame per 2 ms.
    std::printf("\nplayback at speed position 8: %.0f frames/s achieved; bound 500 frames/s (1 ms period + 1 ms sleep)\n",
                achievedFps);
    const double frameMiB = kW * kH * 4 / 1048576.0;
    const double limitMiB = 2 * 16 + 3 * frameMiB + 30;
    std::printf("peak resident memory: %.1f MiB; limit %.1f MiB (two blocks, three frames of %.1f MiB, 30 MiB)\n",
                peakKiB / 1024.0, limitMiB, frameMiB);
    benchmark::Shutdown();
}
