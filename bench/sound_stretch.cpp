// The cost of one sound refill with the speed's time stretching on, against
// the plain refill at 1x, in the same run. A refill is what the audio
// callback asks for at a time: 1024 stereo frames at 44.1 kHz (23 ms of sound).
// The input is speech-like: a voiced tone with harmonics, gliding in pitch,
// with pauses, so the stretcher's search works as it does on a lesson.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "sound/TimeStretch.h"

using namespace movarel;

namespace {

constexpr int32_t kRate = 44100;
constexpr size_t kRefill = 1024;

std::vector<int16_t> SpeechLike(double seconds) {
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> out(frames * 2);
    double phase = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double pitch = 140.0 + 40.0 * std::sin(2 * std::numbers::pi * 0.7 * t);
        phase += 2 * std::numbers::pi * pitch / kRate;
        const bool voiced = std::fmod(t, 0.9) < 0.6;  // words and pauses
        double v = 0;
        for (int h = 1; h <= 8; ++h)
            v += std::sin(phase * h) / h;
        const int16_t s = static_cast<int16_t>(voiced ? 6000.0 * v : 0.0);
        out[2 * i] = s;
        out[2 * i + 1] = s;
    }
    return out;
}

const std::vector<int16_t>& Input() {
    static const std::vector<int16_t> input = SpeechLike(20.0);
    return input;
}

double plainNs = 0, stretchedNs[3] = {};
const double kFactors[3] = {0.75, 1.5, 2.0};

// Feeds the track as the decoder would and takes one refill a time.
double RefillNanoseconds(benchmark::State& state, double factor) {
    const std::vector<int16_t>& input = Input();
    std::vector<int16_t> out(kRefill * 2);
    double total = 0;
    size_t refills = 0;
    for (auto _ : state) {
        TimeStretch stretch(kRate, 2);
        stretch.SetFactor(factor);
        size_t fed = 0;
        const size_t frames = input.size() / 2;
        const auto start = std::chrono::steady_clock::now();
        while (fed < frames) {
            // The decoder keeps the stretcher fed a refill ahead.
            while (stretch.ReadyFrames() < kRefill && fed < frames) {
                const size_t n = std::min(kRefill, frames - fed);
                stretch.Put(input.data() + fed * 2, n);
                fed += n;
            }
            benchmark::DoNotOptimize(stretch.Take(out.data(), kRefill));
            ++refills;
        }
        total += std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    }
    const double perRefill = refills ? total / static_cast<double>(refills) : 0;
    state.counters["us_per_refill"] = perRefill / 1000.0;
    return perRefill;
}

void BM_PlainRefill(benchmark::State& state) { plainNs = RefillNanoseconds(state, 1.0); }
void BM_StretchedRefill(benchmark::State& state) {
    const int i = static_cast<int>(state.range(0));
    stretchedNs[i] = RefillNanoseconds(state, kFactors[i]);
}

BENCHMARK(BM_PlainRefill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchedRefill)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\none refill of %zu stereo frames: plain %.1f us\n", kRefill, plainNs / 1000.0);
    for (int i = 0; i < 3; ++i)
        std::printf("  stretched at %.2fx: %.1f us (%.1f times the plain refill; target under 1000 us)\n",
                    kFactors[i], stretchedNs[i] / 1000.0, plainNs > 0 ? stretchedNs[i] / plainNs : 0.0);
    benchmark::Shutdown();
}
