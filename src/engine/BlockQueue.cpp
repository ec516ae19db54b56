#include "engine/BlockQueue.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "engine/ClockState.h"
#include "engine/EngineHost.h"
#include "engine/FrameDecoder.h"
#include "engine/PlaybackClock.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "platform/LittleEndian.h"
#include "platform/UserMessages.h"
#include "platform/PeriodicTimer.h"

namespace movarel {
namespace {

void Debug(const char* text, MsgOwner owner) { ShowMessage(text, "Debug", MsgIcon::Error, owner); }

// A bad record in the frame stream is damage to the film, told as the film
// reader tells it: which segment, and what is wrong with its frames.
void ReportDamagedFrames(const std::string& why) {
    const int64_t segment = int64_t{Clock().CurrentSegment} + 1;
    ShowMessage(DamagedFilmText("segment " + std::to_string(segment) + " " + why), Texts().Error, MsgIcon::Error,
                MsgOwner::MainWindow);
}

}  // namespace

BlockState& Blocks() {
    static BlockState state;
    return state;
}

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
    Debug("AddBlock: FCount > BlockCount", MsgOwner::None);
    return false;
}

Block* BlockQueue::Head() {
    std::lock_guard<std::mutex> guard(lock);
    return count > 0 ? items[0] : nullptr;
}

void BlockQueue::RemoveHead() {
    std::lock_guard<std::mutex> guard(lock);
    if (count <= 0)
        return;
    for (int32_t i = 1; i < count; ++i)
        items[i - 1] = items[i];
    items[--count] = nullptr;
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

void BlockQueue::DoMessage(uint32_t message) {
    EngineHost* host = Host();
    if (host == nullptr || !host->HasMainWindow()) {
        Debug("DoMessage: WindowHandle = 0", MsgOwner::None);
        return;
    }
    Block* block = nullptr;
    bool empty = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        empty = count == 0;
        if (!empty && message == UM_BLOCKEMPTY) {
            block = items[0];
            for (int32_t i = 1; i < count; ++i)
                items[i - 1] = items[i];
            items[--count] = nullptr;
        }
    }
    if (empty) {
        Debug("DoMessage: FCount = 0", MsgOwner::None);
    } else if (message == UM_BLOCKEMPTY) {
        block->Posted = true;
        host->PostToMainThread(UM_BLOCKEMPTY, Blocks().Generation.load(), reinterpret_cast<uintptr_t>(block));
    } else if (message == UM_BLOCKERROR) {
        Debug("DoMessage: UM_BLOCKERROR", MsgOwner::None);
    } else {
        Debug("DoMessage: Msg out of bounds", MsgOwner::None);
    }
}

// --- module operations -----------------------------------------------------

void ResetBlocks() {
    BlockState& state = Blocks();
    state.Queue.Clear();
    for (auto& block : state.Blocks) {
        block.Size = 0;
        block.Posted = false;
    }
    state.FrameBlock = nullptr;
    state.FrameOffset = 0;
    state.StreamBroken = false;
    state.Generation++;
}

