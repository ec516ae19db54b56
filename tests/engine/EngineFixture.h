#pragma once
// Shared set-up of the engine tests: a fresh film and a player on it in
// manual-tick mode, a sink that records what is presented, sound calls that
// count, a record of every event the player posts, a message recorder, and
// segments written straight into the film.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "FilmWriter.h"
#include "MessageRecorder.h"
#include "TestPictures.h"
#include "engine/Player.h"
#include "film/Film.h"
#include "film/Picture.h"
#include "platform/UserMessages.h"
#include "test_dirs.h"

// Tests name only the fields of a SegmentBuild that matter to them.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace movarel::test {

// Records what the player presents and every event it posts (on the posting
// thread); the tests hand the events back like a GUI thread.
class TestHost : public FrameSink {
public:
    void PresentFrame(const Picture& picture) override;
    void PresentCursorArea(const Picture& picture, const PixelRect* rects, int count) override;
    void Watch(const PlayerEvent& event);

    std::vector<PlayerEvent> Posted();
    template <class Event>
    int CountPosted() {
        int n = 0;
        for (const PlayerEvent& e : Posted())
            n += std::holds_alternative<Event>(e) ? 1 : 0;
        return n;
    }

    std::atomic<int> stops{0};
    std::atomic<int> minimized{0};
    std::atomic<int> wholePresents{0};
    // Called on every tick (its time display) and every whole presentation.
    std::function<void()> onTick;
    std::function<void(const Picture&)> onPresent;
    std::vector<std::vector<PixelRect>> cursorAreas;

private:
    std::mutex lock;
    std::vector<PlayerEvent> history;
};

class CountingSound : public PlayerSound {
public:
    void Open(const std::string&) override { opens++; }
    void Start(double fraction) override;
    void Pause() override { pauses++; }
    void Stop() override { stops++; }
    void SetSpeed(double factor) override {
        speeds++;
        lastSpeed = factor;
    }
    // What the test says is being heard; below 0: nothing.
    std::optional<double> PlayedSeconds() const override {
        const double heard = played;
        return heard >= 0 ? std::optional<double>(heard) : std::nullopt;
    }
    std::atomic<int> opens{0}, starts{0}, pauses{0}, stops{0}, speeds{0};
    std::atomic<double> lastSpeed{-1};
    std::atomic<double> played{-1};
    std::atomic<double> lastFraction{-1};
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

// A player in manual-tick mode on a fresh, empty film. The player's calls
// are the fixture's own, so a test reads as the engine's steps.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Segment* AddSegment(const SegmentBuild& build);
    // Deletes every segment (the player stays, as it is).
    void ClearFilm();
    // Ticks until the end of the segment is posted, at most limit ticks.
    int TickToEnd(int limit = 10000);
    // Hands the posted events to the player as a GUI thread would; with
    // everything false only refills are handled.
    void Pump(bool everything = true);

    ClockState& Clock() { return player->Clock(); }
    BlockState& Blocks() { return player->Blocks(); }
    DecodingState& Decoding() { return player->Decoding(); }
    CursorState& Cursor() { return player->Cursor(); }
    Picture& CurrentPicture() { return player->CurrentPicture(); }
    const Film& LoadedFilm() { return *film; }
    std::recursive_mutex& EngineLock() { return player->EngineLock(); }
    bool StartSegment(int32_t index) { return player->StartSegment(index); }
    bool TickManualTimers() { return player->TickManually(); }
    int LiveTimerCount() { return player->LiveTimers(); }
    void SetPlayState(uint8_t state) { player->SetPlayState(state); }
    void StartTimer() { player->StartTimer(); }
    void StopTimer() { player->StopTimer(); }
    bool TimerRunning() { return player->TimerRunning(); }
    void RecalcTimerPeriod() { player->RecalcTimerPeriod(); }
    void SetSpeedPosition(int32_t position) { player->SetSpeedPosition(position); }
    void StopPlaybackCommand() { player->StopPlaybackCommand(); }
    void StopPlaybackForLoad() { player->StopPlaybackForLoad(); }

    // Real timer threads instead of manual ticks (a new player).
    void UseRealTimer();
    // Manual ticks that choose their frame by time, from a clock the test
    // moves (a new player).
    void UseTestClock();
    std::chrono::steady_clock::time_point testNow{};

    TestDir dir;
    TestHost host;
    CountingSound sound;
    MessageRecorder recorder;
    std::unique_ptr<Film> film;
    std::unique_ptr<Player> player;

private:
    void MakePlayer(bool manual, bool testClock = false);
};

// A reference decoding: the picture after applying the records in order.
std::vector<uint32_t> ReferenceDecode(const std::vector<writer::Bytes>& records, int32_t width, int32_t height,
                                      size_t count);

}  // namespace movarel::test
