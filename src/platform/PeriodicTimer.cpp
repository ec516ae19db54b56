#include "platform/PeriodicTimer.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace movarel {
namespace {

// Longest single sleep: a kill is noticed within this time even at long periods.
constexpr int64_t kSliceNs = 5'000'000;

struct TimerEntry {
    uint32_t Id = 0;
    int64_t PeriodNs = 0;
    bool FirstAtOnce = false;
    TimerCallback Callback;
    std::atomic<bool> Killed{false};
    // Held while the callback runs; a kill from another thread takes it to
    // wait for a running tick.
    std::mutex TickLock;
    std::thread Thread;
    std::atomic<bool> Exited{false};
};

}  // namespace

struct PeriodicTimers::State {
    std::mutex Lock;
    std::map<uint32_t, std::shared_ptr<TimerEntry>> Live;
    // Timers killed from their own tick; joined once their thread has left.
    std::vector<std::shared_ptr<TimerEntry>> Finished;
    uint32_t NextId = 1;
    bool Manual = false;

    ~State() {
        std::vector<std::shared_ptr<TimerEntry>> all;
        {
            std::lock_guard<std::mutex> guard(Lock);
            for (auto& [id, entry] : Live)
                all.push_back(entry);
            all.insert(all.end(), Finished.begin(), Finished.end());
            Live.clear();
            Finished.clear();
        }
        for (auto& entry : all) {
            entry->Killed = true;
            if (entry->Thread.joinable())
                entry->Thread.join();
        }
    }
};

namespace {

int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void SleepUntilNs(int64_t deadline) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(deadline % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
    }
}

void RunTimerThread(TimerEntry* entry) {
    int64_t deadline = NowNs() + (entry->FirstAtOnce ? 0 : entry->PeriodNs);
    while (!entry->Killed) {
        // Sleep towards the deadline in slices so a kill is seen promptly;
        // the last slice ends exactly on the deadline.
        while (!entry->Killed) {
            int64_t now = NowNs();
            if (now >= deadline)
                break;
            SleepUntilNs(std::min(deadline, now + kSliceNs));
        }
        {
            std::lock_guard<std::mutex> tick(entry->TickLock);
            if (entry->Killed)
                break;
            entry->Callback();
        }
        deadline += entry->PeriodNs;
        // A tick that overran does not turn into a burst of late ticks.
        int64_t now = NowNs();
        if (deadline < now)
            deadline = now;
    }
    entry->Exited = true;
}

void JoinExitedLocked(PeriodicTimers::State& state, std::vector<std::shared_ptr<TimerEntry>>& toJoin) {
    auto it = state.Finished.begin();
    while (it != state.Finished.end()) {
        if ((*it)->Exited) {
            toJoin.push_back(*it);
            it = state.Finished.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

PeriodicTimers::PeriodicTimers(bool manual) : state(std::make_unique<State>()) { state->Manual = manual; }

PeriodicTimers::~PeriodicTimers() = default;

bool PeriodicTimers::Manual() const { return state->Manual; }

uint32_t PeriodicTimers::TimerSetEvent(uint32_t periodMs, uint32_t /*resolutionMs*/, TimerCallback callback,
                                       TimerStart first) {
    if (!callback)
        return 0;
    State& state = *this->state;
    auto entry = std::make_shared<TimerEntry>();
    entry->PeriodNs = static_cast<int64_t>(std::max<uint32_t>(periodMs, 1)) * 1'000'000;
    entry->FirstAtOnce = first == TimerStart::AtOnce;
    entry->Callback = std::move(callback);
    std::vector<std::shared_ptr<TimerEntry>> toJoin;
    {
        std::lock_guard<std::mutex> guard(state.Lock);
        JoinExitedLocked(state, toJoin);
        entry->Id = state.NextId++;
        if (state.NextId == 0)
            state.NextId = 1;
        if (!state.Manual) {
            try {
                entry->Thread = std::thread(RunTimerThread, entry.get());
            } catch (...) {
                return 0;
            }
        }
        state.Live[entry->Id] = entry;
    }
    for (auto& done : toJoin)
        done->Thread.join();
    return entry->Id;
}

void PeriodicTimers::TimerKillEvent(uint32_t id) {
    State& state = *this->state;
    std::shared_ptr<TimerEntry> entry;
    std::vector<std::shared_ptr<TimerEntry>> toJoin;
    {
        std::lock_guard<std::mutex> guard(state.Lock);
        auto it = state.Live.find(id);
        if (it == state.Live.end())
            return;
        entry = it->second;
        state.Live.erase(it);
        entry->Killed = true;
        if (entry->Thread.joinable() && entry->Thread.get_id() == std::this_thread::get_id()) {
            // Killed from its own tick: the thread ends when the tick returns.
            state.Finished.push_back(entry);
            return;
        }
        JoinExitedLocked(state, toJoin);
    }
    if (entry->Thread.joinable()) {
        { std::lock_guard<std::mutex> wait(entry->TickLock); }
        entry->Thread.join();
    }
    for (auto& done : toJoin)
        done->Thread.join();
}

bool PeriodicTimers::TickManualTimers() {
    State& state = *this->state;
    std::vector<std::shared_ptr<TimerEntry>> due;
    {
        std::lock_guard<std::mutex> guard(state.Lock);
        for (auto& [id, entry] : state.Live)
            if (!entry->Thread.joinable())
                due.push_back(entry);
    }
    for (auto& entry : due) {
        // A tick may kill this timer or another one; a killed timer does not tick.
        if (entry->Killed)
            continue;
        entry->Callback();
    }
    return !due.empty();
}

int PeriodicTimers::LiveTimerCount() {
    std::lock_guard<std::mutex> guard(state->Lock);
    return static_cast<int>(state->Live.size());
}

}  // namespace movarel
