#pragma once
// The one line a long export keeps up to date on a terminal: frames done of
// the total, time spent and time left, redrawn in place with '\r' and ended
// with a newline. When stderr is no terminal it prints nothing, so logs and
// pipes get no extra text.
#include <chrono>
#include <cstdint>
#include <string>

namespace movarel::tool {

class ProgressLine {
public:
    ProgressLine(int64_t total, bool shown);
    // Redraws at most five times a second.
    void Update(int64_t done);
    // The last state and the newline; later calls do nothing.
    void Finish(int64_t done);

    // The line's text after seconds spent.
    static std::string Text(int64_t done, int64_t total, double seconds);

private:
    void Draw(int64_t done);

    int64_t total_;
    bool shown_;
    bool finished_ = false;
    size_t lastLength_ = 0;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace movarel::tool
