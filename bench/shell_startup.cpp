// Start-up of a self-playing 1920 x 1080 LZX film: from the process start to
// the first frame painted, next to the film's load alone in the same run.
// Target: under 1.5x the load time plus 200 ms.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "film/FilmReader.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

extern char** environ;

using namespace movarel;
using namespace movarel::writer;

namespace {

constexpr int kFrames = 200;

struct Fixture {
    TestDir dir;
    WorkDirectory work;
    std::string selfPlaying, tmp;
    Fixture() {
        SegmentSpec s;
        s.width = 1920;
        s.height = 1080;
        s.fps = 10;
        s.packing = Packing::CabLzx;
        s.rawFrameRecords = BusyScreenRecords(1920, 1080, kFrames);
        FilmSpec film;
        film.segments = {s};
        const std::string qxf = dir.path + "big.qxf";
        WriteFileBytes(qxf, BuildFilmFile(film));
        selfPlaying = dir.path + "big-selfplaying";
        const std::string command = std::string(MOVAREL_TOOL) + " bundle " + qxf + " --out " + selfPlaying +
                                    " --player " + MOVAREL_PLAYER + " > /dev/null";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "bundle failed: %s\n", command.c_str());
        tmp = dir.path + "tmp";
        mkdir(tmp.c_str(), 0700);
        work = WorkDirectory::Create(dir.path);
        SetMessageBoxHandler([](const MessageRequest& m) { std::fprintf(stderr, "%s\n", m.text.c_str()); });
    }
};
Fixture& F() {
    static Fixture f;
    return f;
}

// The load the player does at start-up: the film behind the trailer of its
// own file, unpacked and split into the work directory.
void BM_LoadAlone(benchmark::State& state) {
    for (auto _ : state) {
        FileStream stream(F().selfPlaying, kModeReadShared);
        FilmRead read = LoadAppendedFilm(stream, WorkDirectory::Create(F().dir.path));
        if (!read.isFilm || read.film->Count() != 1) state.SkipWithError("the film did not load");
        state.PauseTiming();
        read.film.reset();
        state.ResumeTiming();
    }
}

// One start of the player; the seconds to the first painted frame, or -1.
double StartOnce() {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<std::string> env{"TMPDIR=" + F().tmp, "QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy",
                                 "MOVAREL_STARTUP_TRACE=1"};
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);  // the first of a name wins
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = F().selfPlaying;
    char* argv[] = {program.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    double seconds = -1;
    std::string text;
    while (spawned == 0 && text.find("first frame painted") == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 30000) <= 0) break;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.find("first frame painted") != std::string::npos)
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    close(out[0]);
    if (spawned == 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    return seconds;
}

void BM_StartupToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = StartOnce();
        if (seconds < 0) {
            state.SkipWithError("the player painted no frame");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

}  // namespace

BENCHMARK(BM_LoadAlone)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const double ms = run.GetAdjustedRealTime();
            if (run.benchmark_name().rfind("BM_LoadAlone", 0) == 0) load_ = ms;
            if (run.benchmark_name().rfind("BM_StartupToFirstFrame", 0) == 0 && load_ > 0) {
                const double bound = 1.5 * load_ + 200;
                std::printf("  start-up %.1f ms, load alone %.1f ms: %.2fx the load; target under %.1f ms: %s\n",
                            ms, load_, ms / load_, bound, ms < bound ? "met" : "NOT met");
            }
        }
    }

private:
    double load_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    F();  // the film is written before any timing starts
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
