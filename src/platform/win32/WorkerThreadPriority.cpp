#include "platform/WorkerThread.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
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
