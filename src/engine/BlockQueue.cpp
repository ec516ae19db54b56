#include "engine/BlockQueue.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/Player.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "platform/LittleEndian.h"
#include "platform/UserMessages.h"

namespace movarel {
namespace {

void Debug(const char* text, MsgOwner owner) { ShowMessage(text, "Debug", MsgIcon::Error, owner); }

}  // namespace

// --- queue -----------------------------------------------------------------

bool BlockQueue::AddBlock(Block* block) {
    if (block == nullptr)
        return false;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (count < kBlockCount) {
            items[count++] = block;
            return true;
        }
    }
    Debug("AddBlock: count_ > BlockCount", MsgOwner::None);
    return false;
}

Block* BlockQueue::Head() {
    std::lock_guard<std::mutex> guard(lock);
    return count > 0 ? items[0] : nullptr;
}

void BlockQueue::RemoveHead() { TakeHead(); }

Block* BlockQueue::TakeHead() {
    std::lock_guard<std::mutex> guard(lock);
    if (count <= 0)
        return nullptr;
    Block* head = items[0];
    for (int32_t i = 1; i < count; ++i)
        items[i - 1] = items[i];
    items[--count] = nullptr;
    return head;
}

void BlockQueue::Clear() {
    std::lock_guard<std::mutex> guard(lock);
    for (auto& item : items)
        item = nullptr;
    count = 0;
}

int32_t BlockQueue::Count() {
    std::lock_guard<std::mutex> guard(lock);
    return count;
}

// --- the Player's block steps ----------------------------------------------

// A bad record in the frame stream is damage to the film, told as the film
// reader tells it: which segment, and what is wrong with its frames.
void Player::ReportDamagedFrames(const std::string& why) {
    const int64_t segment = int64_t{clock.CurrentSegment} + 1;
    ShowMessage(DamagedFilmText("segment " + std::to_string(segment) + " " + why), Texts().Error, MsgIcon::Error,
                MsgOwner::MainWindow);
}

void Player::HandBackHeadBlock() {
    Block* block = blocks.Queue.TakeHead();
    if (block == nullptr) {
        Debug("DoMessage: count_ = 0", MsgOwner::None);
        return;
    }
    block->Posted = true;
    events.Post(BlockNeeded{blocks.IndexOf(block), blocks.Generation.load()});
}

void Player::ResetBlocks() {
    blocks.Queue.Clear();
    for (auto& block : blocks.Blocks) {
        block.Size = 0;
        block.Posted = false;
    }
    blocks.FrameBlock = nullptr;
    blocks.FrameOffset = 0;
    blocks.StreamBroken = false;
    blocks.ReadOffset = 0;
    blocks.Generation++;
}

void Player::DoBlockEmpty(Block* block) {
    if (block == nullptr) {
        Debug("DoBlockEmpty: Block = nil", MsgOwner::MainWindow);
        return;
    }
    block->Size = 0;
    struct PostedDone {
        Block* b;
        ~PostedDone() { b->Posted = false; }
    } done{block};

    const Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr || !segment->FrameStream) {
        Debug("SegInfo = nil", MsgOwner::MainWindow);
        return;
    }
    if (blocks.StreamBroken)
        return;
    const FileStream& stream = *segment->FrameStream;
    const int64_t streamSize = stream.Length();
    int64_t& at = blocks.ReadOffset;
    const int64_t largest = 5 * static_cast<int64_t>(segment->Width) * segment->Height;
    uint8_t* data = block->Data.data();
    int32_t size = 0;
    int32_t records = 0;
    while (at < streamSize) {
        if (stream.ReadAt(at, data + size, 4) != 4) {
            ReportDamagedFrames("has a frame record that is cut short");
            blocks.StreamBroken = true;
            break;
        }
        at += 4;
        const int32_t recordSize = ReadI32LE(data + size);
        if (recordSize <= 0) {
            ReportDamagedFrames("has a frame record with a size of " + std::to_string(recordSize) + " bytes");
            blocks.StreamBroken = true;
            break;
        }
        if (recordSize > kBlockSize - size) {
            // A segment starts only when its largest record fits the room
            // left, so a record beyond that room is no frame of this size.
            ReportDamagedFrames("has a frame record of " + std::to_string(recordSize) +
                                " bytes, larger than a frame of " + std::to_string(segment->Width) + " x " +
                                std::to_string(segment->Height) + " can be");
            blocks.StreamBroken = true;
            break;
        }
        const int32_t got = stream.ReadAt(at, data + size + 4, recordSize - 4);
        at += got;
        if (got != recordSize - 4) {
            ReportDamagedFrames("has a frame record that is cut short");
            blocks.StreamBroken = true;
            break;
        }
        size += recordSize;
        ++records;
        if (static_cast<int64_t>(kBlockSize) - size - 8 < largest)
            break;
    }
    // The whole records read before a bad one still play; the segment ends
    // after them.
    block->Size = size;
    if (records > 0)
        blocks.Queue.AddBlock(block);
}

