#include "shell/Signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UserMessages.h"

namespace movarel {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

struct SignalState {
    int pipe[2] = {-1, -1};
    QSocketNotifier* reader = nullptr;
    struct sigaction previous[std::size(kSignals)] = {};
    int received = 0;
};
SignalState& Signals() {
    static SignalState state;
    return state;
}

// The write end is read from a plain int so the handler touches nothing else.
volatile sig_atomic_t writeEnd = -1;

void OnSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (writeEnd >= 0) (void)!write(writeEnd, &byte, 1);
    errno = saved;
}

// Every box, dialog and menu runs an event loop nested in some handler, and a
// broken film can raise a new box as soon as one closes; closing them one by
// one may never end. QCoreApplication::exit ends every loop of the thread at
// once, and a loop begun after it returns at once, so the handlers unwind to
// the main loop and RunPlayer does the usual clean-up (timer, sound, segment
// files, work directory). Whatever that clean-up still has to say goes to
// standard error: nobody is left to answer a box.
void EndNow() {
    SetMessageBoxHandler(nullptr);
    QCoreApplication::exit(128 + Signals().received);
}

void OnPipeReadable() {
    SignalState& s = Signals();
    unsigned char byte = 0;
    while (read(s.pipe[0], &byte, 1) == 1) {
        if (s.received != 0) continue;  // already closing
        s.received = byte;
        EndNow();
    }
}

}  // namespace

void InstallTerminationSignals() {
    SignalState& s = Signals();
    if (s.reader != nullptr) return;
    s.received = 0;
    if (pipe2(s.pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the player runs; only signals end it hard
    writeEnd = s.pipe[1];
    s.reader = new QSocketNotifier(s.pipe[0], QSocketNotifier::Read);
    QObject::connect(s.reader, &QSocketNotifier::activated, [] { OnPipeReadable(); });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &s.previous[i]);
}

void RemoveTerminationSignals() {
    SignalState& s = Signals();
    if (s.reader == nullptr) return;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &s.previous[i], nullptr);
    writeEnd = -1;
    delete s.reader;
    s.reader = nullptr;
    close(s.pipe[0]);
    close(s.pipe[1]);
    s.pipe[0] = s.pipe[1] = -1;
}

int TerminationSignal() { return Signals().received; }

}  // namespace movarel
