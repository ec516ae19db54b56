// Seeking in a long 1920 x 1080 recording: a film of an hour at 5 frames/s
// (18,000 frames), each frame repainting about 5% of the screen with text,
// is written with the film writer's frame encoder; then
//   - a cold seek to the last frame, before any index, against decoding
//     every record from the start the way playback reads them;
//   - the index build: frames/s, memory, snapshots;
//   - 200 seeks to random frames once the index is built: p50, p95, max,
//     through the index alone and through the player (from the request
//     until the picture, cursor drawn, is presented);
//   - the lateness of a second player's real timer ticks (a 25 frames/s film
//     at a 40 ms period), each against the tick before it, while the first
//     player's index builds (three builds in turn), against the same
//     player's ticks for 8 s before;
//   - scrubbing: a drag sweeping across the film in 10 s, the pointer moving
//     every 16 ms; a move that comes while a seek runs replaces any move
//     still pending, as a GUI's event queue coalesces them. The figure is the
//     distinct pictures presented per second.
//
//   bench_engine_seek [--frames N]
// A shorter film (--frames) is measured with the memory limit scaled by
// N / 18,000, so its snapshots are spaced as those of the full hour would
// be and the seek times stand for the full hour's; the printout says so.
#include <fcntl.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FilmWriter.h"
#include "engine/PlaybackClock.h"
#include "engine/Player.h"
#include "engine/SeekIndex.h"
#include "engine/XorRunDecoder.h"
#include "film/Film.h"
#include "film/Streams.h"
#include "platform/LittleEndian.h"
#include "platform/WorkDirectory.h"
#include "test_dirs.h"

using namespace movarel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kW = 1920, kH = 1080;
constexpr int32_t kHourFrames = 18000;  // an hour at 5 frames/s

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// This thread's CPU time: on a shared machine the wall time also counts the
// time other programs had the core.
double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void PrintPercentiles(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("  %-9s p50 %.1f ms, p95 %.1f ms, max %.1f ms\n", what, ms[ms.size() / 2], ms[ms.size() * 95 / 100],
                ms.back());
}

// A window of text repainted at a random place: about 5% of the screen.
void PaintTextWindow(writer::Image& image, std::mt19937& rng) {
    constexpr int32_t kCellW = 8, kCellH = 12, kLinePitch = 18, kWinW = 480, kWinH = 216;
    static const std::vector<std::vector<uint8_t>> glyphs = [] {
        std::mt19937 g(3);
        std::vector<std::vector<uint8_t>> out(96, std::vector<uint8_t>(kCellW * kCellH, 0));
        for (auto& glyph : out)
            for (int stroke = 0; stroke < 2; ++stroke) {
                const bool vertical = g() % 2;
                const int32_t x = 1 + g() % (kCellW - 2), y = 2 + g() % (kCellH - 4), length = 3 + g() % 6;
                for (int32_t k = 0; k < length; ++k)
                    glyph[std::min(y + (vertical ? k : 0), kCellH - 1) * kCellW + std::min(x + (vertical ? 0 : k), kCellW - 2)] = 1;
            }
        return out;
    }();
    static const uint32_t kPapers[] = {0x00FFFFFF, 0x00FFFFFF, 0x00F3F3F3, 0x00FFF8E0, 0x00E8F0FF};
    const uint32_t paper = kPapers[rng() % 5];
    const uint32_t ink = rng() % 4 == 0 ? 0x00204080u : 0x00000000u;
    const int32_t left = static_cast<int32_t>(rng() % (kW - kWinW)), top = static_cast<int32_t>(rng() % (kH - kWinH));
    for (int32_t y = 0; y < kWinH; ++y) {
        uint32_t* row = image.data() + static_cast<size_t>(top + y) * kW + left;
        std::fill(row, row + kWinW, paper);
        const int32_t line = y / kLinePitch, inLine = y % kLinePitch;
        if (inLine >= kCellH)
            continue;
        std::mt19937 text(static_cast<uint32_t>(rng() & 0xFFFF0000u) + static_cast<uint32_t>(line));
        for (int32_t c = 1; c + 1 < kWinW / kCellW; ++c) {
            const uint32_t pick = text();
            if (pick % 6 == 0)
                continue;  // a space
            const std::vector<uint8_t>& g = glyphs[pick % glyphs.size()];
            for (int32_t x = 0; x < kCellW; ++x)
                if (g[inLine * kCellW + x])
                    row[c * kCellW + x] = ink;
        }
    }
}

