// movarel-tool thumbnail: one picture of a film for file managers, made
// through the engine as `frames` plays a film, and written as a PNG file.
#include <unistd.h>

#include <QImage>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <exception>
#include <functional>
#include <variant>
#include <string>
#include <vector>

#include "Commands.h"
#include "MessageWatch.h"
#include "engine/BlockQueue.h"
#include "engine/FrameDecoder.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/FilmReader.h"
#include "platform/Texts.h"
#include "film/Picture.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

namespace movarel::tool {
namespace {

constexpr const char* kUsage = "thumbnail FILM OUT.png [SIZE]";
constexpr int kDefaultSize = 256;
constexpr int kLargestSize = 4096;
// Frames looked at, spread evenly over the first segment.
constexpr int32_t kSamples = 12;

// The tool's screen: each whole picture goes to onPresent.
class ThumbnailSink : public FrameSink {
public:
    void PresentFrame(const Picture& picture) override { onPresent(picture); }
    std::function<void(const Picture&)> onPresent = [](const Picture&) {};
};

// The tool is the GUI thread and the timer at once: refills are handled
// between ticks, and a failure shows as a posted error.
bool TakeError(Player& player) {
    bool failed = false;
    for (const PlayerEvent& event : player.Events().Take())
        failed = failed || std::holds_alternative<PlaybackError>(event);
    return failed;
}

// How much a frame shows: the places, on a grid of every second pixel,
// where a pixel differs clearly from its right or lower neighbour. Text,
// window frames and icons are made of such edges; a black or empty frame
// and a smooth wallpaper have few. (Counting colours instead would rate an
// empty window as high as the same window full of text.)
int64_t Detail(const Picture& picture) {
    auto differs = [](uint32_t a, uint32_t b) {
        const int d = std::abs(int(a >> 16 & 0xFF) - int(b >> 16 & 0xFF)) +
                      std::abs(int(a >> 8 & 0xFF) - int(b >> 8 & 0xFF)) + std::abs(int(a & 0xFF) - int(b & 0xFF));
        return d > 60;
    };
    int64_t edges = 0;
    for (int32_t y = 0; y + 1 < picture.Height; y += 2) {
        const uint32_t* row = picture.Row(y);
        const uint32_t* below = picture.Row(y + 1);
        for (int32_t x = 0; x + 1 < picture.Width; x += 2)
            edges += differs(row[x], row[x + 1]) || differs(row[x], below[x]) ? 1 : 0;
    }
    return edges;
}

bool Decodable(const Segment& segment) {
    return (segment.BitsPerPixel == 24 || segment.BitsPerPixel == 32) && segment.Width > 0 && segment.Height > 0 &&
           LargestRecordBytes(segment.Width, segment.Height) <= kBlockSize;
}

// The picture for the thumbnail. The first frames of a screen recording are
// often black or an empty desktop, and a frame at a fixed share of the film
// may fall on a fade or a blank slide; so the engine plays the first segment
// that can be decoded, and of a dozen frames spread evenly over it the one
// with the most detail (the earliest of equals) is taken, cursor drawn as
// the player draws it. Playing stops at the last frame looked at.
bool ChooseFrame(Player& player, ThumbnailSink& host, Picture* chosen) {
    const Film& film = player.PlayedFilm();
    int32_t index = 0;
    while (index < film.Count() && !Decodable(*film.Items(index)))
        ++index;
    if (index == film.Count()) {
        std::fprintf(stderr, "movarel-tool thumbnail: the film has no segment that can be decoded\n");
        return false;
    }
    const int32_t frames = std::max(film.Items(index)->FrameCount, 1);
    std::vector<int32_t> samples;
    for (int32_t k = 0; k < kSamples; ++k) {
        const int32_t frame = static_cast<int32_t>(int64_t{k} * (frames - 1) / (kSamples - 1));
        if (samples.empty() || samples.back() != frame)
            samples.push_back(frame);
    }
    int64_t best = 0;
    bool found = false;
    host.onPresent = [&](const Picture& picture) {
        const int32_t ticks = player.Clock().TicksPerFrame;
        const int32_t tick = player.Clock().TickCount;
        if (ticks <= 0 || tick % ticks != 0)
            return;
        const int32_t frame = tick / ticks;
        if (std::find(samples.begin(), samples.end(), frame) == samples.end())
            return;
        const int64_t detail = Detail(picture);
        if (!found || detail > best) {
            *chosen = picture;
            best = detail;
            found = true;
        }
    };
    bool ok = player.StartSegment(index);
    while (ok && !player.Clock().EndPosted && player.Clock().FrameIndex <= samples.back()) {
        if (!player.TickManually())
            break;
        player.RefillPostedBlocks();
    }
    if (!ok || TakeError(player)) {
        std::fprintf(stderr, "movarel-tool thumbnail: segment %d cannot be decoded%s%s\n", index,
                     ok ? ": " : "", ok ? player.LastEngineError().c_str() : "");
        found = false;
    }
    player.StopPlaybackForLoad();
    host.onPresent = [](const Picture&) {};
    return found;
}

// Scaled down smoothly to fit size x size, aspect kept; a smaller film keeps
// its own size, as enlarging would only blur it.
QImage ThumbnailImage(const Picture& picture, int size) {
    QImage image(picture.Width, picture.Height, QImage::Format_RGB32);
    for (int32_t y = 0; y < picture.Height; ++y) {
        const uint32_t* from = picture.Row(y);
        auto* to = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int32_t x = 0; x < picture.Width; ++x)
            to[x] = from[x] | 0xFF000000u;
    }
    if (image.width() <= size && image.height() <= size)
        return image;
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Written under a name next to the output and renamed when complete, so a
// file manager never reads half a picture and a failure leaves nothing.
bool WriteThumbnail(const QImage& image, const std::string& out) {
    const size_t slash = out.find_last_of('/');
    const std::string dir = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? out : out.substr(slash + 1);
    const std::string scratch = dir + ".movarel-" + std::to_string(::getpid()) + "-thumbnail-" + base;
    if (!image.save(QString::fromStdString(scratch), "PNG")) {
        std::remove(scratch.c_str());
        std::fprintf(stderr, "movarel-tool thumbnail: cannot write %s\n", out.c_str());
        return false;
    }
    if (std::rename(scratch.c_str(), out.c_str()) != 0) {
        std::fprintf(stderr, "movarel-tool thumbnail: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        std::remove(scratch.c_str());
        return false;
    }
    return true;
}

int RunThumbnail(const std::vector<std::string>& args) {
    int size = kDefaultSize;
    if (args.size() == 3) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(args[2].c_str(), &end, 10);
        if (args[2].empty() || *end != '\0' || errno != 0 || v < 1 || v > kLargestSize)
            size = 0;
        else
            size = static_cast<int>(v);
    }
    if (args.size() < 2 || args.size() > 3 || size == 0 || args[0].empty() || args[1].empty() ||
        args[0][0] == '-' || args[1][0] == '-') {
        std::fprintf(stderr, "usage: movarel-tool %s\n", kUsage);
        return 2;
    }
    const std::string& filmPath = args[0];
    const std::string& out = args[1];
    SetDefaultTexts();
    MessageWatch messages(true);
    WorkDirectory work = WorkDirectory::Create(GetTempPath());
    if (work.Path().empty()) {
        std::fprintf(stderr, "movarel-tool thumbnail: cannot create a work directory in %s\n",
                     GetTempPath().c_str());
        return 1;
    }
    // Found through its trailer, as the player finds a film named on its
    // command line: a self-playing film gets its picture too. The film owns
    // the work directory, so its files go however the command ends.
    std::unique_ptr<Film> film;
    try {
        FileStream stream(filmPath, kModeReadShared);
        FilmRead read = LoadAppendedFilm(stream, std::move(work));
        film = std::move(read.film);
        if (read.failure)
            std::rethrow_exception(read.failure);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "movarel-tool thumbnail: %s: %s\n", filmPath.c_str(), e.what());
        return 1;
    }
    if (!film || film->Count() == 0) {
        std::fprintf(stderr, "movarel-tool thumbnail: %s holds no segments\n", filmPath.c_str());
        return 1;
    }
    // A damaged film gets no picture, as it gets no other output.
    if (messages.SawError())
        return 1;
    ThumbnailSink host;
    PlayerSetup setup;
    setup.Sink = &host;
    setup.ManualTicks = true;
    Player player(*film, setup);
    Picture picture;
    if (!ChooseFrame(player, host, &picture))
        return 1;
    return WriteThumbnail(ThumbnailImage(picture, size), out) ? 0 : 1;
}

CommandRegistrar registrar("thumbnail", kUsage, RunThumbnail);

}  // namespace
}  // namespace movarel::tool
