#pragma once
// The loaded film: one record per segment, owning the segment's files in the
// work directory and its in-memory parts.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "film/CursorShapes.h"
#include "film/Streams.h"
#include "platform/WorkDirectory.h"

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
    // Read by position (FileStream::ReadAt): every reader keeps its own.
    std::unique_ptr<FileStream> FrameStream;
    // 6-byte samples (shape, x, y), read straight from the data file.
    std::vector<uint8_t> CursorTrack;
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

// A loaded film: its segments, the work directory that holds their files,
// and what the reader had to say about it. Deleting the film deletes the
// files and removes the directory. A film made without a directory holds no
// segments (nothing loaded).
class Film {
public:
    Film() = default;
    explicit Film(WorkDirectory directory) : workDirectory(std::move(directory)) {}
    ~Film();
    Film(const Film&) = delete;
    Film& operator=(const Film&) = delete;

    // Makes a new record with its empty frame-stream file in the work
    // directory. Raises "Cannot open or create file." when a file cannot be
    // created; nothing of the record is left behind then.
    Segment* Add();
    const Segment* Items(int32_t index) const;
    Segment* Items(int32_t index);
    int32_t Count() const { return static_cast<int32_t>(items.size()); }
    // Deletes the last record and its files (a segment refused while it was
    // being read).
    void DeleteLast();

    // With a trailing '/'; empty when the film has no directory.
    const std::string& WorkPath() const { return workDirectory.Path(); }

    // The header version of segment index; 0 outside the film.
    uint8_t SegmentVersion(int32_t index) const;
    // The reader's warning (refused versions); empty when there was none.
    const std::string& Warning() const { return warning; }

    // Tells one loaded film from the next (the panel reports a broken frame
    // rate once per film); the owner numbers its films.
    uint32_t Serial = 1;

private:
    friend class FilmReader;
    static void DeleteRecord(Segment& record);
    std::vector<std::unique_ptr<Segment>> items;
    std::vector<uint8_t> versions;
    std::string warning;
    WorkDirectory workDirectory;
};

// kSoundKindMp3 for ".mp3", kSoundKindMidi for ".mid", 0 otherwise
// (case-insensitive).
int GetSoundKind(const std::string& fileName);

}  // namespace movarel
