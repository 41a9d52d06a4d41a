#include "platform/WorkerThread.h"

#include <windows.h>

namespace korvix::platform {

// Normal threads keep the priority they were created with; a refusal is ignored.
void ApplyThreadPriority(ThreadPriority priority) {
    switch (priority) {
        case ThreadPriority::TimeCritical:
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
            break;
        case ThreadPriority::AboveNormal:
            SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
            break;
        case ThreadPriority::Normal:
            break;
    }
}

}  // namespace korvix::platform
