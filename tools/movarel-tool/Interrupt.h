#pragma once
// Ctrl+C while a command runs. The handler only notes the request; the
// command's loops stop at the next picture, so its owners remove the scratch
// files and the work directory on the way out, and the tool exits 130, as a
// shell reports a program ended by SIGINT. A second Ctrl+C ends the tool at
// once, for a step that does not look (loading a film).
namespace movarel::tool {

constexpr int kInterruptedStatus = 130;

class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Requested() const;
};

}  // namespace movarel::tool
