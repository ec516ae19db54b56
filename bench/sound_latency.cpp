// How quickly a track opens and starts sounding and what its decoding costs,
// plain at 1x and with the time stretching at other speeds. Targets: first
// audible sample at the device under 50 ms after Start; under 1 ms per device
// buffer for the decoding and stretching, which run on the output's thread
// (the main thread does nothing while a track plays).
// The start runs on SDL's disk audio driver (the file shows what the device
// received); the decoding on the recording output, pulled here.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/UserMessages.h"
#include "platform/RecordingAudioOutput.h"
#include "platform/SdlAudioOutput.h"
#include "sound/SoundTrack.h"
#include "test_dirs.h"

using namespace movarel;
using Clock_ = std::chrono::steady_clock;

namespace {

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

// SDL on the disk driver, writing to a file of a scratch folder.
struct DiskAudio {
    TestDir dir;
    std::string disk;
    explicit DiskAudio(int delayMs) {
        SetMessageBoxHandler([](const MessageRequest& m) { std::fprintf(stderr, "%s\n", m.text.c_str()); });
        disk = dir.path + "played.raw";
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", disk.c_str(), 1);
        if (delayMs >= 0)
            setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
        else
            unsetenv("SDL_DISKAUDIODELAY");
    }
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

// Baseline: a source that is loud from its first sample.
struct LoudSource : AudioSource {
    size_t Read(int16_t* out, size_t frames) override {
        for (size_t i = 0; i < frames * 2; ++i)
            out[i] = 12000;
        return frames;
    }
};

double g_baselineLatencyMs = 0;

void BM_OutputFirstSample(benchmark::State& state) {
    DiskAudio audio(-1);
    SdlAudioOutput output;
    LoudSource loud;
    for (auto _ : state) {
        state.PauseTiming();
        output.Close();
        std::filesystem::remove(audio.disk);
        state.ResumeTiming();
        auto start = Clock_::now();
        bool opened = output.Open({44100, 2}, &loud);
        output.Resume();
        bool heard = WaitForAudible(audio.disk, start + std::chrono::seconds(2));
        double ms = std::chrono::duration<double, std::milli>(Clock_::now() - start).count();
        if (!opened || !heard) {
            state.SkipWithError("no output stream");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        g_baselineLatencyMs = ms;
    }
    output.Close();
}
BENCHMARK(BM_OutputFirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartToFirstAudibleSample(benchmark::State& state) {
    std::string mp3 = ToneFile(2.0);
    if (mp3.empty()) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    DiskAudio audio(-1);  // the disk driver paced in real time
    SdlAudioOutput output;
    SoundTrack track(output);
    double total = 0;
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        track.Stop();
        std::filesystem::remove(audio.disk);
        track.Open(mp3);
        state.ResumeTiming();
        auto start = Clock_::now();
        track.Start(0.0);
        bool heard = WaitForAudible(audio.disk, start + std::chrono::seconds(2));
        double ms = std::chrono::duration<double, std::milli>(Clock_::now() - start).count();
        if (!heard) {
            state.SkipWithError("nothing was heard");
            break;
        }
        state.SetIterationTime(ms / 1000.0);
        total += ms;
        ++count;
    }
    track.Stop();
    if (count > 0) {
        double mean = total / count;
        state.counters["latency_ms"] = mean;
        if (g_baselineLatencyMs > 0)
            state.counters["x_baseline"] = mean / g_baselineLatencyMs;
        std::printf("Start to first audible sample: %.2f ms (target < 50 ms; a bare output stream: %.2f ms)\n", mean,
                    g_baselineLatencyMs);
    }
}
BENCHMARK(BM_StartToFirstAudibleSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

double g_baselineReadUs = 0;

// Baseline: reading 16 KiB of the same file.
void BM_Read16KiB(benchmark::State& state) {
    std::string mp3 = ToneFile(30.0);
    int fd = mp3.empty() ? -1 : ::open(mp3.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    std::vector<uint8_t> buffer(16384);
    off_t size = ::lseek(fd, 0, SEEK_END);
    off_t at = 0;
    int64_t reads = 0;
    auto start = Clock_::now();
    for (auto _ : state) {
        if (at + static_cast<off_t>(buffer.size()) > size)
            at = 0;
        benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), at));
        at += static_cast<off_t>(buffer.size());
        ++reads;
    }
    if (reads > 0)
        g_baselineReadUs = std::chrono::duration<double, std::micro>(Clock_::now() - start).count() / reads;
    ::close(fd);
}
BENCHMARK(BM_Read16KiB)->Unit(benchmark::kMicrosecond);

// One device buffer (1,024 frames, about 23 ms of stereo) pulled from a
// playing track: reading, feeding and decoding, as on the output's thread;
// at 1x the decoded samples go out as they are, at the other speeds they go
// through the time stretcher first.
const double kSpeeds[] = {1.0, 0.75, 1.5, 2.0};
double g_pullMeanUs[4] = {}, g_pullWorstUs[4] = {};

void BM_PullOneDeviceBuffer(benchmark::State& state) {
    std::string mp3 = ToneFile(30.0);
    if (mp3.empty()) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    const size_t speed = static_cast<size_t>(state.range(0));
    RecordingAudioOutput output;
    SoundTrack track(output);
    track.SetSpeed(kSpeeds[speed]);
    track.Open(mp3);
    track.Start(0.0);
    double worstUs = 0, totalUs = 0;
    int pulls = 0;
    for (auto _ : state) {
        auto start = Clock_::now();
        size_t got = output.Pull(1024);
        double us = std::chrono::duration<double, std::micro>(Clock_::now() - start).count();
        state.PauseTiming();
        // The recorder keeps what it was given; emptied (its room stays) so
        // that its growing is not counted as decoding.
        output.Forget();
        if (got < 1024)
            track.Start(0.0);  // the end of the track: start again
        state.ResumeTiming();
        state.SetIterationTime(us / 1e6);
        worstUs = std::max(worstUs, us);
        totalUs += us;
        ++pulls;
    }
    if (pulls > 0) {
        state.counters["mean_us"] = totalUs / pulls;
        state.counters["worst_us"] = worstUs;
        if (g_baselineReadUs > 0)
            state.counters["x_baseline"] = totalUs / pulls / g_baselineReadUs;
        g_pullMeanUs[speed] = totalUs / pulls;
        g_pullWorstUs[speed] = worstUs;
    }
}
BENCHMARK(BM_PullOneDeviceBuffer)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(600);

// Opening a track walks all its frames once (for its exact length and the
// seek index) on the thread that opens it, the main one at a segment start.
void BM_OpenTrack(benchmark::State& state) {
    const double seconds = static_cast<double>(state.range(0));
    std::string mp3 = ToneFile(seconds);
    if (mp3.empty()) {
        state.SkipWithError("sox and lame are needed");
        return;
    }
    RecordingAudioOutput output;
    SoundTrack track(output);
    for (auto _ : state) {
        track.Open(mp3);
        state.PauseTiming();
        track.Stop();
        state.ResumeTiming();
    }
    state.counters["track_s"] = seconds;
}
BENCHMARK(BM_OpenTrack)->Arg(30)->Arg(600)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (g_pullMeanUs[0] > 0) {
        std::printf("\nper device buffer of 1024 stereo frames, on the output's thread (target < 1000 us; "
                    "a bare 16 KiB read: %.1f us; main thread per buffer: none)\n",
                    g_baselineReadUs);
        std::printf("  plain at 1x:       mean %.1f us, worst %.1f us\n", g_pullMeanUs[0], g_pullWorstUs[0]);
        for (size_t i = 1; i < 4; ++i)
            if (g_pullMeanUs[i] > 0)
                std::printf("  stretched at %.2fx: mean %.1f us, worst %.1f us (%.1f times the plain pull)\n",
                            kSpeeds[i], g_pullMeanUs[i], g_pullWorstUs[i], g_pullMeanUs[i] / g_pullMeanUs[0]);
    }
    benchmark::Shutdown();
}
