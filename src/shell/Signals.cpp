#include "shell/Signals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "shell/Commands.h"

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

// A modal box or dialog runs its own event loop inside some handler; closing
// the window under it would let that handler go on with the player half shut
// down. So the boxes are closed first, and the window once the loop that is
// left is the main one. A box that opens another is closed in turn; after a
// bounded number of rounds the window is closed regardless.
void CloseWhenNoModalLoop(int rounds) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && rounds > 0) {
        // A message box without an escape button ignores close; reject ends any dialog.
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
        QTimer::singleShot(20, [rounds] { CloseWhenNoModalLoop(rounds - 1); });
        return;
    }
    CloseMainWindow();
    QCoreApplication::exit(128 + Signals().received);
}

void OnPipeReadable() {
    SignalState& s = Signals();
    unsigned char byte = 0;
    while (read(s.pipe[0], &byte, 1) == 1) {
        if (s.received != 0) continue;  // already closing
        s.received = byte;
        CloseWhenNoModalLoop(100);
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
