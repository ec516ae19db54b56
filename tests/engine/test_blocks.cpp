// The block queue: refills on the main thread, hand-over to the clock.
#include <chrono>
#include <mutex>
#include <thread>

#include "EngineFixture.h"
#include "engine/Player.h"
#include "platform/PeriodicTimer.h"

namespace movarel::test {
namespace {

using writer::MakeFrameRecord;
using FrameRun = writer::Run;

// A record of exactly size bytes that sets the first pixel of a
// 1000 x 1000 frame to colour and leaves the rest unchanged.
writer::Bytes PaddedRecord(int32_t size, uint32_t colour) {
    std::vector<FrameRun> runs = {{colour, 1}};
    int32_t left = 1000 * 1000 - 1;
    while (left > 0) {
        uint16_t n = static_cast<uint16_t>(std::min(left, 65535));
        runs.push_back({0, n});
        left -= n;
    }
    writer::Bytes record = MakeFrameRecord(runs, size);
    record.resize(static_cast<size_t>(size), 0);
    return record;
}

const int32_t kLargest = 5 * 1000 * 1000 + 8;

class Blocks_ : public EngineTest {
protected:
    // Nine worst-case records of a 1000 x 1000 segment: three per block.
    void AddThreeBlocksWorth() {
        for (uint32_t i = 0; i < 9; ++i)
            records.push_back(PaddedRecord(kLargest, 0x00010101u * (i + 1)));
        AddSegment({.width = 1000, .height = 1000, .bpp = 32, .fps = 100, .records = records});
    }
    // Pumps like a main thread until pred holds or the time is up.
    bool PumpUntil(const std::function<bool()>& pred, int ms = 20000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    std::vector<writer::Bytes> records;
};

TEST_F(Blocks_, SmallStreamStaysInBlockZero) {
    records = {MakeFrameRecord({{0x00AA0000, 8}}), MakeFrameRecord({{0x00000055, 8}}), MakeFrameRecord({{1, 8}})};
    AddSegment({.width = 4, .height = 2, .records = records});
    ASSERT_TRUE(StartSegment(0));
    EXPECT_EQ(Blocks().Blocks[0].Size, 3 * 13);
    EXPECT_EQ(Blocks().Blocks[1].Size, 0);
    EXPECT_EQ(Blocks().Queue.Count(), 1);
    EXPECT_EQ(TickToEnd(), 4);  // three frames, then the end
    EXPECT_EQ(host.CountPosted<BlockNeeded>(), 0);
    EXPECT_EQ(host.CountPosted<SegmentEnded>(), 1);
    EXPECT_EQ(CurrentPicture().Pixels, ReferenceDecode(records, 4, 2, 3));
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(Blocks_, BlockTakesRecordsWhileTheLargestStillFits) {
    // 16,777,216 - size - 8 must stay at least 5,000,000 for another record.
    struct Case {
        int32_t first;
        int32_t block0, block1;
    };
    const int32_t exact = kBlockSize - kLargest;
    for (Case c : {Case{exact, exact + kLargest, 0}, Case{exact + 1, exact + 1, kLargest}}) {
        SCOPED_TRACE(c.first);
        ClearFilm();
        records = {PaddedRecord(c.first, 1), PaddedRecord(kLargest, 2)};
        AddSegment({.width = 1000, .height = 1000, .records = records});
        ASSERT_TRUE(StartSegment(0));
        EXPECT_EQ(Blocks().Blocks[0].Size, c.block0);
        EXPECT_EQ(Blocks().Blocks[1].Size, c.block1);
        EXPECT_EQ(Blocks().Queue.Count(), c.block1 ? 2 : 1);
        StopPlaybackForLoad();
    }
}

TEST_F(Blocks_, BadRecordsEndTheRefillAndTheSegmentAfterTheGoodOnes) {
    const writer::Bytes good = MakeFrameRecord({{0x00123456, 8}});
    writer::Bytes truncated = MakeFrameRecord({{1, 8}});
    truncated.resize(truncated.size() - 3);
    writer::Bytes huge;
    writer::PutInt32(huge, 0x7FFFFFFF);
    writer::PutInt32(huge, 1);
    struct Case {
        const char* name;
        std::vector<writer::Bytes> stream;
        const char* message;
        int32_t queued;
    };
    const std::vector<Case> cases = {
        {"size 0 first", {MakeFrameRecord({{1, 8}}, 0)},
         "The film is damaged: segment 1 has a frame record with a size of 0 bytes.", 0},
        {"negative size after a good one", {good, MakeFrameRecord({{1, 8}}, -20)},
         "The film is damaged: segment 1 has a frame record with a size of -20 bytes.", 1},
        {"stream ends inside a record", {good, truncated},
         "The film is damaged: segment 1 has a frame record that is cut short.", 1},
        {"stream ends inside a size field", {good, writer::Bytes{1, 0}},
         "The film is damaged: segment 1 has a frame record that is cut short.", 1},
        {"record larger than the block", {good, huge},
         "The film is damaged: segment 1 has a frame record of 2147483647 bytes, larger than a frame of 4 x 2 "
         "can be.",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearFilm();
        recorder.Clear();
        AddSegment({.width = 4, .height = 2, .frameCount = 5, .records = c.stream});
        const int ends = host.CountPosted<SegmentEnded>();
        ASSERT_TRUE(StartSegment(0));
        EXPECT_EQ(Blocks().Queue.Count(), c.queued);
        EXPECT_EQ(Blocks().Blocks[1].Size, 0);
        auto messages = recorder.Messages();
        ASSERT_EQ(messages.size(), 1u) << "one report, not one per block";
        EXPECT_EQ(messages[0].text, c.message);
        EXPECT_EQ(messages[0].caption, "Error");
        EXPECT_EQ(messages[0].icon, MsgIcon::Error);
        TickToEnd(20);
        EXPECT_EQ(host.CountPosted<SegmentEnded>(), ends + 1);
        EXPECT_EQ(CurrentPicture().Pixels, c.queued ? std::vector<uint32_t>(8, 0x00123456) : std::vector<uint32_t>(8, 0));
        EXPECT_EQ(Clock().FrameIndex, 0);
        StopPlaybackForLoad();
    }
}

TEST_F(Blocks_, QueueReportsMisuseAndLeavesItselfUnchanged) {
    BlockQueue queue;
    Block& a = Blocks().Blocks[0];
    Block& b = Blocks().Blocks[1];
    EXPECT_FALSE(queue.AddBlock(nullptr));
    EXPECT_TRUE(queue.AddBlock(&a));
    EXPECT_TRUE(queue.AddBlock(&b));
    EXPECT_FALSE(queue.AddBlock(&a));
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.Head(), &a);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, "AddBlock: count_ > BlockCount");
    EXPECT_EQ(recorder.Messages()[0].caption, "Debug");
    EXPECT_EQ(recorder.Messages()[0].icon, MsgIcon::Error);

    // Handing the head block back: an empty queue is misuse; otherwise the
    // head goes to the GUI thread as a refill of that block.
    struct Case {
        const char* name;
        int queued;
        const char* text;  // null: posted
    };
    const std::vector<Case> cases = {
        {"empty queue", 0, "DoMessage: count_ = 0"},
        {"block empty", 2, nullptr},
    };
    BlockQueue& own = Blocks().Queue;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.Clear();
        own.Clear();
        for (int i = 0; i < c.queued; ++i)
            own.AddBlock(&Blocks().Blocks[i]);
        const int posted = host.CountPosted<BlockNeeded>();
        player->HandBackHeadBlock();
        if (c.text) {
            ASSERT_EQ(recorder.Messages().size(), 1u);
            EXPECT_EQ(recorder.Messages()[0].text, c.text);
            EXPECT_EQ(recorder.Messages()[0].caption, "Debug");
            EXPECT_EQ(host.CountPosted<BlockNeeded>(), posted);
            EXPECT_EQ(own.Count(), c.queued);
        } else {
            EXPECT_TRUE(recorder.Messages().empty());
            ASSERT_EQ(host.CountPosted<BlockNeeded>(), posted + 1);
            const std::vector<PlayerEvent> events = host.Posted();
            const auto* refill = std::get_if<BlockNeeded>(&events.back());
            ASSERT_NE(refill, nullptr);
            EXPECT_EQ(refill->block, 0);
            EXPECT_EQ(refill->generation, Blocks().Generation.load());
            EXPECT_EQ(own.Count(), 1);
            EXPECT_EQ(own.Head(), &b);
        }
    }
    own.Clear();
    a.Posted = b.Posted = false;
}

TEST_F(Blocks_, RefillPostedBeforeARestartIsIgnored) {
    records = {MakeFrameRecord({{7, 8}})};
    AddSegment({.width = 4, .height = 2, .records = records});
    ASSERT_TRUE(StartSegment(0));
    const uint32_t stale = Blocks().Generation;
    ASSERT_TRUE(StartSegment(0));
    const int32_t size = Blocks().Blocks[0].Size;
    ASSERT_GT(size, 0);
    player->Events().Post(BlockNeeded{0, stale});
    Pump();
    EXPECT_EQ(Blocks().Blocks[0].Size, size);
    EXPECT_EQ(Blocks().Queue.Count(), 1);
}

// Real timer thread; the test's loop stands in for the main window.
TEST_F(Blocks_, ThreeBlocksWorthPlayWithHandOverOnTheMainThread) {
    UseRealTimer();
    AddThreeBlocksWorth();
    Clock().SpeedPosition = 8;
    std::vector<uint32_t> lastShown;
    std::atomic<int32_t> primed[2] = {-1, -1};
    host.onPresent = [&](const Picture& picture) {
        // The first frame is shown from the first block, before any hand-over.
        if (Clock().FrameIndex == 0) {
            primed[0] = Blocks().Blocks[0].Size.load();
            primed[1] = Blocks().Blocks[1].Size.load();
        }
        if (Clock().FrameIndex == 8)
            lastShown.assign(picture.Pixels.begin(), picture.Pixels.begin() + 16);
    };
    ASSERT_TRUE(StartSegment(0));
    ASSERT_TRUE(PumpUntil([&] { return host.stops > 0; }));
    EXPECT_EQ(primed[0], 3 * kLargest);
    EXPECT_EQ(primed[1], 3 * kLargest);
    EXPECT_EQ(host.CountPosted<SegmentEnded>(), 1);
    EXPECT_GE(host.CountPosted<BlockNeeded>(), 2);
    std::vector<uint32_t> expected(16, 0);
    for (uint32_t i = 0; i < 9; ++i)
        expected[0] ^= 0x00010101u * (i + 1);
    EXPECT_EQ(lastShown, expected);
    EXPECT_TRUE(recorder.Messages().empty());
}

// A tick waiting for a refill that the main thread does not get to must not
// keep Stop or a segment start waiting forever.
TEST_F(Blocks_, StopAndRestartEndAWaitForABlock) {
    UseRealTimer();
    AddThreeBlocksWorth();
    Clock().SpeedPosition = 8;
    std::mutex lock;
    std::vector<int32_t> shownFrames;
    host.onPresent = [&](const Picture&) {
        std::lock_guard<std::mutex> guard(lock);
        shownFrames.push_back(Clock().FrameIndex);
    };
    auto shownAfter = [&](size_t i) {
        std::lock_guard<std::mutex> guard(lock);
        return i < shownFrames.size() ? shownFrames[i] : -2;
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // Counted first: the timer's first tick comes at once.
        const int before = host.CountPosted<BlockNeeded>();
        ASSERT_TRUE(StartSegment(0));
        // Nothing is pumped: once both blocks are handed back the tick waits.
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (host.CountPosted<BlockNeeded>() < before + 2 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(host.CountPosted<BlockNeeded>(), before + 2);
        if (round == 0) {
            StopPlaybackCommand();
            EXPECT_EQ(Clock().PlayState, Stopped);
        } else {
            const size_t shownBefore = [&] {
                std::lock_guard<std::mutex> guard(lock);
                return shownFrames.size();
            }();
            ASSERT_TRUE(StartSegment(0));
            // The new start's first tick comes at once and shows the first frame.
            auto shownBy = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (shownAfter(shownBefore) == -2 && std::chrono::steady_clock::now() < shownBy)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            EXPECT_EQ(shownAfter(shownBefore), 0);
            StopPlaybackCommand();
        }
        EXPECT_FALSE(TimerRunning());
        // The stale refills are dropped.
        Pump();
        EXPECT_EQ(Blocks().Queue.Count(), 0);
    }
}

}  // namespace
}  // namespace movarel::test
