// Seeking: the picture of any frame comes from the segment's seek index, and
// the clock, the blocks and the cursor are set as if the segment had played
// up to that frame, so ticking goes on from there unchanged.
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/Player.h"
#include "film/Streams.h"

namespace movarel {
namespace {

// At most this many segments keep their index: each may hold up to its
// memory limit, and a film can have many segments.
constexpr size_t kKeptSeekIndexes = 3;

constexpr int64_t kCursorSampleBytes = 6;

// How long one frame of segment stays on screen at normal speed.
double FrameSeconds(const Segment& segment) {
    return segment.Fps > 0 ? 1.0 / segment.Fps : 0.1 * segment.TicksPerFrame();
}

}  // namespace

SeekIndex* Player::SeekIndexFor(int32_t index) {
    const Segment* segment = film.Items(index);
    if (segment == nullptr || !segment->FrameStream)
        return nullptr;
    ++seekUses;
    for (KeptSeekIndex& kept : seekIndexes) {
        if (kept.segment == segment && kept.stream == segment->FrameStream.get()) {
            kept.lastUse = seekUses;
            return kept.index.get();
        }
    }
    if (seekIndexes.size() >= kKeptSeekIndexes) {
        auto oldest = std::min_element(seekIndexes.begin(), seekIndexes.end(),
                                       [](const auto& a, const auto& b) { return a.lastUse < b.lastUse; });
        seekIndexes.erase(oldest);
    }
    KeptSeekIndex kept;
    kept.segment = segment;
    kept.stream = segment->FrameStream.get();
    kept.lastUse = seekUses;
    kept.index = std::make_unique<SeekIndex>(FrameStreamWindowOf(*segment->FrameStream), segment->Width,
                                             segment->Height, segment->BitsPerPixel, segment->FrameCount,
                                             seekLimits);
    if (onSeekIndexProgress)
        kept.index->StartBuilding(
            [tell = onSeekIndexProgress, index](const SeekIndexProgress& progress) { tell(index, progress); });
    else
        kept.index->StartBuilding();
    seekIndexes.push_back(std::move(kept));
    return seekIndexes.back().index.get();
}

void Player::ForgetSeekIndexes() {
    seekIndexes.clear();
    seekPicture = Picture{};
}

SeekIndexProgress Player::SeekIndexProgressOf(int32_t index) {
    const Segment* segment = film.Items(index);
    for (const KeptSeekIndex& kept : seekIndexes)
        if (segment != nullptr && kept.segment == segment && kept.stream == segment->FrameStream.get())
            return kept.index->Progress();
    return SeekIndexProgress{};
}

bool Player::PositionAtSegmentTime(int32_t index, double seconds, FilmPosition* position) const {
    const Segment* segment = film.Items(index);
    if (segment == nullptr || !(seconds >= 0) || segment->FrameCount <= 0)
        return false;
    const double frame = std::floor(seconds / FrameSeconds(*segment));
    if (frame >= segment->FrameCount)
        return false;
    *position = FilmPosition{index, static_cast<int32_t>(frame)};
    return true;
}

double Player::FilmTimeAt(const FilmPosition& position) const {
    double start = 0;
    for (int32_t i = 0; i < position.Segment && i < film.Count(); ++i) {
        const Segment* segment = film.Items(i);
        start += std::max(segment->FrameCount, 0) * FrameSeconds(*segment);
    }
    const Segment* segment = film.Items(position.Segment);
    return segment != nullptr ? start + std::max(position.Frame, 0) * FrameSeconds(*segment) : start;
}

double Player::FilmLength() const { return FilmTimeAt(FilmPosition{film.Count(), 0}); }

bool Player::PositionAtFilmTime(double seconds, FilmPosition* position) const {
    if (!(seconds >= 0))
        return false;
    double start = 0;
    for (int32_t i = 0; i < film.Count(); ++i) {
        const Segment* segment = film.Items(i);
        const double length = std::max(segment->FrameCount, 0) * FrameSeconds(*segment);
        if (seconds < start + length)
            return PositionAtSegmentTime(i, seconds - start, position);
        start += length;
    }
    return false;
}

bool Player::SeekTo(int32_t index, int32_t frame) {
    const Segment* segment = film.Items(index);
    if (segment == nullptr || frame < 0 || frame >= segment->FrameCount)
        return false;
    // A depth without a layout, or a size no block holds, cannot be decoded;
    // checked before anything changes, so a refused seek leaves playback be.
    if ((segment->BitsPerPixel != 24 && segment->BitsPerPixel != 32) || segment->Width <= 0 ||
        segment->Height <= 0 || LargestRecordBytes(segment->Width, segment->Height) > kBlockSize)
        return false;
    SeekIndex* seekIndex = SeekIndexFor(index);
    if (seekIndex == nullptr)
        return false;
    // Decoded while the clock still runs: the index is safe from any thread.
    // Into the picture the seek before let go of, so a drag across the film
    // does not take fresh memory for every picture.
    int64_t nextRecord = 0;
    if (seekIndex->DecodeFrameAt(frame, seekPicture, &nextRecord) != SeekResult::Done)
        return false;

    const bool playing = clock.PlayState == Playing;
    // Stopped, the display and the sound may be another segment's (a stop
    // selects the first one without preparing it).
    const bool otherSegment = index != clock.CurrentSegment || clock.PlayState == Stopped;
    // Set first, as for a stop: a tick waiting for a block gives up.
    clock.StopRequested = true;
    StopTimer();
    std::lock_guard<std::recursive_mutex> lock(engineLock);
    DropPostedBlocks();
    SegmentStarted started{index, false, false, playing, false};
    if (otherSegment) {
        clock.CurrentSegment = index;
        minimizeRequested = false;
        if (!PrepareDisplay()) {
            // Checked above; only a film changed under the player gets here.
            started.playing = false;
            events.Post(started);
            SetPlayState(Stopped);
            return false;
        }
        started.minimize = minimizeRequested;
        started.prepared = true;
        started.fillsScreen = segment->Width == screenWidth && segment->Height == screenHeight;
        sound->Stop();
        sound->Open(segment->SoundFileName);
    }
    ClearFrameBitmaps(decoding);
    std::swap(decoding.Image, seekPicture);
    ResetCursorBox(cursor);
    clock.TicksPerFrame = segment->TicksPerFrame();
    frameUnpacked = false;

    // The records after the frame, as playing would have them in hand.
    ResetBlocks();
    blocks.ReadOffset = nextRecord;
    DoBlockEmpty(&blocks.Blocks[0]);
    DoBlockEmpty(&blocks.Blocks[1]);
    PickUpHeadBlock();

    // The frame's tick draws its own cursor sample; a track that ended
    // before it keeps its last sample, and an empty one draws none.
    const int32_t ticks = std::max<int32_t>(clock.TicksPerFrame, 1);
    const int64_t tick = int64_t{frame} * ticks;
    const int64_t samples = static_cast<int64_t>(segment->CursorTrack.size()) / kCursorSampleBytes;
    cursor.TrackOffset = std::min(tick, std::max<int64_t>(samples - 1, 0)) * kCursorSampleBytes;
    ReadCursorSample();
    SaveCursorBackground();
    DrawCursor();
    CommitCursorPosition();

    clock.TickCount = static_cast<int32_t>(tick + 1);
    clock.EndPosted = false;
    clock.StopRequested = false;
    // As after that frame's tick: the next frame is due, or the segment ends
    // on the next tick when there is none.
    const bool last = frame >= segment->FrameCount - 1 || blocks.FrameBlock == nullptr;
    clock.LastFrameShown = last;
    clock.FrameIndex = frame;
    RecalcTimerPeriod();
    PresentWhole();
    if (otherSegment)
        events.Post(started);
    events.PostTimeDisplay();
    if (playing) {
        // The frame just shown keeps its period; the sound goes on from its
        // time, started here rather than on the first tick.
        RunTimer(true);
        clock.FirstTick = false;
        // The clock takes up the time from the target, not from where
        // playing was: a seek ahead would wait, one back would skip, until
        // the old place's time came round.
        stalled = true;
        StartSound();
    }
    if (!last)
        clock.FrameIndex = frame + 1;
    return true;
}

}  // namespace movarel
