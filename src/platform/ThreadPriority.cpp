#include "platform/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace movarel {

bool LowerThisThreadToBackground() {
    // On Linux a nice value belongs to the thread named by its id, not to
    // the whole process. 10 leaves the thread about a tenth of a core that
    // a normal thread also wants, and all of an idle one.
    constexpr int kBackgroundNice = 10;
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, thread, kBackgroundNice) == 0;
}

void YieldToWaitingThreads() { ::sched_yield(); }

}  // namespace movarel
