// How quickly the sound starts and how little the main thread spends on the
// wave-output refill. Targets: first audible sample at the device under 50 ms
// after StartSound; under 1 ms of main-thread time per buffer refill.
// Runs on the disk audio driver (the file shows what the device received).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "film/Film.h"
#include "platform/UserMessages.h"
#include "platform/WaveOut.h"
#include "sound/UqxSound.h"
#include "test_dirs.h"

using namespace movarel;
using Clock_ = std::chrono::steady_clock;

namespace {

// The main thread: returned buffers wait until the loop takes them.
struct BenchHost {
    std::mutex lock;
    std::deque<WaveHeader*> done;
    WaveDonePost Post() {
        return [this](WaveHeader* header) {
            std::lock_guard<std::mutex> guard(lock);
            done.push_back(header);
        };
    }
    bool Take(WaveHeader*& header) {
        std::lock_guard<std::mutex> guard(lock);
        if (done.empty())
            return false;
        header = done.front();
        done.pop_front();
        return true;
    }
};

// A stereo tone MP3 of the given length, made once per run.
std::string ToneFile(double seconds) {
    static TestDir files;
    std::string mp3 = files.path + "tone" + std::to_string(static_cast<int>(seconds * 1000)) + ".mp3";
    if (std::filesystem::exists(mp3))
        return mp3;
    std::string wav = files.path + "tone.wav";
    std::string cmd = "sox -n -r 44100 -c 2 '" + wav + "' synth " + std::to_string(seconds) +
                      " sine 440 vol 0.5 && lame --quiet -b 128 '" + wav + "' '" + mp3 + "'";
    return std::system(cmd.c_str()) == 0 ? mp3 : std::string();
}

struct Setup {
    TestDir dir;
    BenchHost host;
    std::string mp3;
    std::string disk;
    bool ok = false;

