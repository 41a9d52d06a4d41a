#pragma once

#include <functional>
#include <thread>

namespace korvix::platform {

// How urgently a worker should be scheduled. The hint is applied when the process is
// permitted to raise priorities; a refusal is ignored, never a failure.
enum class ThreadPriority { Normal, AboveNormal, TimeCritical };

// Applies `priority` to the calling thread, best effort. Each platform has its own
// (WorkerThreadPriority.cpp, win32/WorkerThreadPriority.cpp).
void ApplyThreadPriority(ThreadPriority priority);

// One joinable worker thread. Start runs `body` on a new thread; Join waits for it.
// The destructor joins a thread that is still running, so a worker never outlives the
// object that started it.
//
// Thread-bound: Start, Join and the destructor are called by the owning thread.
class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Returns false when a worker is already running or the thread cannot be created.
    bool Start(std::function<void()> body, ThreadPriority priority = ThreadPriority::Normal);
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    // True when called on this worker's own thread.
    bool IsCurrentThread() const;

private:
    std::thread thread_;
};

}  // namespace korvix::platform
