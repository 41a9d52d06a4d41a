#include "platform/WorkerThread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <system_error>
#include <utility>

namespace korvix::platform {
namespace {

// Best effort: real-time scheduling for time-critical work, a lower nice value for
// above-normal work. Either needs privileges the process may not have; that is fine.
void ApplyPriority(ThreadPriority priority) {
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

}  // namespace

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body, ThreadPriority priority) {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([body = std::move(body), priority] {
            ApplyPriority(priority);
            body();
        });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void WorkerThread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool WorkerThread::IsCurrentThread() const {
    return thread_.get_id() == std::this_thread::get_id();
}

}  // namespace korvix::platform