// Writes the frame stream of frames frames to out; returns its length.
int64_t WriteFilm(FileStream& out, int32_t frames) {
    std::mt19937 rng(9);
    writer::Image previous(static_cast<size_t>(kW) * kH, 0x003A6EA5u), next = previous;
    int64_t length = 0;
    for (int32_t f = 0; f < frames; ++f) {
        PaintTextWindow(next, rng);
        const writer::Bytes record = writer::EncodeFrameRecord(f == 0 ? writer::Image{} : previous, next, kW, kH);
        out.Write(record.data(), static_cast<int32_t>(record.size()));
        length += static_cast<int64_t>(record.size());
        previous = next;
    }
    out.SetPosition(0);
    return length;
}

// Playback's way through the stream: 16 MiB pieces read in order, every
// record decoded into one picture. Returns the frames decoded.
int32_t DecodeFromStart(const FrameStreamWindow& window, int32_t frames, Picture& picture) {
    const int handle = window.Handle;
    picture.Reset(kW, kH);
    std::vector<uint8_t> block(size_t{16} << 20);
    int64_t start = 0;
    size_t filled = 0, at = 0;
    int32_t done = 0;
    while (done < frames) {
        if (filled - at < 4 || filled - at < static_cast<size_t>(ReadI32LE(block.data() + at))) {
            std::memmove(block.data(), block.data() + at, filled - at);
            start += static_cast<int64_t>(at);
            filled -= at;
            at = 0;
            const ssize_t got = ::pread(handle, block.data() + filled, block.size() - filled,
                                        window.Base + start + static_cast<int64_t>(filled));
            if (got <= 0)
                break;
            filled += static_cast<size_t>(got);
            continue;
        }
        const int32_t size = ReadI32LE(block.data() + at);
        if (DecodeXorRecord(block.data() + at, static_cast<int64_t>(filled - at), picture) != XorRecordCheck::Valid)
            break;
        at += static_cast<size_t>(size);
        ++done;
    }
    return done;
}

// Where the player's pictures go: the time of the last one.
class TimingSink : public FrameSink {
public:
    void PresentFrame(const Picture&) override { presented = Clock::now(); }
    void PresentCursorArea(const Picture&, const PixelRect*, int) override {}
    Clock::time_point presented;
};

// A small film of 25 frames/s, played with real ticks: when each frame was
// presented (timer thread), read on the main thread after the player stops.
constexpr int32_t kTickedFrames = 25 * 600;

class TickSink : public FrameSink {
public:
    explicit TickSink(Player** p) : player(p) { shown.reserve(kTickedFrames); }
    void PresentFrame(const Picture&) override {
        if (shown.size() < shown.capacity())
            shown.push_back({(*player)->Clock().FrameIndex, Clock::now()});
    }
    void PresentCursorArea(const Picture&, const PixelRect*, int) override {}
    struct Shown {
        int32_t frame;
        Clock::time_point at;
    };
    Player** player;
    std::vector<Shown> shown;
};

void AddTickedSegment(Film& film) {
    Segment* s = film.Add();
    s->Width = 64;
    s->Height = 48;
    s->BitsPerPixel = 32;
    s->Fps = 25;
    s->FrameCount = kTickedFrames;
    for (int32_t f = 0; f < kTickedFrames; ++f) {
        const writer::Bytes record = writer::MakeFrameRecord({{static_cast<uint32_t>(f) * 2654435761u, 64 * 48}});
        s->FrameStream->Write(record.data(), static_cast<int32_t>(record.size()));
    }
    s->FrameStream->SetPosition(0);
}