void DoBlockEmpty(Block* block) {
    if (block == nullptr) {
        Debug("DoBlockEmpty: Block = nil", MsgOwner::MainWindow);
        return;
    }
    BlockState& state = Blocks();
    block->Size = 0;
    struct PostedDone {
        Block* b;
        ~PostedDone() { b->Posted = false; }
    } done{block};

    Segment* segment = CurrentSegmentInfo();
    if (segment == nullptr || !segment->FrameStream) {
        Debug("SegInfo = nil", MsgOwner::MainWindow);
        return;
    }
    if (state.StreamBroken)
        return;
    FileStream& stream = *segment->FrameStream;
    const int64_t largest = 5 * static_cast<int64_t>(segment->Width) * segment->Height;
    uint8_t* data = block->Data.data();
    int32_t size = 0;
    int32_t records = 0;
    while (stream.GetPosition() < stream.GetSize()) {
        if (stream.Read(data + size, 4) != 4) {
            ReportDamagedFrames("has a frame record that is cut short");
            state.StreamBroken = true;
            break;
        }
        const int32_t recordSize = ReadI32LE(data + size);
        if (recordSize <= 0) {
            ReportDamagedFrames("has a frame record with a size of " + std::to_string(recordSize) + " bytes");
            state.StreamBroken = true;
            break;
        }
        if (recordSize > kBlockSize - size) {
            // A segment starts only when its largest record fits the room
            // left, so a record beyond that room is no frame of this size.
            ReportDamagedFrames("has a frame record of " + std::to_string(recordSize) +
                                " bytes, larger than a frame of " + std::to_string(segment->Width) + " x " +
                                std::to_string(segment->Height) + " can be");
            state.StreamBroken = true;
            break;
        }
        if (stream.Read(data + size + 4, recordSize - 4) != recordSize - 4) {
            ReportDamagedFrames("has a frame record that is cut short");
            state.StreamBroken = true;
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
        state.Queue.AddBlock(block);
}

bool PrimeBlocks() {
    BlockState& state = Blocks();
    for (auto& block : state.Blocks) {
        block.Size = 0;
        block.Posted = false;
    }
    DoBlockEmpty(&state.Blocks[0]);
    DoBlockEmpty(&state.Blocks[1]);
    Clock().FrameIndex = 0;
    state.FrameBlock = nullptr;
    state.FrameOffset = 0;
    PickUpHeadBlock();
    if (Clock().TicksPerFrame == 3 && state.FrameBlock != nullptr) {
        UnpackResult result = UnpackFrame();
        if (result == UnpackResult::TooLarge || result == UnpackResult::BadRuns) {
            ShowMessage(RefusedRecordMessage(result, Clock().CurrentSegment, 0), Texts().Error, MsgIcon::Error,
                        MsgOwner::MainWindow);
            return false;
        }
        ApplyXorFrame();
    }
    return true;
}

void PickUpHeadBlock() {
    BlockState& state = Blocks();
    if (state.FrameBlock != nullptr)
        return;
    Block* head = state.Queue.Head();
    if (head != nullptr) {
        state.FrameBlock = head;
        state.FrameOffset = 0;
    }
}

bool BlockRefillPending() {
    for (auto& block : Blocks().Blocks)
        if (block.Posted)
            return true;
    return false;
}

const uint8_t* FrameRecord(int32_t* available) {
    BlockState& state = Blocks();
    *available = 0;
    if (state.FrameBlock == nullptr)
        return nullptr;
    int32_t left = state.FrameBlock->Size - state.FrameOffset;
    if (left <= 0)
        return nullptr;
    *available = left;
    return state.FrameBlock->Data.data() + state.FrameOffset;
}

bool NextRecord() {
    BlockState& state = Blocks();
    Block* block = state.FrameBlock;
    if (block == nullptr) {
        PickUpHeadBlock();
        return state.FrameBlock != nullptr || BlockRefillPending();
    }
    const int32_t filled = block->Size;
    if (state.FrameOffset >= 0 && state.FrameOffset <= filled - 4) {
        int32_t recordSize = ReadI32LE(block->Data.data() + state.FrameOffset);
        // The refill accepted only sizes that fit; a size of 0 or less cannot
        // be here, but must never keep the clock on one record.
        state.FrameOffset = recordSize > 0 && recordSize <= filled - state.FrameOffset
                                ? state.FrameOffset + recordSize
                                : filled;
    } else {
        state.FrameOffset = filled;
    }
    if (state.FrameOffset < filled)
        return true;

    // Used up: hand it back for refilling and go on with the other block.
    block->Size = 0;
    state.FrameBlock = nullptr;
    state.Queue.DoMessage(UM_BLOCKEMPTY);
    if (state.Queue.Head() == block)
        state.Queue.RemoveHead();  // it could not be posted: it stays idle
    WaitForBlock();
    PickUpHeadBlock();
    return state.FrameBlock != nullptr || BlockRefillPending();
}

void WaitForBlock() {
    BlockState& state = Blocks();
    ClockState& clock = Clock();
    bool silenced = false;
    bool soundWasPlaying = false;
    while (state.Queue.Head() == nullptr) {
        if (clock.StopRequested || clock.TimerStopping > 0)
            break;
        if (!BlockRefillPending())
            break;
        if (!silenced) {
            silenced = true;
            soundWasPlaying = clock.SpeedPosition == kNormalSpeedPosition;
            Sound().PauseSound();
        }
        if (ManualTickMode()) {
            // The main thread is this thread: let the host handle the refill now.
            EngineHost* host = Host();
            if (host == nullptr || !host->PumpPostedMessages())
                break;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (silenced && soundWasPlaying && state.Queue.Head() != nullptr && !clock.StopRequested)
        Sound().StartSound();
}

}  // namespace movarel
