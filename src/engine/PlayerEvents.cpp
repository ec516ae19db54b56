#include "engine/PlayerEvents.h"

namespace movarel {

void PlayerEvents::Post(PlayerEvent event) {
    std::function<void(const PlayerEvent&)> watch;
    {
        std::lock_guard<std::mutex> guard(lock);
        queue.push_back(event);
        watch = watcher;
    }
    if (watch)
        watch(event);
}

void PlayerEvents::PostTimeDisplay() {
    if (!timePending.exchange(true)) {
        Post(TimeDisplayChanged{});
        return;
    }
    std::function<void(const PlayerEvent&)> watch;
    {
        std::lock_guard<std::mutex> guard(lock);
        watch = watcher;
    }
    if (watch)
        watch(TimeDisplayChanged{});
}

std::deque<PlayerEvent> PlayerEvents::Take() {
    std::deque<PlayerEvent> taken;
    {
        std::lock_guard<std::mutex> guard(lock);
        taken.swap(queue);
    }
    // Cleared before the display is refreshed: a tick during the refresh
    // queues the next one.
    timePending = false;
    return taken;
}

std::deque<BlockNeeded> PlayerEvents::TakeBlockNeeded() {
    std::deque<BlockNeeded> refills;
    std::lock_guard<std::mutex> guard(lock);
    for (auto it = queue.begin(); it != queue.end();) {
        if (const auto* refill = std::get_if<BlockNeeded>(&*it)) {
            refills.push_back(*refill);
            it = queue.erase(it);
        } else {
            ++it;
        }
    }
    return refills;
}

void PlayerEvents::SetWatch(std::function<void(const PlayerEvent&)> watch) {
    std::lock_guard<std::mutex> guard(lock);
    watcher = std::move(watch);
}

}  // namespace movarel
