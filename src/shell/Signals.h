#pragma once
// SIGINT, SIGTERM and SIGHUP end the player the way closing its window does:
// timer stopped, sound closed, segment files deleted, work directory removed,
// and at once, whatever boxes or dialogs are open.
// The handler only writes the signal number to a pipe; the GUI thread reads
// it and ends the event loops, since none of that is safe inside a handler.
#include <signal.h>

#include <iterator>

class QSocketNotifier;

namespace movarel {

class TerminationSignals {
public:
    // Installs the handlers and the pipe's reader on the GUI thread. Needs a
    // QApplication. Made before the start-up film is read, so a signal that
    // arrives during a long load is kept and acted on when the loop runs.
    // One at a time: the handlers are the process's.
    TerminationSignals();
    ~TerminationSignals() { Remove(); }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Puts the previous handlers back and closes the pipe.
    void Remove();
    // The signal that asked the player to end, or 0.
    int Received() const { return received; }

private:
    void OnPipeReadable();

    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    int pipe[2] = {-1, -1};
    QSocketNotifier* reader = nullptr;
    struct sigaction previous[std::size(kSignals)] = {};
    int received = 0;
};

}  // namespace movarel
