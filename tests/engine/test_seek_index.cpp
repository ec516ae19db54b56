// The seek index: the picture it gives for a frame is the one decoding every
// record from the start gives, whether the index is built, half built,
// cancelled, thinned to its memory limit or stopped by a damaged record.
#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "EngineFixture.h"
#include "engine/SeekIndex.h"
#include "engine/XorRunDecoder.h"
#include "film/FilmReader.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

namespace movarel::test {
namespace {

// Frames of moving blocks over a few changing pixels: records of long and
// short runs, some frames changing little and some much.
std::vector<writer::Image> MovingFrames(int32_t w, int32_t h, int count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<writer::Image> frames;
    writer::Image image(static_cast<size_t>(w) * h, 0x00204060u);
    for (int f = 0; f < count; ++f) {
        const int32_t bx = static_cast<int32_t>(rng() % w), by = static_cast<int32_t>(rng() % h);
        const int32_t bw = 1 + static_cast<int32_t>(rng() % (w / 2)), bh = 1 + static_cast<int32_t>(rng() % (h / 2));
        const uint32_t colour = rng() & 0xFFFFFFu;
        for (int32_t y = by; y < std::min(h, by + bh); ++y)
            for (int32_t x = bx; x < std::min(w, bx + bw); ++x)
                image[static_cast<size_t>(y) * w + x] = colour;
        for (int k = 0; k < 5; ++k)
            image[rng() % image.size()] = rng() & 0xFFFFFFu;
        frames.push_back(image);
    }
    return frames;
}

// A frame stream and what decoding it from the start gives after each record.
struct Stream {
    int32_t width, height;
    writer::Bytes bytes;
    std::vector<std::vector<uint32_t>> pictures;
    std::vector<int64_t> offsets;  // of each record, and the end after the last
};

Stream Sequential(int32_t w, int32_t h, const writer::Bytes& bytes) {
    Stream s{w, h, bytes, {}, {}};
    Picture picture;
    picture.Reset(w, h);
    size_t at = 0;
    while (at + 4 <= bytes.size()) {
        int32_t size;
        std::memcpy(&size, bytes.data() + at, 4);
        if (DecodeXorRecord(bytes.data() + at, static_cast<int64_t>(bytes.size() - at), picture) !=
            XorRecordCheck::Valid)
            break;
        s.offsets.push_back(static_cast<int64_t>(at));
        s.pictures.push_back(picture.Pixels);
        at += static_cast<size_t>(size);
    }
    s.offsets.push_back(static_cast<int64_t>(at));
    return s;
}

// The stream in a file between other bytes, as it lies in a segment's data
// file, and the window on it.
class StreamFile {
public:
    StreamFile(const std::string& path, const writer::Bytes& stream) {
        writer::Bytes file(37, 0xA5);
        writer::Append(file, stream);
        file.insert(file.end(), 13, 0x5A);
        writer::WriteFileBytes(path, file);
        handle = ::open(path.c_str(), O_RDONLY);
        window = {handle, 37, static_cast<int64_t>(stream.size())};
    }
    ~StreamFile() { ::close(handle); }
    int handle;
    FrameStreamWindow window;
};

// Snapshots often, so a small film has many.
constexpr SeekIndexLimits kDense{.MemoryBytes = size_t{64} << 20, .RecordBytesPerSnapshot = 2000,
                                 .FramesPerSnapshot = 9};

// Every frame the table names (first, last, each snapshot and its
// neighbours, a few more) decodes to the sequential picture, and the offset
// after it is where the next record starts.
void ExpectFrames(const SeekIndex& index, const Stream& s, const std::set<int32_t>& targets) {
    for (int32_t target : targets) {
        SCOPED_TRACE(testing::Message() << "frame " << target);
        Picture picture;
        int64_t next = -1;
        ASSERT_EQ(index.DecodeFrameAt(target, picture, &next), SeekResult::Done);
        EXPECT_EQ(picture.Width, s.width);
        EXPECT_EQ(picture.Height, s.height);
        ASSERT_EQ(picture.Pixels, s.pictures[static_cast<size_t>(target)]);
        EXPECT_EQ(next, s.offsets[static_cast<size_t>(target) + 1]);
    }
}

std::set<int32_t> Targets(const SeekIndex& index, int32_t frames) {
    std::set<int32_t> targets = {0, 1, frames / 2, frames - 2, frames - 1};
    for (int32_t f : index.SnapshotFrames())
        for (int32_t d : {-1, 0, 1})
            targets.insert(f + d);
    std::erase_if(targets, [&](int32_t f) { return f < 0 || f >= frames; });
    return targets;
}

class SeekIndex_ : public EngineTest {};

TEST_F(SeekIndex_, PicturesEqualSequentialDecoding) {
    struct Case {
        const char* name;
        int32_t width, height, frames;
        uint8_t bpp;
    };
    for (const Case& c : {Case{"32 bits", 61, 37, 150, 32}, Case{"24 bits", 40, 30, 97, 24},
                          Case{"one frame", 8, 4, 1, 32}, Case{"two frames", 8, 4, 2, 24}}) {
        SCOPED_TRACE(c.name);
        const std::vector<writer::Image> images = MovingFrames(c.width, c.height, c.frames, 1);
        const Stream s = Sequential(c.width, c.height, writer::EncodeFrameStream(images, c.width, c.height));
        ASSERT_EQ(s.pictures.size(), images.size());
        StreamFile file(dir.path + "frames", s.bytes);

        SeekIndex index(file.window, c.width, c.height, c.bpp, c.frames, kDense);
        // Before any index: every frame from the segment's start.
        ExpectFrames(index, s, {0, c.frames - 1});
        index.StartBuilding();
        index.WaitUntilBuilt();
        const SeekIndexProgress done = index.Progress();
        EXPECT_EQ(done.State, SeekIndexState::Complete);
        EXPECT_EQ(done.FramesIndexed, c.frames);
        if (c.frames > 20) {
            EXPECT_GE(index.SnapshotFrames().size(), 5u);
        }
        ExpectFrames(index, s, Targets(index, c.frames));

        Picture picture;
        EXPECT_EQ(index.DecodeFrameAt(-1, picture), SeekResult::NoFrame);
        EXPECT_EQ(index.DecodeFrameAt(c.frames, picture), SeekResult::NoFrame);
    }
}

// A film of three ticks per frame, loaded by the film reader: the index
// reads the frame stream in place from the segment's own data file.
TEST_F(SeekIndex_, ReadsALoadedFilmsFrameStreamInPlace) {
    TestDir work;
    writer::SegmentSpec segment;
    segment.width = 33;
    segment.height = 21;
    segment.pacing = true;
    segment.packing = writer::Packing::CabStored;
    segment.title = "Three ticks";
    segment.frames = MovingFrames(33, 21, 60, 4);
    segment.track = {{0, 1, 1}};
    writer::FilmSpec film;
    film.segments = {segment};
    writer::WriteFileBytes(dir.path + "film.qxf", writer::BuildFilmFile(film));
    FileStream file(dir.path + "film.qxf", kModeRead);
    FilmRead read = ReadFilm(file, WorkDirectory::Create(work.path));
    ASSERT_TRUE(read.isFilm);
    ASSERT_TRUE(read.film);
    Segment* loaded = read.film->Items(0);
    ASSERT_EQ(loaded->TicksPerFrame(), 3);
    ASSERT_NE(loaded->FrameStream->WindowBase(), 0) << "the stream should lie inside the data file";

    const Stream s = Sequential(33, 21, writer::EncodeFrameStream(segment.frames, 33, 21));
    SeekIndex index(FrameStreamWindowOf(*loaded->FrameStream), loaded->Width, loaded->Height,
                    loaded->BitsPerPixel, loaded->FrameCount, kDense);
    index.StartBuilding();
    index.WaitUntilBuilt();
    EXPECT_EQ(index.Progress().State, SeekIndexState::Complete);
    std::set<int32_t> every;
    for (int32_t f = 0; f < 60; ++f)
        every.insert(f);
    ExpectFrames(index, s, every);
}

// The build is held at its first snapshot past the middle while readers
// seek on both sides of it, so a stalled build keeps no reader waiting.
TEST_F(SeekIndex_, TargetsWhileTheBuildIsHalfWay) {
    const int32_t w = 50, h = 30, frames = 120;
    const Stream s = Sequential(w, h, writer::EncodeFrameStream(MovingFrames(w, h, frames, 2), w, h));
    StreamFile file(dir.path + "frames", s.bytes);
    SeekIndex index(file.window, w, h, 32, frames, kDense);

    std::mutex lock;
    std::condition_variable changed;
    bool halfway = false, release = false;
    index.StartBuilding([&](const SeekIndexProgress& p) {
        std::unique_lock<std::mutex> guard(lock);
        if (!halfway && p.FramesIndexed >= frames / 2) {
            halfway = true;
            changed.notify_all();
            changed.wait(guard, [&] { return release; });
        }
    });
    {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return halfway; }));
    }
    const SeekIndexProgress half = index.Progress();
    EXPECT_EQ(half.State, SeekIndexState::Building);
    EXPECT_GE(half.FramesIndexed, frames / 2);
    EXPECT_LT(half.FramesIndexed, frames);
    ExpectFrames(index, s, {0, half.FramesIndexed - 2, half.FramesIndexed - 1, half.FramesIndexed,
                            half.FramesIndexed + 1, frames - 1});
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    changed.notify_all();
    index.WaitUntilBuilt();
    EXPECT_EQ(index.Progress().State, SeekIndexState::Complete);
    ExpectFrames(index, s, Targets(index, frames));
}

