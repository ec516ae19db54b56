#pragma once
// SIGINT, SIGTERM and SIGHUP end the player the way closing its window does:
// timer stopped, sound closed, segment files deleted, work directory removed,
// and at once, whatever boxes or dialogs are open.
// The handler only writes the signal number to a pipe; the GUI thread reads
// it and ends the event loops, since none of that is safe inside a handler.
namespace movarel {

// Installs the handlers and the pipe's reader on the GUI thread. Needs a
// QApplication. Call once before the start-up film is read, so a signal that
// arrives during a long load is kept and acted on when the loop runs.
void InstallTerminationSignals();
// Puts the previous handlers back and closes the pipe.
void RemoveTerminationSignals();
// The signal that asked the player to end, or 0.
int TerminationSignal();

}  // namespace movarel
