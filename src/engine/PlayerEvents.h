#pragma once
// What a Player tells the GUI thread: a few event types in one queue. The
// timer thread (and the GUI thread's own calls) post them; the GUI thread
// drains them, woken by whatever the owner installs (the shell queues a Qt
// call; headless users drain between ticks). The time display is coalesced:
// at most one waits in the queue, so a fast clock never floods it.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <variant>

namespace movarel {

// A segment was made current (started, or selected by a stop): its
// description is to be shown. prepared: its picture is set up, so the window
// fits it; fillsScreen: its frames are the screen's size (full screen);
// playing: it started, so the segment list marks it; minimize: its depth
// cannot be shown and the main window gives way to the message.
struct SegmentStarted {
    int32_t index = 0;
    bool prepared = false;
    bool fillsScreen = false;
    bool playing = false;
    bool minimize = false;
};

// Stopped 0, Playing 1, Paused 2.
struct PlayStateChanged {
    uint8_t state = 0;
};

// A block was used up and waits to be refilled from the frame stream. A
// generation older than the player's is a block of a segment that was
// stopped or replaced since: it is not refilled.
struct BlockNeeded {
    int32_t block = 0;
    uint32_t generation = 0;
};

// The segment played to its end; the next one starts unless a stop or a
// newer start came first (generation).
struct SegmentEnded {
    uint32_t generation = 0;
};

// A failure on the timer thread stopped the segment; text is for the user.
struct PlaybackError {
    std::string text;
    uint32_t generation = 0;
};

// The position changed: progress and time display.
struct TimeDisplayChanged {};

using PlayerEvent =
    std::variant<SegmentStarted, PlayStateChanged, BlockNeeded, SegmentEnded, PlaybackError, TimeDisplayChanged>;

class PlayerEvents {
public:
    // Any thread.
    void Post(PlayerEvent event);
    // Any thread; nothing is queued while an earlier one waits.
    void PostTimeDisplay();
    // The GUI thread: everything queued so far, oldest first.
    std::deque<PlayerEvent> Take();
    // The GUI thread: the queued refills, the other events staying queued.
    std::deque<BlockNeeded> TakeBlockNeeded();
    // Called with every event posted (a coalesced time display too), on the
    // posting thread, after it was queued: the owner wakes its GUI thread.
    // Empty: nobody is told.
    void SetWatch(std::function<void(const PlayerEvent&)> watch);

private:
    std::mutex lock;
    std::deque<PlayerEvent> queue;
    std::function<void(const PlayerEvent&)> watcher;
    std::atomic<bool> timePending{false};
};

}  // namespace movarel