TEST_F(SeekIndex_, CancelledBuildKeepsWhatItHas) {
    const int32_t w = 50, h = 30, frames = 100;
    const Stream s = Sequential(w, h, writer::EncodeFrameStream(MovingFrames(w, h, frames, 3), w, h));
    StreamFile file(dir.path + "frames", s.bytes);
    SeekIndex index(file.window, w, h, 24, frames, kDense);
    index.StartBuilding([&](const SeekIndexProgress& p) {
        if (p.State == SeekIndexState::Building && index.SnapshotFrames().size() == 2)
            index.Cancel();
    });
    index.WaitUntilBuilt();
    const SeekIndexProgress p = index.Progress();
    EXPECT_EQ(p.State, SeekIndexState::Cancelled);
    EXPECT_LT(p.FramesIndexed, frames);
    EXPECT_EQ(index.SnapshotFrames().size(), 2u);
    ExpectFrames(index, s, Targets(index, frames));
}

// A limit that holds a few snapshots: every other one goes, the spacing
// doubles, and the memory stays within the limit.
TEST_F(SeekIndex_, MemoryLimitThinsTheSnapshots) {
    const int32_t w = 64, h = 48, frames = 200;
    const Stream s = Sequential(w, h, writer::EncodeFrameStream(MovingFrames(w, h, frames, 5), w, h));
    StreamFile file(dir.path + "frames", s.bytes);
    const size_t limit = 4 * static_cast<size_t>(w) * h * 4;  // about four raw pictures
    SeekIndex index(file.window, w, h, 32, frames,
                    {.MemoryBytes = limit, .RecordBytesPerSnapshot = 1000, .FramesPerSnapshot = 4});
    size_t most = 0;
    index.StartBuilding([&](const SeekIndexProgress&) { most = std::max(most, index.MemoryBytes()); });
    index.WaitUntilBuilt();
    EXPECT_EQ(index.Progress().State, SeekIndexState::Complete);
    EXPECT_LE(most, limit);
    EXPECT_LE(index.MemoryBytes(), limit);
    const std::vector<int32_t> kept = index.SnapshotFrames();
    EXPECT_GE(kept.size(), 2u);
    EXPECT_LT(kept.size(), static_cast<size_t>(frames / 4));
    ExpectFrames(index, s, Targets(index, frames));
}