// How late each frame came: its time against the frame before it plus the
// exact period for each frame between them. (The timer keeps its period from
// its first tick, but a tick late by more than a period starts the count
// afresh, so the lateness is taken tick against tick.) p50, p99 and worst,
// in ms, for the frames presented inside the windows.
struct Lateness {
    double p50 = 0, p99 = 0, worst = 0;
    size_t frames = 0;
};
using Window = std::pair<Clock::time_point, Clock::time_point>;
Lateness LatenessOf(const std::vector<TickSink::Shown>& shown, const std::vector<Window>& windows) {
    std::vector<double> late;
    auto inside = [&](Clock::time_point at) {
        return std::any_of(windows.begin(), windows.end(), [&](const Window& w) { return at >= w.first && at < w.second; });
    };
    // The first frame is shown by the start itself, not by a tick.
    for (size_t i = 2; i < shown.size(); ++i)
        if (inside(shown[i].at))
            late.push_back(std::chrono::duration<double, std::milli>(shown[i].at - shown[i - 1].at).count() -
                           40.0 * (shown[i].frame - shown[i - 1].frame));
    Lateness out;
    if (late.empty())
        return out;
    std::sort(late.begin(), late.end());
    out.p50 = late[late.size() / 2];
    out.p99 = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    out.worst = late.back();
    out.frames = late.size();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int32_t frames = kHourFrames;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--frames")
            frames = std::max(2, std::atoi(argv[i + 1]));
    const double scale = static_cast<double>(frames) / kHourFrames;

    TestDir dir;
    // The film the player plays: one segment, its frame stream written in
    // place, read by the index-only figures through the same window.
    Film film(WorkDirectory::Create(dir.path));
    Segment* segment = film.Add();
    segment->Width = kW;
    segment->Height = kH;
    segment->BitsPerPixel = 32;
    segment->Fps = 5;
    segment->FrameCount = frames;
    Clock::time_point t = Clock::now();
    const int64_t length = WriteFilm(*segment->FrameStream, frames);
    if (length <= 0) {
        std::fprintf(stderr, "cannot write the film in %s\n", dir.path.c_str());
        return 1;
    }
    std::printf("film: %d frames of %d x %d (%.1f min at 5 frames/s), %.0f MB of records, %.0f KB a frame; written in %.0f s\n",
                frames, kW, kH, frames / 5.0 / 60.0, length / 1e6, length / 1024.0 / frames, Seconds(t));
    const FrameStreamWindow window = FrameStreamWindowOf(*segment->FrameStream);
    // On disk before anything is measured: a film that plays is not being
    // written, so the writeback of what was just written must not run under
    // the figures below. Its pages stay in the cache.
    ::fdatasync(window.Handle);
    SeekIndexLimits limits;
    limits.MemoryBytes = static_cast<size_t>(static_cast<double>(limits.MemoryBytes) * std::min(1.0, scale));
    if (scale < 1.0)
        std::printf("shorter than an hour: memory limit scaled to %.1f MiB (64 MiB x %.3f)\n",
                    limits.MemoryBytes / 1048576.0, scale);

    // The file is in the page cache for both, as it is after the player wrote
    // it. Each is run twice, in turn; the faster run of each counts.
    Picture sequential, picture;
    double fromStart = 1e9, fromStartCpu = 1e9, seek = 1e9, seekCpu = 1e9;
    int32_t decoded = 0;
    bool same = true;
    for (int round = 0; round < 2; ++round) {
        t = Clock::now();
        double c = CpuSeconds();
        decoded = DecodeFromStart(window, frames, sequential);
        fromStart = std::min(fromStart, Seconds(t));
        fromStartCpu = std::min(fromStartCpu, CpuSeconds() - c);

        SeekIndex cold(window, kW, kH, 32, frames, limits);
        t = Clock::now();
        c = CpuSeconds();
        const SeekResult result = cold.DecodeFrameAt(frames - 1, picture);
        seek = std::min(seek, Seconds(t));
        seekCpu = std::min(seekCpu, CpuSeconds() - c);
        same = same && result == SeekResult::Done && picture.Pixels == sequential.Pixels;
    }
    std::printf("\ncold seek to the last frame, no index: %.0f ms (CPU %.0f ms); decoding from the start: %.0f ms "
                "(CPU %.0f ms, %d frames); ratio %.2f, CPU %.2f (target <= 1.2)%s\n",
                seek * 1e3, seekCpu * 1e3, fromStart * 1e3, fromStartCpu * 1e3, decoded, seek / fromStart,
                seekCpu / fromStartCpu, same ? "" : "  PICTURES DIFFER");

    SeekIndex index(window, kW, kH, 32, frames, limits);
    t = Clock::now();
    index.StartBuilding();
    index.WaitUntilBuilt();
    const double build = Seconds(t);
    const SeekIndexProgress p = index.Progress();
    const std::vector<int32_t> snapshots = index.SnapshotFrames();
    std::printf("\nindex build: %d frames in %.1f s = %.0f frames/s; %zu snapshots (every %.0f frames on average); "
                "memory %.1f MiB (limit %.1f MiB)%s\n",
                p.FramesIndexed, build, p.FramesIndexed / build, snapshots.size(),
                snapshots.empty() ? 0.0 : static_cast<double>(frames) / (snapshots.size() + 1),
                index.MemoryBytes() / 1048576.0, limits.MemoryBytes / 1048576.0,
                p.State == SeekIndexState::Complete ? "" : "  NOT COMPLETE");
    if (scale < 1.0)
        std::printf("  an hour's index at this spacing: about %.1f MiB\n", index.MemoryBytes() / 1048576.0 / scale);

    std::mt19937 rng(21);
    std::vector<double> wall, cpu;
    int wrong = 0;
    for (int i = 0; i < 200; ++i) {
        const int32_t target = static_cast<int32_t>(rng() % static_cast<uint32_t>(frames));
        t = Clock::now();
        const double c = CpuSeconds();
        if (index.DecodeFrameAt(target, picture) != SeekResult::Done)
            ++wrong;
        cpu.push_back((CpuSeconds() - c) * 1e3);
        wall.push_back(Seconds(t) * 1e3);
    }

    // A second player plays a film of its own with real ticks: 8 s before
    // the first player's index build, then while it builds, three times.
    Film tickedFilm;
    AddTickedSegment(tickedFilm);
    Player* ticked = nullptr;
    TickSink tickSink(&ticked);
    PlayerSetup tickedSetup;
    tickedSetup.Sink = &tickSink;
    tickedSetup.SeekIndexOnStart = false;
    Player tickedPlayer(tickedFilm, tickedSetup);
    ticked = &tickedPlayer;
    tickedPlayer.StartSegment(0);
    const Clock::time_point quietFrom = Clock::now() + std::chrono::milliseconds(200);
    std::this_thread::sleep_for(std::chrono::milliseconds(8200));
    const Window quietWindow{quietFrom, Clock::now()};

    // The same targets through the player, its own index built first.
    TimingSink sink;
    PlayerSetup setup;
    setup.Sink = &sink;
    setup.ManualTicks = true;
    setup.SeekLimits = limits;
    Player player(film, setup);
    std::vector<Window> builds;
    double buildSeconds = 0;
    for (int round = 0; round < 3; ++round) {
        player.ForgetSeekIndexes();
        const Clock::time_point buildFrom = Clock::now();
        player.SeekTo(0, 0);
        while (player.SeekIndexProgressOf(0).State == SeekIndexState::Building) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // The refills the ticks ask for, as the GUI thread would.
            tickedPlayer.DrainEvents();
        }
        builds.push_back({buildFrom, Clock::now()});
        buildSeconds += std::chrono::duration<double>(builds.back().second - buildFrom).count();
    }
    tickedPlayer.StopPlaybackForLoad();
    const Lateness quiet = LatenessOf(tickSink.shown, {quietWindow});
    const Lateness building = LatenessOf(tickSink.shown, builds);
    std::printf("\nticks of a 25 frames/s film at 40 ms (target p99 < 1 ms while the index builds):\n"
                "  before the build: %zu frames, late p50 %.3f ms, p99 %.3f ms, worst %.3f ms\n"
                "  while it builds (3 builds, %.1f s): %zu frames, late p50 %.3f ms, p99 %.3f ms, worst %.3f ms; "
                "p99 ratio %.2f\n",
                quiet.frames, quiet.p50, quiet.p99, quiet.worst, buildSeconds, building.frames, building.p50,
                building.p99, building.worst, quiet.p99 > 0 ? building.p99 / quiet.p99 : 0.0);
    rng.seed(21);
    std::vector<double> played, playedCpu;
    int refused = 0;
    for (int i = 0; i < 200; ++i) {
        const int32_t target = static_cast<int32_t>(rng() % static_cast<uint32_t>(frames));
        t = Clock::now();
        const double c = CpuSeconds();
        if (!player.SeekTo(0, target))
            ++refused;
        played.push_back(std::chrono::duration<double, std::milli>(sink.presented - t).count());
        playedCpu.push_back((CpuSeconds() - c) * 1e3);
        player.Events().Take();
    }

    std::printf("\n200 random seeks once built (target p95 <= 50 ms)%s:\n", wrong || refused ? "  SOME FAILED" : "");
    PrintPercentiles("wall time", wall);
    PrintPercentiles("CPU time", cpu);
    PrintPercentiles("player", played);
    PrintPercentiles("its CPU", playedCpu);
    std::printf("  (player: the request until the picture is presented, the index's decode included)\n");

    // Scrubbing: the pointer sweeps the whole film in 10 s. Each seek runs to
    // its end; then the latest pointer position, if it moved, is sought next.
    constexpr double kSweepSeconds = 10, kMoveSeconds = 0.016;
    int32_t lastSought = -1, distinct = 0, seeks = 0;
    double seekingCpu = 0;
    const Clock::time_point sweepFrom = Clock::now();
    for (double at = Seconds(sweepFrom); at < kSweepSeconds; at = Seconds(sweepFrom)) {
        const double pointerAt = std::floor(at / kMoveSeconds) * kMoveSeconds;
        const int32_t target = std::min(frames - 1, static_cast<int32_t>(pointerAt / kSweepSeconds * frames));
        if (target == lastSought) {
            std::this_thread::sleep_for(std::chrono::duration<double>(pointerAt + kMoveSeconds - at));
            continue;
        }
        ++seeks;
        const double c = CpuSeconds();
        if (player.SeekTo(0, target))
            ++distinct;
        seekingCpu += CpuSeconds() - c;
        player.Events().Take();
        lastSought = target;
    }
    std::printf("\nscrubbing across the film in %.0f s, a pointer move every %.0f ms (%.1f moves/s): %d seeks, "
                "%.1f distinct pictures/s (target >= 20); %.1f ms CPU a seek (at most %.0f pictures/s on a core "
                "of its own)\n",
                kSweepSeconds, kMoveSeconds * 1e3, 1 / kMoveSeconds, seeks, distinct / Seconds(sweepFrom),
                seeks ? seekingCpu / seeks * 1e3 : 0.0, seekingCpu > 0 ? std::min(seeks / seekingCpu, 1 / kMoveSeconds) : 0.0);

    // The last frame's picture again, through the index.
    index.DecodeFrameAt(frames - 1, picture);
    std::printf("last frame through the index equals decoding from the start: %s\n",
                picture.Pixels == sequential.Pixels ? "yes" : "NO");
    return 0;
}
