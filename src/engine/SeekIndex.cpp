#include "engine/SeekIndex.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/XorRunDecoder.h"
#include "film/Streams.h"
#include "platform/LittleEndian.h"
#include "platform/ThreadPriority.h"

namespace movarel {
namespace {

// A record the player could hold at all: one block of the playback queue.
constexpr int64_t kLargestRecord = int64_t{16} << 20;
// How much of the stream one read takes when the end is not known.
constexpr size_t kReadAhead = size_t{4} << 20;

// The records of a frame stream one after another, read in large pieces with
// positional reads.
class RecordWalker {
public:
    enum class Step { Record, End, Damaged, ReadFailed };

    RecordWalker(int handle, int64_t base, int64_t length, int64_t from, size_t readAhead)
        : Handle(handle), Base(base), Length(length), Start(from), ReadAhead(std::max<size_t>(readAhead, 4096)) {}

    // The next record and its size; the bytes stay valid until the next call.
    Step Next(const uint8_t** record, int32_t* size) {
        if (Offset() >= Length)
            return Step::End;
        if (!Ensure(4))
            return Failed ? Step::ReadFailed : Step::Damaged;
        const int32_t bytes = ReadI32LE(Buffer.get() + Pos);
        if (bytes < 8 || bytes > kLargestRecord)
            return Step::Damaged;
        if (!Ensure(static_cast<size_t>(bytes)))
            return Failed ? Step::ReadFailed : Step::Damaged;
        *record = Buffer.get() + Pos;
        *size = bytes;
        Pos += static_cast<size_t>(bytes);
        return Step::Record;
    }

    // Where the next record starts in the stream.
    int64_t Offset() const { return Start + static_cast<int64_t>(Pos); }

private:
    // At least need bytes from Pos in the buffer; false when the stream or
    // the file ends first, or a read fails (Failed).
    bool Ensure(size_t need) {
        if (Filled - Pos >= need)
            return true;
        if (Pos > 0)
            std::memmove(Buffer.get(), Buffer.get() + Pos, Filled - Pos);
        Start += static_cast<int64_t>(Pos);
        Filled -= Pos;
        Pos = 0;
        const int64_t unread = Length - (Start + static_cast<int64_t>(Filled));
        const size_t want = std::max(need, ReadAhead);
        if (Capacity < want) {
            // Not zeroed: every byte used is read first.
            std::unique_ptr<uint8_t[]> larger(new uint8_t[want]);
            if (Filled > 0)
                std::memcpy(larger.get(), Buffer.get(), Filled);
            Buffer = std::move(larger);
            Capacity = want;
        }
        size_t toRead = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(want - Filled), unread));
        while (toRead > 0) {
            const ssize_t got = ::pread(Handle, Buffer.get() + Filled, toRead, Base + Start + static_cast<int64_t>(Filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                Failed = true;
                return false;
            }
            if (got == 0)
                break;  // the file is shorter than the stream's window
            Filled += static_cast<size_t>(got);
            toRead -= static_cast<size_t>(got);
        }
        return Filled >= need;
    }

