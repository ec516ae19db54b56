#pragma once
// The periodic timers that pace playback: one thread per timer that sleeps to
// absolute deadlines and calls back every period. Killing a timer waits for a
// tick that is running, except when the tick itself kills its own timer.
//
// In manual-tick mode no thread is started: the owner drives the ticks with
// TickManualTimers(), so tests and tools run the very same callback sequence
// without waiting for real time.
#include <cstdint>
#include <functional>
#include <memory>

namespace movarel {

using TimerCallback = std::function<void()>;

// When the first tick comes: one period after the start, or at once (on the
// timer's thread), the later ticks keeping the period from that first one.
enum class TimerStart { AfterPeriod, AtOnce };

// A set of timers with one owner; destroying it kills (and joins) them all.
class PeriodicTimers {
public:
    explicit PeriodicTimers(bool manual = false);
    ~PeriodicTimers();
    PeriodicTimers(const PeriodicTimers&) = delete;
    PeriodicTimers& operator=(const PeriodicTimers&) = delete;

    // Starts a periodic timer of periodMs (at least 1). The resolution is kept
    // for the callers' sake; the thread always aims at the exact deadline.
    // Returns the timer's id, 0 when no timer could be made. In manual-tick
    // mode the first manual tick is the first tick either way.
    uint32_t TimerSetEvent(uint32_t periodMs, uint32_t resolutionMs, TimerCallback callback,
                           TimerStart first = TimerStart::AfterPeriod);

    // Stops a timer. From another thread it returns only after a running tick
    // has finished; from inside the timer's own tick it returns at once and
    // the tick is the last. Unknown ids are ignored.
    void TimerKillEvent(uint32_t id);

    // Whether the set runs in manual-tick mode.
    bool Manual() const;

    // Manual-tick mode: runs one tick of every live timer on the calling
    // thread, oldest first. Returns false when no timer is live.
    bool TickManualTimers();

    // The number of timers that are live (both modes).
    int LiveTimerCount();

    struct State;

private:
    std::unique_ptr<State> state;
};

}  // namespace movarel