// Streams the player would stop in: frames before the damage seek as
// usual, frames at or after it are refused.
TEST_F(SeekIndex_, DamagedStreamsStopAtTheDamage) {
    const int32_t w = 20, h = 10, frames = 40, bad = 25;
    const std::vector<writer::Image> images = MovingFrames(w, h, frames, 6);
    writer::Bytes good = writer::EncodeFrameStream(images, w, h);
    const Stream s = Sequential(w, h, good);
    const size_t badAt = static_cast<size_t>(s.offsets[bad]);

    struct Case {
        const char* name;
        writer::Bytes stream;
        int64_t windowLength;  // -1: the stream's length
        SeekResult atBad;
        SeekIndexState state;
    };
    writer::Bytes uncovered = good;
    uncovered[badAt + 8 + 3] ^= 0x01;  // the first run's count: the runs miss the frame
    writer::Bytes zeroSize = good;
    std::memset(zeroSize.data() + badAt, 0, 4);
    writer::Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(badAt + 6));
    writer::Bytes shorter(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(badAt));
    const std::vector<Case> cases = {
        {"runs do not cover the frame", uncovered, -1, SeekResult::Damaged, SeekIndexState::Damaged},
        {"record size 0", zeroSize, -1, SeekResult::Damaged, SeekIndexState::Damaged},
        {"record cut short", cut, -1, SeekResult::Damaged, SeekIndexState::Damaged},
        {"fewer records than frames", shorter, -1, SeekResult::NoFrame, SeekIndexState::Complete},
        {"file shorter than the window", shorter, static_cast<int64_t>(good.size()), SeekResult::Damaged,
         SeekIndexState::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path + "damaged";
        writer::WriteFileBytes(path, c.stream);
        const int handle = ::open(path.c_str(), O_RDONLY);
        const int64_t length = c.windowLength < 0 ? static_cast<int64_t>(c.stream.size()) : c.windowLength;
        SeekIndex index({handle, 0, length}, w, h, 32, frames, kDense);
        ::close(handle);  // the index keeps its own handle
        index.StartBuilding();
        index.WaitUntilBuilt();
        EXPECT_EQ(index.Progress().State, c.state);
        EXPECT_EQ(index.Progress().FramesIndexed, bad);
        ExpectFrames(index, s, {0, bad - 2, bad - 1});
        Picture picture;
        EXPECT_EQ(index.DecodeFrameAt(bad, picture), c.atBad);
        EXPECT_EQ(index.DecodeFrameAt(frames - 1, picture), c.atBad);
    }
}

TEST_F(SeekIndex_, UndecodableSegmentsGiveBlackPictures) {
    const writer::Bytes stream = writer::EncodeFrameStream(MovingFrames(8, 4, 3, 7), 8, 4);
    StreamFile file(dir.path + "frames", stream);
    struct Case {
        int32_t width, height, bpp;
    };
    for (Case c : {Case{8, 4, 16}, Case{8, 4, 8}, Case{0, 4, 32}, Case{2000, 2000, 32}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bpp);
        SeekIndex index(file.window, c.width, c.height, c.bpp, 3, kDense);
        index.StartBuilding();
        index.WaitUntilBuilt();
        EXPECT_EQ(index.Progress().FrameCount, 0);
        Picture picture;
        EXPECT_EQ(index.DecodeFrameAt(0, picture), SeekResult::NotDecodable);
        EXPECT_TRUE(std::all_of(picture.Pixels.begin(), picture.Pixels.end(), [](uint32_t p) { return p == 0; }));
    }
}

}  // namespace
}  // namespace movarel::test
