// Drift of the picture from the sound over 10 minutes of a 30 fps segment, at
// 1.0x and 1.5x, in simulated time: the player's ticks run by hand at the
// timer's rounded period while a stand-in sound reports the track time that
// real sound would play. The clock that follows the sound, the clock that
// follows the exact frame rate without sound, and the old clock that shows one
// frame a period, side by side: the largest offset between the frame on screen
// and the sound.
//
// The offset, in track time: frame f is in sync while the sound's time lies
// in its stay, from f / fps to (f + 1) / fps; otherwise the offset is how far
// the sound's time lies outside it. It is measured when each tick's frame
// appears and just before the next tick replaces it, the ends of the stay
// (in between it changes linearly). The earlier figure, the sound's time
// against the frame's start alone, is printed beside it: it counts a frame
// shown exactly in sync as up to a frame (33 ms) off.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "platform/Texts.h"

using namespace movarel;

namespace {

constexpr int32_t kFps = 30;
constexpr double kTrackSeconds = 600;
// The old clock runs ahead of the sound: frames to spare so it never ends
// the segment first.
constexpr int32_t kFrames = static_cast<int32_t>(kTrackSeconds * kFps) + 1000;

enum class Pacing { Sound, Clock, OneFramePerTick };

// Reports the simulated track time, as a sound heard at the device would.
class SimulatedSound : public PlayerSound {
public:
    std::optional<double> PlayedSeconds() const override {
        if (!audible)
            return std::nullopt;
        return heard;
    }
    bool audible = false;
    double heard = 0;
};

class ShownFrame : public FrameSink {
public:
    explicit ShownFrame(Player** p) : player(p) {}
    void PresentFrame(const Picture&) override { frame = (*player)->Clock().FrameIndex; }
    Player** player;
    int32_t frame = -1;
};

void WriteSegment(Film& film) {
    Segment* s = film.Add();
    s->Width = 4;
    s->Height = 2;
    s->BitsPerPixel = 32;
    s->Fps = kFps;
    s->FrameCount = kFrames;
    for (int32_t f = 0; f < kFrames; ++f) {
        writer::Bytes record = writer::MakeFrameRecord({{static_cast<uint32_t>(f), 8}});
        s->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
    }
    s->FrameStream->SetPosition(0);
}

struct Drift {
    double largestMs = 0;       // the sound's time outside the frame on screen
    double largestStartMs = 0;  // the sound's time against the frame's start
    double endMs = 0;           // at the end of the 10 minutes
    int32_t period = 0;
};

Drift Simulate(Pacing pacing, double factor) {
    SetDefaultTexts();
    Film film;
    WriteSegment(film);
    SimulatedSound sound;
    Player* self = nullptr;
    ShownFrame shown(&self);
    const auto origin = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    std::chrono::microseconds elapsed{0};
    PlayerSetup setup;
    setup.Sink = &shown;
    setup.Sound = &sound;
    setup.ManualTicks = true;
    if (pacing != Pacing::OneFramePerTick)
        setup.Now = [&] { return origin + elapsed; };
    Player player(film, setup);
    self = &player;
    player.SetSpeedFactor(factor);
    sound.audible = pacing == Pacing::Sound;
    player.StartSegment(0);
    Drift drift;
    drift.period = player.Clock().Period;
    const auto period = std::chrono::milliseconds(drift.period);
    auto trackAt = [&](std::chrono::microseconds at) { return std::chrono::duration<double>(at).count() * factor; };
    auto offsetMs = [&](std::chrono::microseconds at) {
        const double begins = shown.frame / double{kFps}, ends = (shown.frame + 1) / double{kFps};
        const double track = trackAt(at);
        return std::max({begins - track, track - ends, 0.0}) * 1000.0;
    };
    auto startOffsetMs = [&](std::chrono::microseconds at) {
        return std::abs(shown.frame / double{kFps} - trackAt(at)) * 1000.0;
    };
    while (trackAt(elapsed) < kTrackSeconds) {
        sound.heard = trackAt(elapsed);
        if (!player.TickManually())
            break;
        player.Events().Take();
        // The frame stays on screen until the next tick.
        drift.largestMs = std::max({drift.largestMs, offsetMs(elapsed), offsetMs(elapsed + period)});
        drift.largestStartMs =
            std::max({drift.largestStartMs, startOffsetMs(elapsed), startOffsetMs(elapsed + period)});
        elapsed += period;
    }
    drift.endMs = offsetMs(elapsed);
    player.StopPlaybackForLoad();
    return drift;
}

struct Row {
    const char* name;
    Pacing pacing;
    double factor;
    Drift drift;
};
std::vector<Row> rows = {
    {"sound-led clock, 1.0x", Pacing::Sound, 1.0, {}},         {"monotonic clock, 1.0x", Pacing::Clock, 1.0, {}},
    {"rounded period (old), 1.0x", Pacing::OneFramePerTick, 1.0, {}},
    {"sound-led clock, 1.5x", Pacing::Sound, 1.5, {}},         {"monotonic clock, 1.5x", Pacing::Clock, 1.5, {}},
    {"rounded period (old), 1.5x", Pacing::OneFramePerTick, 1.5, {}},
};

void BM_DriftOverTenMinutes(benchmark::State& state) {
    Row& row = rows[static_cast<size_t>(state.range(0))];
    for (auto _ : state)
        row.drift = Simulate(row.pacing, row.factor);
    state.SetLabel(row.name);
    state.counters["largest_ms"] = row.drift.largestMs;
    state.counters["largest_start_ms"] = row.drift.largestStartMs;
}

BENCHMARK(BM_DriftOverTenMinutes)->DenseRange(0, 5)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n10 minutes of a %d fps segment (simulated), the sound's time outside the frame on screen "
                "(target: largest <= 40 ms with sound and without):\n", kFps);
    std::printf("%-30s %8s %14s %14s %22s\n", "clock", "period", "largest (ms)", "at end (ms)",
                "vs frame start (ms)");
    for (const Row& row : rows)
        std::printf("%-30s %6d ms %14.1f %14.1f %22.1f\n", row.name, row.drift.period, row.drift.largestMs,
                    row.drift.endMs, row.drift.largestStartMs);
    std::printf("one frame lasts %.1f ms of track time\n", 1000.0 / kFps);
    benchmark::Shutdown();
}
