#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace korvix::platform {

// A Win32-style event. An auto-reset event releases one waiter per Set and resets itself;
// a manual-reset event stays signalled until Reset. The name is kept for diagnostics only:
// events are never shared by name, so two objects with the same name are independent.
//
// Windows builds use this same implementation rather than a kernel event: a timed wait
// runs on the library's clock (CurrentClock().WaitFor), which a test replaces with a
// ManualClock to run minute-long hardware sequences in milliseconds, and a kernel event
// cannot take part in that. No event is ever opened by name from another process, so none
// gets a system-wide name either (the per-core thread-end event stays unnamed there).
//
// Thread-safe: Set, Reset and Wait may be called from any thread.
class Event {
public:
    enum class ResetMode { Auto, Manual };

    explicit Event(ResetMode reset = ResetMode::Auto, bool initiallySignalled = false,
                   std::string name = {});
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is signalled or `timeoutMs` of the current Clock pass.
    // Returns true when signalled (and, for an auto-reset event, consumes the signal).
    bool Wait(uint32_t timeoutMs);
    // Waits without a limit.
    void WaitForever();

    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    const std::string &Name() const { return name_; }

private:
    const bool manualReset_;
    const std::string name_;
    mutable std::mutex mutex_;  // guards signalled_
    std::condition_variable condition_;
    bool signalled_;
};

}  // namespace korvix::platform
