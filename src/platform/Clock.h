#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace korvix::platform {

// The time source of the whole library. Every tick read, sleep and timed wait goes
// through the current clock, so a test can install a ManualClock and run a sequence that
// sleeps for minutes (FPGA ready waits, trigger sequences, long exposures) in
// milliseconds of real time.
//
// Thread-safe: every operation may be called from any thread.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin; never goes backwards.
    virtual uint64_t NowMs() = 0;
    // Microseconds since the same origin, for measuring short transfers; a clock without a
    // finer resolution answers whole milliseconds.
    virtual uint64_t NowUs() { return NowMs() * 1000; }

    // Blocks the calling thread for `ms` milliseconds of this clock's time.
    virtual void SleepMs(uint32_t ms) = 0;

    // Waits on `condition` (with `lock` held on entry and on return) until `ready()`
    // holds or `ms` milliseconds of this clock's time have passed. Returns ready().
    virtual bool WaitFor(std::unique_lock<std::mutex> &lock, std::condition_variable &condition,
                         uint32_t ms, const std::function<bool()> &ready) = 0;
};

// The steady system clock.
class SystemClock final : public Clock {
public:
    uint64_t NowMs() override;
    uint64_t NowUs() override;
    void SleepMs(uint32_t ms) override;
    bool WaitFor(std::unique_lock<std::mutex> &lock, std::condition_variable &condition,
                 uint32_t ms, const std::function<bool()> &ready) override;
};

// A clock that only moves when told to. Sleeping advances it at once by the time slept;
// a timed wait whose condition does not already hold advances it by the whole timeout and
// reports the timeout without blocking. Use it only where no other thread is expected to
// satisfy a wait, for example single-threaded hardware sequences against the simulator.
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint64_t startMs = 1000) : nowMs_(startMs) {}

    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
    bool WaitFor(std::unique_lock<std::mutex> &lock, std::condition_variable &condition,
                 uint32_t ms, const std::function<bool()> &ready) override;

    void Advance(uint64_t ms);
    // Total time slept through SleepMs since construction, for tests that assert on the
    // pauses a sequence makes.
    uint64_t SleptMs() const;

private:
    mutable std::mutex mutex_;  // guards nowMs_, sleptMs_
    uint64_t nowMs_;
    uint64_t sleptMs_ = 0;
};

// The clock in force (the system clock unless a test has installed another).
Clock &CurrentClock();

// Installs `clock` for the lifetime of this object and restores the previous one after.
// Not nestable across threads: tests install a clock before they start threads.
class ScopedClockOverride {
public:
    explicit ScopedClockOverride(Clock &clock);
    ~ScopedClockOverride();
    ScopedClockOverride(const ScopedClockOverride &) = delete;
    ScopedClockOverride &operator=(const ScopedClockOverride &) = delete;

private:
    Clock *previous_;
};

// Milliseconds as a 32-bit value that wraps around after 49.7 days, the way the
// camera timing code expects tick counts to behave.
uint32_t TickCount();
// Microseconds of the current clock, for rates of transfers shorter than a tick.
uint64_t MicrosecondCount();
// The multimedia timer (timeGetTime on Windows, the steady clock on Linux) while the system
// clock is in force; under a test's clock, that clock's TickCount, so waits measured with
// it follow the test's time as every other wait does.
uint32_t TimeGetTime();
// The system's multimedia timer itself, whatever clock is in force.
uint32_t SystemTimerMs();
void SleepMs(uint32_t ms);

// Brackets short hardware waits in which a 1 ms timer resolution matters. Windows raises
// the system timer resolution to 1 ms for the lifetime of the scope (timeBeginPeriod /
// timeEndPeriod). Linux timers already have that resolution, so there the scope does nothing.
class TimerResolutionScope {
public:
#if defined(_WIN32)
    TimerResolutionScope();
    ~TimerResolutionScope();
#else
    TimerResolutionScope() = default;
#endif
    TimerResolutionScope(const TimerResolutionScope &) = delete;
    TimerResolutionScope &operator=(const TimerResolutionScope &) = delete;

#if defined(_WIN32)
private:
    bool raised_;  // whether timeBeginPeriod succeeded and so must be matched
#endif
};

}  // namespace korvix::platform