bool Player::PrimeBlocks() {
    for (auto& block : blocks.Blocks) {
        block.Size = 0;
        block.Posted = false;
    }
    DoBlockEmpty(&blocks.Blocks[0]);
    DoBlockEmpty(&blocks.Blocks[1]);
    clock.FrameIndex = 0;
    blocks.FrameBlock = nullptr;
    blocks.FrameOffset = 0;
    PickUpHeadBlock();
    if (clock.TicksPerFrame == 3 && blocks.FrameBlock != nullptr) {
        UnpackResult result = UnpackFrame();
        if (result == UnpackResult::TooLarge || result == UnpackResult::BadRuns) {
            ShowMessage(RefusedRecordMessage(result, clock.CurrentSegment, 0), Texts().Error, MsgIcon::Error,
                        MsgOwner::MainWindow);
            return false;
        }
        ApplyXorFrame(decoding);
    }
    return true;
}

void Player::PickUpHeadBlock() {
    if (blocks.FrameBlock != nullptr)
        return;
    Block* head = blocks.Queue.Head();
    if (head != nullptr) {
        blocks.FrameBlock = head;
        blocks.FrameOffset = 0;
    }
}

bool Player::BlockRefillPending() {
    for (auto& block : blocks.Blocks)
        if (block.Posted)
            return true;
    return false;
}

const uint8_t* Player::FrameRecord(int32_t* available) {
    *available = 0;
    if (blocks.FrameBlock == nullptr)
        return nullptr;
    int32_t left = blocks.FrameBlock->Size - blocks.FrameOffset;
    if (left <= 0)
        return nullptr;
    *available = left;
    return blocks.FrameBlock->Data.data() + blocks.FrameOffset;
}

bool Player::NextRecord() {
    Block* block = blocks.FrameBlock;
    if (block == nullptr) {
        PickUpHeadBlock();
        return blocks.FrameBlock != nullptr || BlockRefillPending();
    }
    const int32_t filled = block->Size;
    if (blocks.FrameOffset >= 0 && blocks.FrameOffset <= filled - 4) {
        int32_t recordSize = ReadI32LE(block->Data.data() + blocks.FrameOffset);
        // The refill accepted only sizes that fit; a size of 0 or less cannot
        // be here, but must never keep the clock on one record.
        blocks.FrameOffset = recordSize > 0 && recordSize <= filled - blocks.FrameOffset
                                 ? blocks.FrameOffset + recordSize
                                 : filled;
    } else {
        blocks.FrameOffset = filled;
    }
    if (blocks.FrameOffset < filled)
        return true;

    // Used up: hand it back for refilling and go on with the other block.
    block->Size = 0;
    blocks.FrameBlock = nullptr;
    HandBackHeadBlock();
    WaitForBlock();
    PickUpHeadBlock();
    return blocks.FrameBlock != nullptr || BlockRefillPending();
}

void Player::WaitForBlock() {
    bool silenced = false;
    bool soundWasPlaying = false;
    while (blocks.Queue.Head() == nullptr) {
        if (clock.StopRequested || clock.TimerStopping > 0)
            break;
        if (!BlockRefillPending())
            break;
        if (!silenced) {
            silenced = true;
            soundWasPlaying = SoundPlaysAt(clock.Factor());
            sound->Pause();
            stalled = true;
        }
        if (manualTicks) {
            // The GUI thread is this thread: refill now. Only refills are
            // handled; whatever else is queued waits for the owner.
            RefillPostedBlocks();
            if (!BlockRefillPending())
                continue;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (silenced && soundWasPlaying && blocks.Queue.Head() != nullptr && !clock.StopRequested)
        StartSound();
}

}  // namespace movarel
