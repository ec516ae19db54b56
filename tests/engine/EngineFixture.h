#pragma once
// Shared set-up of the engine tests: a host that queues what the engine posts
// and lets the test pump it like a main thread, sound calls that count, a
// message recorder, and segments written straight into the segment list.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "MessageRecorder.h"
#include "TestPictures.h"
#include "engine/ClockState.h"
#include "engine/EngineHost.h"
#include "film/Picture.h"
#include "film/Film.h"
#include "platform/UserMessages.h"
#include "test_dirs.h"

// Tests name only the fields of a SegmentBuild that matter to them.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace movarel::test {

struct PostedMessage {
    uint32_t message;
    uintptr_t wParam;
    uintptr_t lParam;
};

class TestHost : public EngineHost {
public:
    void PostToMainThread(uint32_t message, uintptr_t wParam, uintptr_t lParam) override;
    bool HasMainWindow() const override { return hasWindow; }
    void RunStopCommand() override;
    void PresentFrame(const Picture& picture) override;
    void PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) override;
    void RefreshTimeDisplay() override;
    void MinimizeMainWindow() override { minimized++; }
    bool PumpPostedMessages() override;

    // Hands the queued messages to the engine as a main thread would; with
    // commands false only block refills are handled. Returns how many.
    int Pump(bool commands = true);
    std::vector<PostedMessage> Posted();
    int CountPosted(uint32_t message, uintptr_t wParam = UINTPTR_MAX);

    std::atomic<bool> hasWindow{true};
    std::atomic<int> stops{0};
    std::atomic<int> minimized{0};
    std::atomic<int> wholePresents{0};
    bool pumpFromEngine = true;
    // Called on every tick (RefreshTimeDisplay) and every whole presentation.
    std::function<void()> onTick;
    std::function<void(const Picture&)> onPresent;
    std::vector<std::vector<PixelRect>> cursorAreas;

private:
    std::mutex lock;
    std::deque<PostedMessage> queue;
    std::vector<PostedMessage> history;
};

class CountingSound : public SoundCalls {
public:
    void OpenSound() override { opens++; }
    void StartSound() override;
    void PauseSound() override { pauses++; }
    void StopSound() override { stops++; }
    std::atomic<int> opens{0}, starts{0}, pauses{0}, stops{0};
    std::atomic<bool> throwOnStart{false};
};

struct SegmentBuild {
    int32_t width = 4;
    int32_t height = 2;
    uint8_t bpp = 32;
    uint8_t fps = 25;
    int32_t frameCount = -1;  // -1: the number of records
    uint32_t flags = 0;
    std::vector<writer::Bytes> records;
    std::vector<writer::CursorSample> track;
};

// The engine in manual-tick mode with a fresh host and sound, an empty list.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Segment* AddSegment(const SegmentBuild& build);
    // Ticks until the end of the segment is posted, at most limit ticks.
    int TickToEnd(int limit = 10000);

    TestDir dir;
    TestHost host;
    CountingSound sound;
    MessageRecorder recorder;
};

// A reference decoding: the picture after applying the records in order.
std::vector<uint32_t> ReferenceDecode(const std::vector<writer::Bytes>& records, int32_t width, int32_t height,
                                      size_t count);

}  // namespace movarel::test
