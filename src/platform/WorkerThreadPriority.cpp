#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include "platform/WorkerThread.h"

namespace korvix::platform {

// Real-time scheduling for time-critical work, a lower nice value for above-normal work.
// Either needs privileges the process may not have; that is fine.
void ApplyThreadPriority(ThreadPriority priority) {
    if (priority == ThreadPriority::TimeCritical) {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) return;
    }
    if (priority != ThreadPriority::Normal) {
        // On Linux a nice value set through setpriority(PRIO_PROCESS, 0) affects only the
        // calling thread.
        (void)setpriority(PRIO_PROCESS, 0, -5);
    }
}

}  // namespace korvix::platform
