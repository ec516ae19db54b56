// The periodic timer thread and the manual-tick mode.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/PeriodicTimer.h"

namespace movarel {
namespace {

TEST(PeriodicTimer, TicksAtItsPeriodUntilKilled) {
    PeriodicTimers timers;
    std::atomic<int> ticks{0};
    uint32_t id = timers.TimerSetEvent(5, 1, [&] { ticks++; });
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    timers.TimerKillEvent(id);
    const int counted = ticks;
    EXPECT_GE(counted, 25);
    EXPECT_LE(counted, 41);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(ticks, counted);
    EXPECT_EQ(timers.LiveTimerCount(), 0);
    timers.TimerKillEvent(id);  // twice: ignored
}

TEST(PeriodicTimer, KillWaitsForARunningTickAndWorksFromInsideIt) {
    PeriodicTimers timers;
    std::atomic<bool> inTick{false};
    uint32_t id = timers.TimerSetEvent(1, 1, [&] {
        inTick = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        inTick = false;
    });
    while (!inTick)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    timers.TimerKillEvent(id);
    EXPECT_FALSE(inTick);

    std::atomic<uint32_t> self{0};
    std::atomic<int> ticks{0};
    self = timers.TimerSetEvent(1, 1, [&] {
        ticks++;
        timers.TimerKillEvent(self);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timers.LiveTimerCount(), 0);
    // A long period is still killed at once.
    auto start = std::chrono::steady_clock::now();
    uint32_t slow = timers.TimerSetEvent(10000, 2500, [] {});
    timers.TimerKillEvent(slow);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(PeriodicTimer, ManualModeTicksOnlyWhenAsked) {
    PeriodicTimers timers(true);
    int ticks = 0;
    uint32_t id = timers.TimerSetEvent(40, 10, [&] { ticks++; });
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timers.TickManualTimers());
    EXPECT_TRUE(timers.TickManualTimers());
    EXPECT_EQ(ticks, 2);
    uint32_t self = 0;
    self = timers.TimerSetEvent(1, 1, [&] { timers.TimerKillEvent(self); });
    EXPECT_TRUE(timers.TickManualTimers());
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(timers.LiveTimerCount(), 1);
    timers.TimerKillEvent(id);
    EXPECT_FALSE(timers.TickManualTimers());
}

}  // namespace
}  // namespace movarel
