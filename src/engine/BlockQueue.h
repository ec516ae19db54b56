#pragma once
// The block queue: frame records travel from the segment's frame stream to the
// decoder in two large blocks. The GUI thread fills a block, the timer thread
// walks it; the two hand blocks to each other through the queue and a
// BlockNeeded event. The Player owns them (its steps are in BlockQueue.cpp).
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
// count and the slots: the GUI thread adds while the timer thread removes.
class BlockQueue {
public:
    // Appends block at the tail; false for a missing block or a full queue
    // ("AddBlock: count_ > BlockCount").
    bool AddBlock(Block* block);
    Block* Head();
    void RemoveHead();
    // Removes and returns the head block; null when the queue is empty.
    Block* TakeHead();
    void Clear();
    int32_t Count();

private:
    std::mutex lock;
    int32_t count = 0;
    Block* items[kBlockCount] = {};
};

// A Player's queue, its two blocks, and where the next record to decode lies
// (the block and the offset of its size field).
struct BlockState {
    BlockQueue Queue;
    Block Blocks[kBlockCount];
    Block* FrameBlock = nullptr;  // null: no record to decode
    int32_t FrameOffset = 0;
    // Tags posted refills and segment ends; one from before the latest
    // segment start or stop is ignored, so a stale refill never lands in a
    // block the clock is reading.
    std::atomic<uint32_t> Generation{1};
    // The frame stream held a bad record: the records before it are played,
    // nothing after it is read (GUI thread only).
    bool StreamBroken = false;
    // Where the next refill reads the segment's frame stream (GUI thread only).
    int64_t ReadOffset = 0;

    int32_t IndexOf(const Block* block) const {
        for (int32_t i = 0; i < kBlockCount; ++i)
            if (block == &Blocks[i])
                return i;
        return -1;
    }
};

}  // namespace movarel
