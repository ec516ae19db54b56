// movarel-tool frames: plays a film headless through the engine, ticking the
// clock by hand, and writes or hashes the picture of every frame as shown,
// or hands every tick's picture to ffmpeg for a video.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <deque>
#include <functional>
#include <memory>
#include <variant>
#include <string>
#include <vector>

#include "Commands.h"
#include "Interrupt.h"
#include "MessageWatch.h"
#include "PngWriter.h"
#include "ProgressLine.h"
#include "Sha256.h"
#include "VideoExport.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/FilmReader.h"
#include "platform/Texts.h"
#include "film/Picture.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"


namespace movarel::tool {
namespace {

constexpr const char* kUsage =
    "frames FILM [--from-start] [--segment N] [--first A] [--last B] [--out DIR] [--digest]\n"
    "  movarel-tool frames FILM [--from-start] --seek S:F[,S:F...] [--out DIR] [--digest]\n"
    "  movarel-tool frames FILM [--from-start] [--segment N] --video FILE.mp4 [--crisp]";

struct FramesOptions {
    std::string film;
    bool fromStart = false;
    int32_t segment = -1;  // -1: every segment
    int32_t first = 0;
    int32_t last = INT32_MAX;
    std::string outDir;
    bool digest = false;
    std::string video;
    bool crisp = false;
    std::vector<std::pair<int32_t, int32_t>> seeks;  // segment, frame
    bool seek = false;
};

// The tool's screen: what the engine presents, handed on to the command.
class FramesSink : public FrameSink {
public:
    void PresentFrame(const Picture& picture) override {
        if (onPresent)
            onPresent(picture);
    }
    void PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) override {
        if (onCursorArea)
            onCursorArea(picture, rects, count);
    }

