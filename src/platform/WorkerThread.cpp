#include "platform/WorkerThread.h"

#include <system_error>
#include <utility>

namespace korvix::platform {

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body, ThreadPriority priority) {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([body = std::move(body), priority] {
            ApplyThreadPriority(priority);
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