    explicit Setup(double seconds, int diskDelayMs) {
        SetMessageBoxHandler([](const MessageRequest& m) { std::fprintf(stderr, "%s\n", m.text.c_str()); });
        mp3 = ToneFile(seconds);
        ok = !mp3.empty();
        disk = dir.path + "played.raw";
        ShutdownAudioOutput();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", disk.c_str(), 1);
        if (diskDelayMs >= 0)
            setenv("SDL_DISKAUDIODELAY", std::to_string(diskDelayMs).c_str(), 1);
        else
            unsetenv("SDL_DISKAUDIODELAY");
        InitSound(host.Post());
        soundFile = dir.path + "segment.mp3";
        if (ok)
            std::filesystem::copy_file(mp3, soundFile);
    }
    ~Setup() {
        ShutdownSound();
        InitSound(nullptr);
        ShutdownAudioOutput();
    }
    // The segment's sound, played from its first frame at normal speed.
    std::string soundFile;
};

// Waits until the disk file holds a sample louder than the threshold.
bool WaitForAudible(const std::string& file, Clock_::time_point deadline) {
    std::vector<int16_t> samples(8192);
    while (Clock_::now() < deadline) {
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ssize_t n;
            while ((n = ::read(fd, samples.data(), samples.size() * 2)) > 0) {
                for (ssize_t i = 0; i < n / 2; ++i)
                    if (std::abs(int{samples[static_cast<size_t>(i)]}) > 1000) {
                        ::close(fd);
                        return true;
                    }
            }
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// Baseline: an output stream that plays a loud sample from its first fill.
void LoudFill(void*, uint8_t* stream, int length) {
    auto* s = reinterpret_cast<int16_t*>(stream);
    for (int i = 0; i < length / 2; ++i)
        s[i] = 12000;
}

double g_baselineLatencyMs = 0;

void BM_OutputStreamFirstSample(benchmark::State& state) {
    Setup setup(1.0, -1);
    for (auto _ : state) {
        auto start = Clock_::now();
        uint32_t stream = OpenAudioStream(44100, 2, LoudFill, nullptr);
        PauseAudioStream(stream, false);
        bool heard = WaitForAudible(setup.disk, start + std::chrono::seconds(2));
        double ms = std::chrono::duration<double, std::milli>(Clock_::now() - start).count();
        CloseAudioStream(stream);
        if (!stream || !heard) {
            state.SkipWithError("no output stream");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        g_baselineLatencyMs = ms;
    }
}
BENCHMARK(BM_OutputStreamFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartSoundToFirstAudibleSample(benchmark::State& state) {
    Setup setup(2.0, -1);  // the disk driver paced in real time
    if (!setup.ok) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    double total = 0;
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StopSound();
        CloseWaveOut();
        std::filesystem::remove(setup.disk);
        OpenSound(setup.soundFile);
        state.ResumeTiming();
        auto start = Clock_::now();
        StartSound(0.0);
        bool heard = WaitForAudible(setup.disk, start + std::chrono::seconds(2));
        double ms = std::chrono::duration<double, std::milli>(Clock_::now() - start).count();
        if (!heard) {
            state.SkipWithError("nothing was heard");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        total += ms;
        ++count;
    }
    if (count > 0) {
        double mean = total / count;
        state.counters["latency_ms"] = mean;
        if (g_baselineLatencyMs > 0)
            state.counters["x_baseline"] = mean / g_baselineLatencyMs;
        std::printf("StartSound to first audible sample: %.2f ms (target < 50 ms; a bare output stream: %.2f ms)\n",
                    mean, g_baselineLatencyMs);
    }
}
BENCHMARK(BM_StartSoundToFirstAudibleSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

double g_baselineReadUs = 0;

// Baseline: reading 16 KiB of the same file.
void BM_Read16KiB(benchmark::State& state) {
    std::string mp3 = ToneFile(30.0);
    int fd = ::open(mp3.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    std::vector<uint8_t> buffer(kSoundBufferSize);
    off_t size = ::lseek(fd, 0, SEEK_END);
    off_t at = 0;
    int64_t reads = 0;
    auto start = Clock_::now();
    for (auto _ : state) {
        if (at + static_cast<off_t>(kSoundBufferSize) > size)
            at = 0;
        benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), at));
        at += kSoundBufferSize;
        ++reads;
    }
    if (reads > 0)
        g_baselineReadUs = std::chrono::duration<double, std::micro>(Clock_::now() - start).count() / reads;
    ::close(fd);
}
BENCHMARK(BM_Read16KiB)->Unit(benchmark::kMicrosecond);

// The main thread's share of playing: one refill per returned buffer.
void BM_WaveDoneRefill(benchmark::State& state) {
    Setup setup(30.0, 1);  // the disk driver a few times faster than real time
    if (!setup.ok) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    OpenSound(setup.soundFile);
    StartSound(0.0);
    double worstUs = 0, totalUs = 0;
    int refills = 0;
    for (auto _ : state) {
        WaveHeader* header = nullptr;
        auto deadline = Clock_::now() + std::chrono::seconds(5);
        while (!setup.host.Take(header) && Clock_::now() < deadline) {
            if (!SoundModule().SoundActive) {  // the end of the sound: start again
                StartSound(0.0);
                continue;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        auto start = Clock_::now();
        OnWaveDone(header);
        double us = std::chrono::duration<double, std::micro>(Clock_::now() - start).count();
        state.SetIterationTime(us / 1e6);
        worstUs = std::max(worstUs, us);
        totalUs += us;
        ++refills;
    }
    if (refills > 0) {
        state.counters["mean_us"] = totalUs / refills;
        state.counters["worst_us"] = worstUs;
        if (g_baselineReadUs > 0)
            state.counters["x_baseline"] = totalUs / refills / g_baselineReadUs;
        std::printf("main thread per buffer refill: mean %.1f us, worst %.1f us (target < 1000 us; "
                    "a bare 16 KiB read: %.1f us)\n",
                    totalUs / refills, worstUs, g_baselineReadUs);
    }
}
BENCHMARK(BM_WaveDoneRefill)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(60);

}  // namespace

BENCHMARK_MAIN();
