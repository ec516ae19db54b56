#include "Interrupt.h"

#include <csignal>

namespace movarel::tool {
namespace {
// A signal handler can reach nothing but a flag of this type.
volatile std::sig_atomic_t g_requested = 0;
struct sigaction g_previous {};

void NoteInterrupt(int) { g_requested = 1; }
}  // namespace

InterruptWatch::InterruptWatch() {
    g_requested = 0;
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write blocked on a full pipe to ffmpeg returns, so the
    // request is seen even when ffmpeg has stopped reading.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &g_previous);
}

InterruptWatch::~InterruptWatch() { sigaction(SIGINT, &g_previous, nullptr); }

bool InterruptWatch::Requested() const { return g_requested != 0; }

}  // namespace movarel::tool