    int Handle;
    int64_t Base, Length;
    int64_t Start;  // stream offset of Buffer[0]
    size_t ReadAhead;
    std::unique_ptr<uint8_t[]> Buffer;
    size_t Capacity = 0, Filled = 0, Pos = 0;
    bool Failed = false;
};

// The picture as a record against black: runs of equal pixels. Screen
// content packs well so; noise would not, and is kept as it is. out is
// scratch kept for the whole build, sized once for the worst case: a fresh
// 10 MB buffer for every 1080p snapshot costs page faults, zeroing and unmaps
// in the kernel, where a tick that wakes cannot take the core back. Returns
// the record's size; out keeps its size.
size_t EncodeRuns(const Picture& picture, std::vector<uint8_t>& out) {
    const uint32_t* p = picture.Pixels.data();
    const size_t n = picture.Pixels.size();
    if (out.size() < 8 + 5 * n)
        out.resize(8 + 5 * n);
    uint8_t* at = out.data() + 8;
    int32_t runs = 0;
    for (size_t i = 0; i < n;) {
        const uint32_t colour = p[i];
        size_t j = i + 1;
        while (j < n && j - i < 65535 && p[j] == colour)
            ++j;
        const uint16_t count = static_cast<uint16_t>(j - i);
        at[0] = static_cast<uint8_t>(colour);
        at[1] = static_cast<uint8_t>(colour >> 8);
        at[2] = static_cast<uint8_t>(colour >> 16);
        at[3] = static_cast<uint8_t>(count);
        at[4] = static_cast<uint8_t>(count >> 8);
        at += 5;
        ++runs;
        i = j;
    }
    const int32_t size = static_cast<int32_t>(at - out.data());
    std::memcpy(out.data(), &size, 4);
    std::memcpy(out.data() + 4, &runs, 4);
    return static_cast<size_t>(size);
}

bool Decodable(int32_t width, int32_t height, int32_t bitsPerPixel) {
    return (bitsPerPixel == 24 || bitsPerPixel == 32) && width > 0 && height > 0 &&
           8 + 5 * static_cast<int64_t>(width) * height <= kLargestRecord;
}

}  // namespace

FrameStreamWindow FrameStreamWindowOf(FileStream& stream) {
    return FrameStreamWindow{stream.Handle(), stream.WindowBase(), stream.GetSize()};
}

struct SeekIndex::Snapshot {
    int32_t Frame = 0;       // the picture after this frame
    int64_t NextRecord = 0;  // where the record after it starts
    bool Raw = false;        // Bytes holds the pixels as they are, else runs
    std::vector<uint8_t> Bytes;

    void Restore(Picture& picture) const {
        if (Raw)
            std::memcpy(picture.Pixels.data(), Bytes.data(), Bytes.size());
        else
            ApplyXorRecord(Bytes.data(), static_cast<int64_t>(Bytes.size()), picture.Pixels.data(),
                           picture.Pixels.size());
    }
};

SeekIndex::SeekIndex(FrameStreamWindow stream, int32_t width, int32_t height, int32_t bitsPerPixel,
                     int32_t frameCount, SeekIndexLimits limits)
    : Base(stream.Base),
      Length(std::max<int64_t>(stream.Length, 0)),
      Width(width),
      Height(height),
      FrameCount(0),
      Decodable(movarel::Decodable(width, height, bitsPerPixel)),
      Limits(limits),
      SpacingBytes(std::max<int64_t>(limits.RecordBytesPerSnapshot, 1)),
      SpacingFrames(std::max<int32_t>(limits.FramesPerSnapshot, 1)) {
    if (stream.Handle >= 0)
        Handle = ::dup(stream.Handle);
    if (Decodable) {
        // A record covers the frame in runs of at most 65535 pixels: the
        // count from the header is trusted no further than the stream's
        // length allows.
        const int64_t pixels = static_cast<int64_t>(width) * height;
        const int64_t smallestRecord = 8 + 5 * ((pixels + 65534) / 65535);
        FrameCount = static_cast<int32_t>(std::min<int64_t>(std::max(frameCount, 0), Length / smallestRecord));
    }
    Offsets.reserve(static_cast<size_t>(FrameCount));
}

SeekIndex::~SeekIndex() {
    Cancel();
    if (Builder.joinable())
        Builder.join();
    if (Handle >= 0)
        ::close(Handle);
}

void SeekIndex::StartBuilding(std::function<void(const SeekIndexProgress&)> onProgress) {
    SeekIndexState idle = SeekIndexState::Idle;
    if (!State.compare_exchange_strong(idle, SeekIndexState::Building))
        return;
    OnProgress = std::move(onProgress);
    Builder = std::thread([this] { Build(); });
}

void SeekIndex::Cancel() { CancelRequested = true; }

void SeekIndex::WaitUntilBuilt() {
    if (Builder.joinable())
        Builder.join();
}

SeekIndexProgress SeekIndex::Progress() const {
    return SeekIndexProgress{State.load(), Indexed.load(), FrameCount};
}

size_t SeekIndex::MemoryBytesLocked() const {
    return Offsets.capacity() * sizeof(int64_t) + SnapshotBytes + Snapshots.capacity() * sizeof(Snapshots[0]) +
           Snapshots.size() * sizeof(Snapshot);
}

