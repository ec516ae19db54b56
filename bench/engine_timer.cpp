// Accuracy of the periodic timer thread: 5 s at a 40 ms period.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/PeriodicTimer.h"

using namespace movarel;

namespace {

double meanError = 0, p99Late = 0, maxLate = 0;
size_t tickCount = 0;

void BM_TimerAccuracy40ms(benchmark::State& state) {
    PeriodicTimers timers;
    for (auto _ : state) {
        std::vector<std::chrono::steady_clock::time_point> ticks;
        ticks.reserve(200);
        const auto start = std::chrono::steady_clock::now();
        uint32_t id = timers.TimerSetEvent(40, 10, [&] {
            if (ticks.size() < ticks.capacity())
                ticks.push_back(std::chrono::steady_clock::now());
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5000 + 20));
        timers.TimerKillEvent(id);
        tickCount = ticks.size();
        std::vector<double> late;
        double sumError = 0;
        for (size_t i = 0; i < ticks.size(); ++i) {
            double at = std::chrono::duration<double, std::milli>(ticks[i] - start).count();
            late.push_back(at - 40.0 * static_cast<double>(i + 1));
            if (i > 0)
                sumError += std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1]).count() - 40.0;
        }
        meanError = ticks.size() > 1 ? sumError / static_cast<double>(ticks.size() - 1) : 0;
        std::sort(late.begin(), late.end());
        if (!late.empty()) {
            p99Late = late[std::min(late.size() - 1, static_cast<size_t>(0.99 * static_cast<double>(late.size())))];
            maxLate = late.back();
        }
    }
    state.counters["ticks"] = static_cast<double>(tickCount);
    state.counters["mean_err_ms"] = meanError;
    state.counters["p99_late_ms"] = p99Late;
}

BENCHMARK(BM_TimerAccuracy40ms)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\ntimer at 40 ms over 5 s: %zu ticks (expected 125), mean period error %+.3f ms, "
                "99th percentile lateness %.3f ms, worst %.3f ms\n",
                tickCount, meanError, p99Late, maxLate);
    benchmark::Shutdown();
}
