#pragma once
// The loaded film: one record per segment, owning the segment's files in the
// work directory and its in-memory parts. Clearing the list deletes the files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "film/CursorShapes.h"
#include "film/Streams.h"

namespace movarel {

// The segment header's flags word; its other bits are carried but mean nothing.
// Bit 0: each frame spans three timer ticks, so the cursor moves between frames.
constexpr uint32_t kFlagThreeTicksPerFrame = 0x0001;
// Bits 8-11: the kind of the sound, the values GetSoundKind gives for file names.
constexpr uint32_t kSoundKindMask = 0x0F00;
constexpr int kSoundKindWav = 0x000;
constexpr int kSoundKindMp3 = 0x100;
constexpr int kSoundKindMidi = 0x200;
// Bits 12-15: how the segment pack is packed.
constexpr uint32_t kPackingMask = 0xF000;
constexpr uint32_t kPackingCabinet = 0x0000;
constexpr uint32_t kPackingLzma = 0x2000;

enum class SegmentPacking { Cabinet, Lzma, Unknown };  // Unknown: the pack is not unpacked

struct Segment {
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t BitsPerPixel = 0;
    int32_t FrameCount = 0;
    uint8_t Fps = 0;
    std::string Title;  // the title's bytes as stored (code-page text), at most 255
    uint32_t Flags = 0;
    CursorShapes Cursors;
    std::unique_ptr<FileStream> FrameStream;
    std::unique_ptr<MemoryStream> CursorTrack;  // read straight from the data file
    // The extra block's size as the data file gives it; the player has no use
    // for its bytes, so only the size is kept (movarel-tool info shows it).
    int32_t ExtraSize = 0;
    std::string FrameFileName;
    std::string SoundFileName;

    bool ThreeTicksPerFrame() const { return (Flags & kFlagThreeTicksPerFrame) != 0; }
    int32_t TicksPerFrame() const { return ThreeTicksPerFrame() ? 3 : 1; }
    int SoundKind() const { return static_cast<int>(Flags & kSoundKindMask); }
    SegmentPacking Packing() const {
        switch (Flags & kPackingMask) {
        case kPackingCabinet: return SegmentPacking::Cabinet;
        case kPackingLzma: return SegmentPacking::Lzma;
        default: return SegmentPacking::Unknown;
        }
    }
};

class TSegmentList {
public:
    TSegmentList() = default;
    ~TSegmentList() { Clear(); }
    TSegmentList(const TSegmentList&) = delete;
    TSegmentList& operator=(const TSegmentList&) = delete;

    // Makes a new record with its empty frame-stream file in directory
    // (empty: the system temporary path). Raises
    // "Cannot open or create file." when a file cannot be created; nothing of
    // the record is left behind then.
    Segment* Add(const std::string& directory);
    Segment* Items(int32_t index) const;
    int32_t Count() const { return static_cast<int32_t>(items.size()); }
    // Deletes every record and its files. The list then holds a new film.
    void Clear();
    // Which film the list holds: a number that changes at every Clear, so a
    // reader can tell the film it last looked at from the next one.
    uint32_t Film() const { return film; }
    // Deletes the last record and its files (a segment refused while it was
    // being read).
    void DeleteLast();

private:
    static void DeleteRecord(Segment& record);
    std::vector<std::unique_ptr<Segment>> items;
    uint32_t film = 1;
};

// kSoundKindMp3 for ".mp3", kSoundKindMidi for ".mid", 0 otherwise
// (case-insensitive).
int GetSoundKind(const std::string& fileName);

// The one segment list of the process.
TSegmentList& SegmentList();

}  // namespace movarel