    std::function<void(const Picture&)> onPresent;
    std::function<void(const Picture&, const PixelRect*, int)> onCursorArea;
};

// One thread is the GUI thread and the timer: the events wait until the tool
// looks at them between ticks. Refills are handled as they come; the tool
// walks the segments itself, so a segment's end is not acted on.
bool TakeError(Player& player) {
    bool failed = false;
    for (const PlayerEvent& event : player.Events().Take())
        failed = failed || std::holds_alternative<PlaybackError>(event);
    return failed;
}

bool ParseInt(const std::string& text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < 0 || v > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// S:F[,S:F...], segments and frames counted from 0 as the digest lines count
// them.
bool ParseSeekTargets(const std::string& text, std::vector<std::pair<int32_t, int32_t>>* targets) {
    size_t at = 0;
    while (true) {
        const size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        const size_t colon = item.find(':');
        int32_t segment = 0, frame = 0;
        if (colon == std::string::npos || !ParseInt(item.substr(0, colon), &segment) ||
            !ParseInt(item.substr(colon + 1), &frame))
            return false;
        targets->emplace_back(segment, frame);
        if (comma == std::string::npos)
            return true;
        at = comma + 1;
    }
}

bool ParseOptions(const std::vector<std::string>& args, FramesOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](int32_t* target) { return i + 1 < args.size() && ParseInt(args[++i], target); };
        if (a == "--from-start") {
            o->fromStart = true;
        } else if (a == "--digest") {
            o->digest = true;
        } else if (a == "--crisp") {
            o->crisp = true;
        } else if (a == "--segment") {
            if (!value(&o->segment))
                return false;
        } else if (a == "--first") {
            if (!value(&o->first))
                return false;
        } else if (a == "--last") {
            if (!value(&o->last))
                return false;
        } else if (a == "--seek") {
            if (i + 1 >= args.size() || !ParseSeekTargets(args[++i], &o->seeks))
                return false;
            o->seek = true;
        } else if (a == "--out") {
            if (i + 1 >= args.size())
                return false;
            o->outDir = args[++i];
        } else if (a == "--video") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return false;
            o->video = args[++i];
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
// named on the player's command line. The film read so far, also of a read
// that failed, goes to film.
bool LoadFilmFile(const FramesOptions& o, WorkDirectory work, std::unique_ptr<Film>& film) {
    try {
        FileStream stream(o.film, kModeReadShared);
        FilmRead read;
        if (o.fromStart) {
            stream.SetPosition(0);
            read = ReadFilm(stream, std::move(work));
        } else {
            read = LoadAppendedFilm(stream, std::move(work));
        }
        film = std::move(read.film);
        if (read.failure)
            std::rethrow_exception(read.failure);
    } catch (const std::exception& e) {
        // Readers throw more than Error (a corrupt cabinet's listing
        // throws CabinetError); each is a film that cannot be read.
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
bool PlaySegment(Player& player, FramesSink& host, const FramesOptions& o, int32_t index,
                 const InterruptWatch& interrupt) {
    const Segment* segment = player.PlayedFilm().Items(index);
    if (segment->BitsPerPixel != 24 && segment->BitsPerPixel != 32) {
        std::fprintf(stderr, "segment %d: %d bits per pixel cannot be decoded; skipped\n", index,
                     int{segment->BitsPerPixel});
        return false;
    }
    bool ok = true;
    host.onPresent = [&](const Picture& picture) {
        const int32_t ticks = player.Clock().TicksPerFrame;
        const int32_t tick = player.Clock().TickCount;
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
    if (!player.StartSegment(index)) {
        std::fprintf(stderr, "segment %d: cannot be decoded; skipped\n", index);
        host.onPresent = nullptr;
        return false;
    }
    while (!player.Clock().EndPosted && player.Clock().FrameIndex <= o.last && ok && !interrupt.Requested()) {
        if (!player.TickManually())
            break;
        player.RefillPostedBlocks();
    }
    if (TakeError(player)) {
        std::fprintf(stderr, "segment %d: %s; skipped\n", index, player.LastEngineError().c_str());
        ok = false;
    }
    player.StopPlaybackForLoad();
    player.Events().Take();
    host.onPresent = nullptr;
    return ok;
}

// Visits each target in turn through the player's seek, timing each from the
// request until its picture is presented.
int SeekFrames(Player& player, FramesSink& host, const FramesOptions& o) {
    const Film& film = player.PlayedFilm();
    for (const auto& [index, frame] : o.seeks) {
        const Segment* segment = film.Items(index);
        if (segment == nullptr) {
            std::fprintf(stderr, "movarel-tool frames: there is no frame %d:%d; the film has %d segments\n", index,
                         frame, film.Count());
            return 1;
        }
        if (frame >= segment->FrameCount) {
            std::fprintf(stderr, "movarel-tool frames: there is no frame %d:%d; segment %d has %d frames\n", index,
                         frame, index, segment->FrameCount);
            return 1;
        }
    }
    int result = 0;
    for (const auto& [index, frame] : o.seeks) {
        bool presented = false;
        host.onPresent = [&](const Picture&) { presented = true; };
        const auto start = std::chrono::steady_clock::now();
        const bool done = player.SeekTo(index, frame);
        const auto end = std::chrono::steady_clock::now();
        host.onPresent = nullptr;
        player.Events().Take();
        if (!done || !presented) {
            std::fprintf(stderr, "segment %d: frame %d cannot be decoded; skipped\n", index, frame);
            result = 1;
            continue;
        }
        std::fprintf(stderr, "seek %d:%d %.3f ms\n", index, frame,
                     std::chrono::duration<double, std::milli>(end - start).count());
        const Picture& picture = player.CurrentPicture();
        if (o.digest)
            RgbDigestLine(index, frame, picture);
        if (!o.outDir.empty()) {
            char name[64];
            std::snprintf(name, sizeof name, "/%03d-%05d.png", index, frame);
            if (!WritePng(o.outDir + name, picture)) {
                std::fprintf(stderr, "movarel-tool frames: cannot write %s%s\n", o.outDir.c_str(), name);
                result = 1;
            }
        }
    }
    return result;
}

// The timer's rate for a segment: the picture can change on every tick, and
// at three ticks per frame the cursor moves between frames. A frame rate of
// 0 runs the timer at 100 ms.
int32_t TickRate(const Segment& segment) {
    return segment.Fps > 0 ? int32_t{segment.Fps} * segment.TicksPerFrame() : 10;
}

// The sizes come from the film; the canvas is made before any segment
// starts, so the engine's own limit is applied here first.
bool Decodable(const Segment& segment) {
    return (segment.BitsPerPixel == 24 || segment.BitsPerPixel == 32) && segment.Width > 0 && segment.Height > 0 &&
           LargestRecordBytes(segment.Width, segment.Height) <= kBlockSize;
}

std::string SoundFileOf(const Segment& segment) {
    if (segment.SoundFileName.empty() || !FileExists(segment.SoundFileName))
        return std::string();
    struct stat st {};
    return ::stat(segment.SoundFileName.c_str(), &st) == 0 && st.st_size > 0 ? segment.SoundFileName
                                                                            : std::string();
}

// A name next to the output, so the finished file is renamed into place and
// a failed export leaves an older file of that name as it was. The name
// keeps the output's extension, from which ffmpeg picks the format.
std::string ScratchNameFor(const std::string& out, const char* step) {
    const size_t slash = out.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    return dir + ".movarel-" + std::to_string(::getpid()) + "-" + step + "-" + base;
}

// The pictures a segment adds to the video, from its header: its last frame
// comes on tick (frames - 1) * ticks per frame, at the segment's own rate.
int64_t ExpectedFrames(const Segment& segment, int32_t rate) {
    const int64_t ticksPerFrame = segment.TicksPerFrame();
    const int64_t ticks = segment.FrameCount > 0 ? (int64_t{segment.FrameCount} - 1) * ticksPerFrame + 1 : 0;
    const int32_t segmentRate = TickRate(segment);
    return (ticks * rate + segmentRate / 2) / segmentRate;
}

// A scratch file of the export, removed when the export ends without
// renaming it into place: a failure, an exception, Ctrl+C.
struct ScratchFile {
    std::string path;
    ~ScratchFile() { std::remove(path.c_str()); }
};

// Plays segments from..to into one video. The screen the player would show
// is kept up to date from what the engine presents (whole pictures and
// cursor areas alike) and sent once per tick; segments of a slower timer
// repeat pictures to fill the fastest segment's rate.

int ExportVideo(Player& player, FramesSink& host, const FramesOptions& o, int32_t from, int32_t to,
                const InterruptWatch& interrupt) {
    const Film& film = player.PlayedFilm();
    const std::string ffmpeg = FindOnPath("ffmpeg", std::getenv("PATH"));
    if (ffmpeg.empty()) {
        std::fprintf(stderr,
                     "movarel-tool frames: --video needs ffmpeg, and there is none on PATH "
                     "(on Debian: apt-get install ffmpeg)\n");
        return 1;
    }
    int result = 0;
    std::vector<int32_t> segments;
    int32_t width = 0, height = 0, rate = 1;
    for (int32_t i = from; i <= to; ++i) {
        const Segment& segment = *film.Items(i);
        if (!Decodable(segment)) {
            std::fprintf(stderr, "segment %d: %d x %d pixels at %d bits cannot be decoded; skipped\n", i,
                         segment.Width, segment.Height, int{segment.BitsPerPixel});
            result = 1;
            continue;
        }
        segments.push_back(i);
        width = std::max(width, segment.Width);
        height = std::max(height, segment.Height);
        rate = std::max(rate, TickRate(segment));
    }
    if (segments.empty()) {
        std::fprintf(stderr, "movarel-tool frames: no segment to export\n");
        return 1;
    }

    std::vector<std::string> codec;
    if (o.crisp) {
        codec = CrispCodec(ProgramOutput({ffmpeg, "-hide_banner", "-encoders"}));
        if (codec.empty()) {
            std::fprintf(stderr, "movarel-tool frames: --crisp needs an ffmpeg with libx264 (4:4:4) or FFV1 "
                                 "(lossless), and %s has neither\n", ffmpeg.c_str());
            return 1;
        }
    }

    VideoCanvas canvas(width, height);
    // Declared before the encoder, so ffmpeg has ended before they go.
    const ScratchFile encodedFile{ScratchNameFor(o.video, "video")}, muxedFile{ScratchNameFor(o.video, "sound")};
    const std::string& encoded = encodedFile.path;
    const std::string& muxed = muxedFile.path;
    PipedProcess encoder;
    std::string error;
    if (!encoder.Start(EncodeArguments(ffmpeg, canvas.Width(), canvas.Height(), rate, encoded, codec), &error)) {
        std::fprintf(stderr, "movarel-tool frames: %s\n", error.c_str());
        return 1;
    }
    // A failing ffmpeg closes the pipe; the write reports it instead of a
    // signal ending the tool without a word.
    std::signal(SIGPIPE, SIG_IGN);
    encoder.SetStopCheck([&] { return interrupt.Requested(); });

    int64_t expected = 0;
    for (int32_t index : segments)
        expected += ExpectedFrames(*film.Items(index), rate);
    ProgressLine progress(expected, ::isatty(STDERR_FILENO) == 1);

    std::vector<ExportedPart> parts;
    bool piped = true;
    int64_t totalFrames = 0;
    for (int32_t index : segments) {
        const Segment& segment = *film.Items(index);
        const int32_t segmentRate = TickRate(segment);
        Picture screen;
        bool changed = false;
        host.onPresent = [&](const Picture& picture) {
            screen = picture;
            changed = true;
        };
        host.onCursorArea = [&](const Picture& picture, const PixelRect* rects, int count) {
            if (screen.Width != picture.Width || screen.Height != picture.Height) {
                screen = picture;
            } else {
                for (int r = 0; r < count; ++r)
                    for (int32_t y = rects[r].y; y < rects[r].y + rects[r].h; ++y)
                        std::copy(picture.Row(y) + rects[r].x, picture.Row(y) + rects[r].x + rects[r].w,
                                  screen.Row(y) + rects[r].x);
            }
            changed = true;
        };
        ExportedPart part;
        part.soundFile = SoundFileOf(segment);
        if (!player.StartSegment(index)) {
            std::fprintf(stderr, "segment %d: cannot be decoded; skipped\n", index);
            result = 1;
        } else {
            int64_t ticks = 0;
            // The tick after the last frame only ends the segment; the next
            // segment's first frame takes its place in the video.
            while (piped && !player.Clock().EndPosted && !player.Clock().LastFrameShown && !interrupt.Requested()) {
                if (!player.TickManually())
                    break;
                player.RefillPostedBlocks();
                ++ticks;
                if (changed) {
                    canvas.Draw(screen);
                    changed = false;
                }
                const int64_t due = (ticks * rate + segmentRate / 2) / segmentRate;
                for (; part.frames < due && piped; ++part.frames)
                    piped = encoder.Write(canvas.Rgb().data(), canvas.Rgb().size());
                progress.Update(totalFrames + part.frames);
            }
            if (TakeError(player)) {
                std::fprintf(stderr, "segment %d: %s; the video stops there\n", index,
                             player.LastEngineError().c_str());
                result = 1;
            }
        }
        player.StopPlaybackForLoad();
        player.Events().Take();
        host.onPresent = nullptr;
        host.onCursorArea = nullptr;
        totalFrames += part.frames;
        parts.push_back(part);
        if (!piped || interrupt.Requested())
            break;
    }
    progress.Finish(totalFrames);

    // Stopped by Ctrl+C: nothing of the export is kept (the scratch files
    // go with their owners), an older file of the output's name stays.
    auto interrupted = [&] {
        std::fprintf(stderr, "movarel-tool frames: interrupted; %s was not written\n", o.video.c_str());
        return kInterruptedStatus;
    };
    const int encodeStatus = encoder.Finish(interrupt.Requested());
    if (interrupt.Requested())
        return interrupted();
    if (!piped || encodeStatus != 0 || totalFrames == 0) {
        std::fprintf(stderr, "movarel-tool frames: ffmpeg could not write %s%s\n", o.video.c_str(),
                     totalFrames == 0 ? " (no frame was played)" : " (its message is above)");
        return 1;
    }

    bool sound = false;
    for (const ExportedPart& part : parts)
        sound = sound || (!part.soundFile.empty() && part.frames > 0);
    std::string finished = encoded;
    if (sound) {
        const int muxStatus = RunProgram(MuxArguments(ffmpeg, encoded, parts, rate, muxed));
        if (interrupt.Requested())
            return interrupted();
        if (muxStatus == 0) {
            finished = muxed;
        } else {
            std::fprintf(stderr, "movarel-tool frames: the sound could not be added (ffmpeg's message is above); "
                                 "%s has no sound\n", o.video.c_str());
            sound = false;
            result = 1;
        }
    }
    if (std::rename(finished.c_str(), o.video.c_str()) != 0) {
        std::fprintf(stderr, "movarel-tool frames: cannot write %s: %s\n", o.video.c_str(), std::strerror(errno));
        return 1;
    }
    std::printf("%s: %lld frames at %d per second, %d x %d, %.3f s, %s\n", o.video.c_str(),
                static_cast<long long>(totalFrames), rate, canvas.Width(), canvas.Height(),
                static_cast<double>(totalFrames) / rate, sound ? "with sound" : "no sound");
    return result;
}

int RunFrames(const std::vector<std::string>& args) {
    FramesOptions o;
    if (!ParseOptions(args, &o) || o.first > o.last) {
        std::fprintf(stderr, "usage: movarel-tool %s\n", kUsage);
        return 2;
    }
    if (o.crisp && o.video.empty()) {
        std::fprintf(stderr, "movarel-tool frames: --crisp goes with --video\n");
        return 2;
    }
    if (!o.video.empty() && (o.digest || !o.outDir.empty() || o.first != 0 || o.last != INT32_MAX)) {
        std::fprintf(stderr, "movarel-tool frames: --video exports whole segments; it does not go with "
                             "--first, --last, --out or --digest\n");
        return 2;
    }
    if (o.seek && (!o.video.empty() || o.segment >= 0 || o.first != 0 || o.last != INT32_MAX)) {
        std::fprintf(stderr, "movarel-tool frames: --seek names its frames; it does not go with --segment, "
                             "--first, --last or --video\n");
        return 2;
    }
    if (!o.outDir.empty() && ::mkdir(o.outDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "movarel-tool frames: cannot create %s: %s\n", o.outDir.c_str(), std::strerror(errno));
        return 1;
    }
    SetDefaultTexts();
    MessageWatch messages(true);
    WorkDirectory work = WorkDirectory::Create(GetTempPath());
    if (work.Path().empty()) {
        std::fprintf(stderr, "movarel-tool frames: cannot create a work directory in %s\n", GetTempPath().c_str());
        return 1;
    }
    InterruptWatch interrupt;
    int result = 0;
    // The film owns the work directory: however the command ends, its files
    // and the directory go with it.
    std::unique_ptr<Film> loaded;
    const bool read = LoadFilmFile(o, std::move(work), loaded);
    const Film empty;
    const Film& film = loaded ? *loaded : empty;
    FramesSink host;
    PlayerSetup setup;
    setup.Sink = &host;
    setup.ManualTicks = true;
    // Plain playing never seeks; a seek builds the index it needs.
    setup.SeekIndexOnStart = false;
    Player player(film, setup);
    if (!read) {
        result = 1;
    } else if (interrupt.Requested()) {
        // Ctrl+C while the film loaded: nothing was played yet.
    } else if (film.Count() == 0) {
        std::fprintf(stderr, "movarel-tool frames: %s holds no segments\n", o.film.c_str());
        result = 1;
    } else if (o.segment >= film.Count()) {
        std::fprintf(stderr, "movarel-tool frames: the film has %d segments; there is no segment %d\n",
                     film.Count(), o.segment);
        result = 2;
    } else {
        const int32_t from = o.segment >= 0 ? o.segment : 0;
        const int32_t to = o.segment >= 0 ? o.segment : film.Count() - 1;
        if (o.seek) {
            result = SeekFrames(player, host, o);
        } else if (!o.video.empty()) {
            result = ExportVideo(player, host, o, from, to, interrupt);
        } else {
            for (int32_t i = from; i <= to && !interrupt.Requested(); ++i)
                if (!PlaySegment(player, host, o, i, interrupt))
                    result = 1;
        }
    }
    if (interrupt.Requested()) {
        std::fflush(stdout);
        if (o.video.empty())
            std::fprintf(stderr, "movarel-tool frames: interrupted\n");
        return kInterruptedStatus;
    }
    // A segment the load refused as damaged leaves the film incomplete.
    if (result == 0 && messages.SawError())
        result = 1;
    std::fflush(stdout);
    return result;
}

CommandRegistrar registrar("frames", kUsage, RunFrames);

}  // namespace
}  // namespace movarel::tool
