#pragma once
// Work that may take a core for seconds (a seek index's build) runs below
// the timer thread and the GUI, so a tick never waits for the core behind it.

namespace movarel {

// Lowers the calling thread's scheduling priority to that of background
// work. False when the system refused; the thread runs on as it was.
bool LowerThisThreadToBackground();

// Lets a thread waiting for this core have it now (background work calls it
// between pieces of about a tenth of a millisecond).
void YieldToWaitingThreads();

}  // namespace movarel
