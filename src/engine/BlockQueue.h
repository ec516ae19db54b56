#pragma once
// The block queue: frame records travel from the segment's frame stream to the
// decoder in two large blocks. The main thread fills a block, the timer thread
// walks it; the two hand blocks to each other through the queue and a message
// posted to the main thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/LargePages.h"

namespace movarel {

constexpr int32_t kBlockCount = 2;
constexpr int32_t kBlockSize = 0x1000000;  // 16 MiB

// A dynamic array of bytes, allocated once and never resized.
struct ByteBuffer {
    explicit ByteBuffer(int32_t size)
        : Bytes(static_cast<uint8_t*>(AllocateLarge(static_cast<size_t>(size)))), Length(size) {}
    uint8_t* data() { return Bytes.get(); }
    const uint8_t* data() const { return Bytes.get(); }
    int32_t size() const { return Length; }

private:
    struct Free {
        void operator()(uint8_t* p) const noexcept { FreeLarge(p); }
    };
    std::unique_ptr<uint8_t, Free> Bytes;
    int32_t Length;
};

// One filled stretch of whole frame records, back to back from offset 0.
struct Block {
    Block() : Data(kBlockSize) {}
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    std::atomic<int32_t> Size{0};  // bytes filled; 0 = empty
    ByteBuffer Data;
    // Handed to the main thread for refilling and not yet refilled; the
    // consumer waits for a block only while one is on its way.
    std::atomic<bool> Posted{false};
};

// The blocks ready for the clock, oldest first. Its own small lock guards the
// count and the slots: the main thread adds while the timer thread removes.
class BlockQueue {
public:
    // Appends block at the tail; false for a missing block or a full queue
    // ("AddBlock: FCount > BlockCount").
    bool AddBlock(Block* block);
    Block* Head();
    void RemoveHead();
    void Clear();
    int32_t Count();
    // Hands the head block to the main thread (UM_BLOCKEMPTY) for refilling.
    void DoMessage(uint32_t message);

private:
    std::mutex lock;
    int32_t count = 0;
    Block* items[kBlockCount] = {};
};

// Module state: the queue, the two blocks, and where the next record to
// decode lies (the block and the offset of its size field).
struct BlockState {
    BlockQueue Queue;
    Block Blocks[kBlockCount];
    Block* FrameBlock = nullptr;  // null: no record to decode
    int32_t FrameOffset = 0;
    // Tags posted block messages; a message from before the latest segment
    // start or stop is ignored, so a stale refill never lands in a block the
    // clock is reading.
    std::atomic<uint32_t> Generation{1};
    // The frame stream held a bad record: the records before it are played,
    // nothing after it is read (main thread only).
    bool StreamBroken = false;
};

BlockState& Blocks();

// Clears the queue and empties both blocks.
void ResetBlocks();

// Fills both blocks for a segment that is starting (main thread) and points
// the decoder at the first record. At three ticks per frame the first record
// is decoded and applied at once. False when that first record is refused.
bool PrimeBlocks();

// Refills block from the current segment's frame stream (main thread).
void DoBlockEmpty(Block* block);

// Consumer steps (timer thread, engine lock held). NextRecord moves to the
// next record, handing a used-up block back and waiting for the other one;
// it returns false when no record follows because the frame stream is
// exhausted or its refill failed.
bool NextRecord();
void WaitForBlock();

// The record to decode next and the bytes from it to the end of its block's
// filled part; null when there is none.
const uint8_t* FrameRecord(int32_t* available);

// Points the decoder at the head block's first record when it has none.
void PickUpHeadBlock();

// Whether a block is on its way back from the main thread.
bool BlockRefillPending();

}  // namespace movarel
