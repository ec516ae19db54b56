#include "shell/Signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UserMessages.h"

namespace movarel {

namespace {

// A signal handler reaches nothing but file-scope state, so the pipe's write
// end is kept here, as a plain int the handler only reads.
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
void EndNow(int signal) {
    SetMessageBoxHandler(nullptr);
    QCoreApplication::exit(128 + signal);
}

}  // namespace

TerminationSignals::TerminationSignals() {
    if (pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the player runs; only signals end it hard
    writeEnd = pipe[1];
    reader = new QSocketNotifier(pipe[0], QSocketNotifier::Read);
    QObject::connect(reader, &QSocketNotifier::activated, [this] { OnPipeReadable(); });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

void TerminationSignals::OnPipeReadable() {
    unsigned char byte = 0;
    while (read(pipe[0], &byte, 1) == 1) {
        if (received != 0) continue;  // already closing
        received = byte;
        EndNow(received);
    }
}

void TerminationSignals::Remove() {
    if (reader == nullptr) return;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
    writeEnd = -1;
    delete reader;
    reader = nullptr;
    close(pipe[0]);
    close(pipe[1]);
    pipe[0] = pipe[1] = -1;
}

}  // namespace movarel
