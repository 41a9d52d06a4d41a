#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace korvix::platform {
namespace {

SystemClock g_systemClock;
std::atomic<Clock *> g_currentClock{&g_systemClock};

}  // namespace

uint64_t SystemClock::NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t SystemClock::NowUs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool SystemClock::WaitFor(std::unique_lock<std::mutex> &lock, std::condition_variable &condition,
                          uint32_t ms, const std::function<bool()> &ready) {
    return condition.wait_for(lock, std::chrono::milliseconds(ms), ready);
}

uint64_t ManualClock::NowMs() {
    std::lock_guard guard(mutex_);
    return nowMs_;
}

void ManualClock::SleepMs(uint32_t ms) {
    std::lock_guard guard(mutex_);
    nowMs_ += ms;
    sleptMs_ += ms;
}

bool ManualClock::WaitFor(std::unique_lock<std::mutex> &, std::condition_variable &, uint32_t ms,
                          const std::function<bool()> &ready) {
    if (ready()) return true;
    Advance(ms);
    return ready();
}

void ManualClock::Advance(uint64_t ms) {
    std::lock_guard guard(mutex_);
    nowMs_ += ms;
}

uint64_t ManualClock::SleptMs() const {
    std::lock_guard guard(mutex_);
    return sleptMs_;
}

Clock &CurrentClock() { return *g_currentClock.load(std::memory_order_acquire); }

ScopedClockOverride::ScopedClockOverride(Clock &clock)
    : previous_(g_currentClock.exchange(&clock, std::memory_order_acq_rel)) {}

ScopedClockOverride::~ScopedClockOverride() {
    g_currentClock.store(previous_, std::memory_order_release);
}

uint32_t TickCount() { return static_cast<uint32_t>(CurrentClock().NowMs()); }

uint64_t MicrosecondCount() { return CurrentClock().NowUs(); }

uint32_t TimeGetTime() {
    Clock &clock = CurrentClock();
    if (&clock == &g_systemClock) return SystemTimerMs();
    return static_cast<uint32_t>(clock.NowMs());
}

#if !defined(_WIN32)
// Windows reads timeGetTime instead (win32/MultimediaTimer.cpp).
uint32_t SystemTimerMs() { return static_cast<uint32_t>(g_systemClock.NowMs()); }
#endif

void SleepMs(uint32_t ms) { CurrentClock().SleepMs(ms); }

}  // namespace korvix::platform
