// movarel-tool frames: plays a film headless through the engine, ticking the
// clock by hand, and writes or hashes the picture of every frame as shown.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Commands.h"
#include "PngWriter.h"
#include "Sha256.h"
#include "engine/ClockState.h"
#include "engine/EngineHost.h"
#include "engine/FrameDecoding.h"
#include "engine/Picture.h"
#include "engine/PlaybackClock.h"
#include "engine/UqxBlocks.h"
#include "film/FilmReader.h"
#include "film/SegmentList.h"
#include "film/Texts.h"
#include "film/WorkDir.h"
#include "platform/PeriodicTimer.h"
#include "platform/TempPath.h"


namespace movarel::tool {
namespace {

constexpr const char* kUsage =
    "frames FILM [--from-start] [--segment N] [--first A] [--last B] [--out DIR] [--digest]";

struct FramesOptions {
    std::string film;
    bool fromStart = false;
    int32_t segment = -1;  // -1: every segment
    int32_t first = 0;
    int32_t last = INT32_MAX;
    std::string outDir;
    bool digest = false;
};

// One thread is the main thread and the timer: posted messages wait in a
// queue until the tool hands them back between ticks.
class FramesHost : public EngineHost {
public:
    void PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) override {
        queue.push_back({message, wParam, lParam});
    }
    bool PumpPostedMessages() override {
        PumpBlocks();
        return true;
    }
    void PresentFrame(const Picture& picture) override {
        if (onPresent)
            onPresent(picture);
    }
    // Block refills only; the tool walks the segments itself.
    void PumpBlocks() {
        for (size_t i = 0; i < queue.size();) {
            if (queue[i].message == UM_BLOCKEMPTY) {
                Message m = queue[i];
                queue.erase(queue.begin() + static_cast<long>(i));
                DispatchEngineMessage(m.message, m.wParam, m.lParam);
            } else {
                ++i;
            }
        }
    }
    bool TakeError() {
        for (size_t i = 0; i < queue.size(); ++i)
            if (queue[i].message == UM_ENGINEERROR) {
                queue.erase(queue.begin() + static_cast<long>(i));
                return true;
            }
        return false;
    }
    void Clear() { queue.clear(); }

    std::function<void(const Picture&)> onPresent;

private:
    struct Message {
        uint32_t message;
        uintptr_t wParam, lParam;
    };
    std::deque<Message> queue;
};

bool ParseInt(const std::string& text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0 || v > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, FramesOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](int32_t* target) { return i + 1 < args.size() && ParseInt(args[++i], target); };
        if (a == "--from-start") {
            o->fromStart = true;
        } else if (a == "--digest") {
            o->digest = true;
        } else if (a == "--segment") {
            if (!value(&o->segment))
                return false;
        } else if (a == "--first") {
            if (!value(&o->first))
                return false;
        } else if (a == "--last") {
            if (!value(&o->last))
                return false;
        } else if (a == "--out") {
            if (i + 1 >= args.size())
                return false;
            o->outDir = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else if (o->film.empty()) {
            o->film = a;
        } else {
            return false;
        }
    }
    return !o->film.empty();
}

// Without --from-start the film is found through its trailer, as for a film
// named on the player's command line.
bool LoadFilmFile(const FramesOptions& o) {
    try {
        TqxFileStream stream(o.film, kModeReadShared);
        if (o.fromStart) {
            stream.SetPosition(0);
            ReadFilm(stream);
        } else {
            LoadAppendedFilm(stream);
        }
    } catch (const EqxError& e) {
        std::fprintf(stderr, "movarel-tool frames: %s: %s\n", o.film.c_str(), e.what());
        return false;
    }
    return true;
}

void RgbDigestLine(int32_t segment, int32_t frame, const Picture& picture) {
    Sha256 hash;
    std::vector<uint8_t> row(static_cast<size_t>(picture.Width) * 3);
    for (int32_t y = 0; y < picture.Height; ++y) {
        const uint32_t* p = picture.Row(y);
        for (int32_t x = 0; x < picture.Width; ++x) {
            row[3 * static_cast<size_t>(x)] = static_cast<uint8_t>(p[x] >> 16);
            row[3 * static_cast<size_t>(x) + 1] = static_cast<uint8_t>(p[x] >> 8);
            row[3 * static_cast<size_t>(x) + 2] = static_cast<uint8_t>(p[x]);
        }
        hash.Update(row.data(), row.size());
    }
    std::printf("%d %d %s\n", segment, frame, hash.HexDigest().c_str());
}

