#pragma once
// Seeking inside a segment. Its frames are XOR deltas, so a frame's picture
// needs every record before it. The index walks the segment's frame stream
// once, on a thread of its own, noting where each record starts and keeping
// a snapshot of the picture now and then; a picture for any frame is then
// the nearest snapshot at or before it plus the records after that.
//
// The frame stream is read in place from its file with positional reads: no
// copy on disk, and no file position shared with playback. Readers are never
// made to wait for the build; before the index gets to a frame, that frame
// is decoded from the nearest snapshot so far, or from the segment's start.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "film/Picture.h"

namespace movarel {

// A segment's frame stream as it lies in a file: length bytes from base on.
struct FrameStreamWindow {
    int Handle = -1;  // an open file; the index reads it through a duplicate of its own
    int64_t Base = 0;
    int64_t Length = 0;
};

class FileStream;

// The window of a segment's frame-stream file (its handle, where the window
// starts and its length).
FrameStreamWindow FrameStreamWindowOf(FileStream& stream);

struct SeekIndexLimits {
    // Snapshots and record offsets together stay within this. The spacing
    // widens as the build goes so the snapshots to come fit; when they would
    // not all the same, every other snapshot is dropped and the spacing
    // doubles.
    size_t MemoryBytes = size_t{64} << 20;
    // A snapshot is taken once this many bytes of records were decoded since
    // the last one, or this many frames, whichever comes first, at the
    // closest: a seek decodes half of the spacing on average (about 8 ms at
    // 8 MiB for 1080p screen content).
    int64_t RecordBytesPerSnapshot = int64_t{8} << 20;
    int32_t FramesPerSnapshot = 4096;
};

enum class SeekIndexState {
    Idle,       // StartBuilding not called yet
    Building,
    Complete,   // every frame's record was read and decoded
    Cancelled,
    Damaged,    // a record could not be read or decoded; the frames before it are indexed
};

struct SeekIndexProgress {
    SeekIndexState State = SeekIndexState::Idle;
    int32_t FramesIndexed = 0;  // frames 0 .. FramesIndexed-1 have offsets
    int32_t FrameCount = 0;     // the frames the index will cover
};

enum class SeekResult {
    Done,          // the picture is that of the frame
    NoFrame,       // no such frame: out of range, or the stream ends before it
    NotDecodable,  // the segment's frames cannot be decoded (depth or size); the picture is black
    Damaged,       // a record up to the frame is refused or cut short
    ReadFailed,    // the file could not be read
};

class SeekIndex {
public:
    // frameCount is the segment header's; the index covers no more frames
    // than the stream holds records. Nothing is read until StartBuilding.
    SeekIndex(FrameStreamWindow stream, int32_t width, int32_t height, int32_t bitsPerPixel, int32_t frameCount,
              SeekIndexLimits limits = {});
    // Cancels the build and waits for its thread.
    ~SeekIndex();
    SeekIndex(const SeekIndex&) = delete;
    SeekIndex& operator=(const SeekIndex&) = delete;

    // Starts the build on its own thread (once). onProgress, if given, is
    // called on that thread after each snapshot and when the build ends; it
    // may call Cancel and the queries, but must not destroy the index.
    void StartBuilding(std::function<void(const SeekIndexProgress&)> onProgress = {});
    // Asks the build to stop; it stops within one record.
    void Cancel();
    // Waits until the build has ended (complete, cancelled or damaged); from
    // the thread that owns the index.
    void WaitUntilBuilt();

    SeekIndexProgress Progress() const;
    // The memory the index holds now: snapshots and offsets.
    size_t MemoryBytes() const;
    // The frames the snapshots hold, ascending.
    std::vector<int32_t> SnapshotFrames() const;

    // The picture after frame (0 = the first) was applied to the black
    // start, reset to the segment's size. nextRecord, if given, receives the
    // offset in the stream of the record after frame (where playback would
    // go on). Safe from any thread, also while the index is being built.
    SeekResult DecodeFrameAt(int32_t frame, Picture& picture, int64_t* nextRecord = nullptr) const;

private:
    struct Snapshot;
    void Build();
    // Keeps a snapshot of picture after frame; drops every other one while
    // the memory limit is passed. scratch is the build's encoding buffer.
    void AddSnapshot(int32_t frame, int64_t nextRecord, const Picture& picture, std::vector<uint8_t>& scratch);
    // Widens the spacing so the snapshots still to come fit the memory left.
    void SpreadSnapshots(int64_t nextRecord, int32_t nextFrame);
    size_t MemoryBytesLocked() const;
    void Finish(SeekIndexState state);

    int Handle = -1;
    int64_t Base = 0, Length = 0;
    int32_t Width, Height, FrameCount;
    bool Decodable;
    SeekIndexLimits Limits;
    int64_t SpacingBytes;
    int32_t SpacingFrames;

    mutable std::mutex Lock;  // guards Offsets and Snapshots, held only to copy or publish
    std::vector<int64_t> Offsets;  // Offsets[f]: where frame f's record starts in the stream
    std::vector<std::shared_ptr<const Snapshot>> Snapshots;  // by frame, ascending
    size_t SnapshotBytes = 0;

    std::atomic<SeekIndexState> State{SeekIndexState::Idle};
    std::atomic<int32_t> Indexed{0};
    std::atomic<bool> CancelRequested{false};
    std::function<void(const SeekIndexProgress&)> OnProgress;
    std::thread Builder;
};

}  // namespace movarel