size_t SeekIndex::MemoryBytes() const {
    std::lock_guard<std::mutex> guard(Lock);
    return MemoryBytesLocked();
}

std::vector<int32_t> SeekIndex::SnapshotFrames() const {
    std::lock_guard<std::mutex> guard(Lock);
    std::vector<int32_t> frames;
    for (const auto& s : Snapshots)
        frames.push_back(s->Frame);
    return frames;
}

void SeekIndex::Finish(SeekIndexState state) {
    State = state;
    if (OnProgress)
        OnProgress(Progress());
}

void SeekIndex::Build() {
    // The build may take a core for seconds: playing goes first.
    LowerThisThreadToBackground();
    if (!Decodable || Handle < 0)
        return Finish(Decodable ? SeekIndexState::Damaged : SeekIndexState::Complete);
    Picture picture;
    picture.Reset(Width, Height);
    RecordWalker walker(Handle, Base, Length, 0, kReadAhead);
    std::vector<uint8_t> scratch;  // the snapshots' encoding, reused
    int64_t bytesSince = 0;
    int32_t framesSince = 0;
    for (int32_t frame = 0; frame < FrameCount; ++frame) {
        if (CancelRequested)
            return Finish(SeekIndexState::Cancelled);
        const int64_t offset = walker.Offset();
        const uint8_t* record = nullptr;
        int32_t size = 0;
        const RecordWalker::Step step = walker.Next(&record, &size);
        if (step == RecordWalker::Step::End)
            break;  // fewer records than frames: playback ends there too
        if (step != RecordWalker::Step::Record || DecodeXorRecord(record, size, picture) != XorRecordCheck::Valid)
            return Finish(SeekIndexState::Damaged);
        {
            std::lock_guard<std::mutex> guard(Lock);
            Offsets.push_back(offset);
        }
        Indexed = frame + 1;
        // A tick that woke on this core runs now, not when the scheduler's
        // slice for this thread ends (a few ms).
        YieldToWaitingThreads();
        bytesSince += size;
        ++framesSince;
        if ((bytesSince >= SpacingBytes || framesSince >= SpacingFrames) && frame + 1 < FrameCount) {
            AddSnapshot(frame, walker.Offset(), picture, scratch);
            SpreadSnapshots(walker.Offset(), frame + 1);
            bytesSince = 0;
            framesSince = 0;
            if (OnProgress)
                OnProgress(Progress());
        }
    }
    Finish(SeekIndexState::Complete);
}

void SeekIndex::AddSnapshot(int32_t frame, int64_t nextRecord, const Picture& picture,
                            std::vector<uint8_t>& scratch) {
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->Frame = frame;
    snapshot->NextRecord = nextRecord;
    const size_t runBytes = EncodeRuns(picture, scratch);
    const size_t rawBytes = picture.Pixels.size() * sizeof(uint32_t);
    // One allocation of the exact size either way.
    if (runBytes >= rawBytes) {
        snapshot->Raw = true;
        snapshot->Bytes.assign(reinterpret_cast<const uint8_t*>(picture.Pixels.data()),
                               reinterpret_cast<const uint8_t*>(picture.Pixels.data()) + rawBytes);
    } else {
        snapshot->Bytes.assign(scratch.data(), scratch.data() + runBytes);
    }
    const size_t adds = snapshot->Bytes.size() + sizeof(Snapshot) + sizeof(Snapshots[0]);

    // Dropped snapshots are freed after the lock is let go.
    std::vector<std::shared_ptr<const Snapshot>> dropped;
    std::lock_guard<std::mutex> guard(Lock);
    while (!Snapshots.empty() && MemoryBytesLocked() + adds > Limits.MemoryBytes) {
        std::vector<std::shared_ptr<const Snapshot>> kept;
        kept.reserve(Snapshots.capacity());
        for (size_t i = 0; i < Snapshots.size(); ++i) {
            if (i % 2 == 1) {
                kept.push_back(Snapshots[i]);
            } else {
                SnapshotBytes -= Snapshots[i]->Bytes.size();
                dropped.push_back(Snapshots[i]);
            }
        }
        Snapshots.swap(kept);
        SpacingBytes *= 2;
        SpacingFrames = SpacingFrames > INT32_MAX / 2 ? INT32_MAX : SpacingFrames * 2;
    }
    if (MemoryBytesLocked() + adds > Limits.MemoryBytes)
        return;  // not even one snapshot fits
    SnapshotBytes += snapshot->Bytes.size();
    Snapshots.push_back(std::move(snapshot));
}