// Plays one segment; false when it could not be decoded to its end.
bool PlaySegment(FramesHost& host, const FramesOptions& o, int32_t index) {
    TSegmentInfo* segment = SegmentList().Items(index);
    if (segment->BitsPerPixel != 24 && segment->BitsPerPixel != 32) {
        std::fprintf(stderr, "segment %d: %d bits per pixel cannot be decoded; skipped\n", index,
                     int{segment->BitsPerPixel});
        return false;
    }
    bool ok = true;
    host.onPresent = [&](const Picture& picture) {
        const int32_t ticks = Clock().TicksPerFrame;
        const int32_t tick = Clock().TickCount;
        if (tick % ticks != 0)
            return;
        const int32_t frame = tick / ticks;
        if (frame < o.first || frame > o.last)
            return;
        if (o.digest)
            RgbDigestLine(index, frame, picture);
        if (!o.outDir.empty()) {
            char name[64];
            std::snprintf(name, sizeof name, "/%03d-%05d.png", index, frame);
            if (!WritePng(o.outDir + name, picture)) {
                std::fprintf(stderr, "movarel-tool frames: cannot write %s%s\n", o.outDir.c_str(), name);
                ok = false;
            }
        }
    };
    if (!StartSegment(index)) {
        std::fprintf(stderr, "segment %d: cannot be decoded; skipped\n", index);
        host.onPresent = nullptr;
        return false;
    }
    while (!Clock().EndPosted && Clock().FrameIndex <= o.last && ok) {
        if (!TickManualTimers())
            break;
        host.PumpBlocks();
    }
    if (host.TakeError()) {
        std::fprintf(stderr, "segment %d: %s; skipped\n", index, LastEngineError().c_str());
        ok = false;
    }
    StopPlaybackForLoad();
    host.Clear();
    host.onPresent = nullptr;
    return ok;
}

int RunFrames(const std::vector<std::string>& args) {
    FramesOptions o;
    if (!ParseOptions(args, &o) || o.first > o.last) {
        std::fprintf(stderr, "usage: movarel-tool %s\n", kUsage);
        return 2;
    }
    if (!o.outDir.empty() && ::mkdir(o.outDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "movarel-tool frames: cannot create %s: %s\n", o.outDir.c_str(), std::strerror(errno));
        return 1;
    }
    SetDefaultTexts();
    WorkDir() = CreateWorkDirectory(GetTempPath());
    if (WorkDir().empty()) {
        std::fprintf(stderr, "movarel-tool frames: cannot create a work directory\n");
        return 1;
    }
    SetManualTickMode(true);
    FramesHost host;
    SetupEngine(&host, nullptr);
    int result = 0;
    if (!LoadFilmFile(o)) {
        result = 1;
    } else if (SegmentList().Count() == 0) {
        std::fprintf(stderr, "movarel-tool frames: %s holds no segments\n", o.film.c_str());
        result = 1;
    } else if (o.segment >= SegmentList().Count()) {
        std::fprintf(stderr, "movarel-tool frames: the film has %d segments; there is no segment %d\n",
                     SegmentList().Count(), o.segment);
        result = 2;
    } else {
        const int32_t from = o.segment >= 0 ? o.segment : 0;
        const int32_t to = o.segment >= 0 ? o.segment : SegmentList().Count() - 1;
        for (int32_t i = from; i <= to; ++i)
            if (!PlaySegment(host, o, i))
                result = 1;
    }
    std::fflush(stdout);
    StopPlaybackForLoad();
    SegmentList().Clear();
    SetupEngine(nullptr, nullptr);
    RemoveWorkDirectory(WorkDir());
    WorkDir().clear();
    return result;
}

CommandRegistrar registrar("frames", kUsage, RunFrames);

}  // namespace
}  // namespace movarel::tool