// The stream's length is known from the start and a snapshot's size from
// those taken so far: the spacing widens so that the snapshots still to come
// share the memory left evenly to the end, rather than the limit being
// passed late and every other snapshot dropped. Thinning stays for pictures
// that grow larger than the estimate.
void SeekIndex::SpreadSnapshots(int64_t nextRecord, int32_t nextFrame) {
    std::lock_guard<std::mutex> guard(Lock);
    if (Snapshots.empty())
        return;
    const size_t used = MemoryBytesLocked();
    // A tenth of the limit is kept for snapshots larger than those so far.
    const size_t budget = Limits.MemoryBytes - Limits.MemoryBytes / 10;
    const double each = static_cast<double>(SnapshotBytes) / static_cast<double>(Snapshots.size()) +
                        static_cast<double>(sizeof(Snapshot) + sizeof(Snapshots[0]));
    const double fit = std::max(1.0, (used < budget ? static_cast<double>(budget - used) : 0.0) / each);
    const double bytesLeft = static_cast<double>(std::max<int64_t>(Length - nextRecord, 0));
    const double framesLeft = static_cast<double>(std::max(FrameCount - nextFrame, 0));
    SpacingBytes = std::max(SpacingBytes, static_cast<int64_t>(std::min(bytesLeft / fit, 9e18)));
    SpacingFrames = std::max(SpacingFrames, static_cast<int32_t>(std::min(framesLeft / fit, 2e9)));
}

SeekResult SeekIndex::DecodeFrameAt(int32_t frame, Picture& picture, int64_t* nextRecord) const {
    picture.Reset(Width > 0 ? Width : 0, Height > 0 ? Height : 0);
    if (!Decodable)
        return SeekResult::NotDecodable;
    if (frame < 0 || frame >= FrameCount)
        return SeekResult::NoFrame;
    std::shared_ptr<const Snapshot> snapshot;
    int64_t end = -1;
    {
        std::lock_guard<std::mutex> guard(Lock);
        auto after = std::upper_bound(Snapshots.begin(), Snapshots.end(), frame,
                                      [](int32_t f, const auto& s) { return f < s->Frame; });
        if (after != Snapshots.begin())
            snapshot = *std::prev(after);
        if (static_cast<size_t>(frame) + 1 < Offsets.size())
            end = Offsets[static_cast<size_t>(frame) + 1];
    }
    int64_t from = 0;
    int32_t first = 0;
    if (snapshot) {
        snapshot->Restore(picture);
        from = snapshot->NextRecord;
        first = snapshot->Frame + 1;
    }
    // With the end known, one read takes exactly the records needed.
    const size_t readAhead = end > from ? static_cast<size_t>(std::min<int64_t>(end - from, kReadAhead)) : kReadAhead;
    RecordWalker walker(Handle, Base, Length, from, readAhead);
    for (int32_t f = first; f <= frame; ++f) {
        const uint8_t* record = nullptr;
        int32_t size = 0;
        switch (walker.Next(&record, &size)) {
        case RecordWalker::Step::Record:
            break;
        case RecordWalker::Step::End:
            return SeekResult::NoFrame;
        case RecordWalker::Step::Damaged:
            return SeekResult::Damaged;
        case RecordWalker::Step::ReadFailed:
            return SeekResult::ReadFailed;
        }
        if (DecodeXorRecord(record, size, picture) != XorRecordCheck::Valid)
            return SeekResult::Damaged;
    }
    if (nextRecord)
        *nextRecord = walker.Offset();
    return SeekResult::Done;
}

}  // namespace movarel
