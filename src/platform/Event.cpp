#include "platform/Event.h"

#include <utility>

#include "platform/Clock.h"

namespace korvix::platform {

Event::Event(ResetMode reset, bool initiallySignalled, std::string name)
    : manualReset_(reset == ResetMode::Manual), name_(std::move(name)), signalled_(initiallySignalled) {}

void Event::Set() {
    // Notify while holding the lock: a waiter commonly destroys the event as soon as its
    // wait returns, which must not happen while this call still touches the condition.
    std::lock_guard guard(mutex_);
    signalled_ = true;
    if (manualReset_) {
        condition_.notify_all();
    } else {
        condition_.notify_one();
    }
}

void Event::Reset() {
    std::lock_guard guard(mutex_);
    signalled_ = false;
}

bool Event::IsSet() const {
    std::lock_guard guard(mutex_);
    return signalled_;
}

bool Event::Wait(uint32_t timeoutMs) {
    if (timeoutMs == kInfinite) {
        WaitForever();
        return true;
    }
    std::unique_lock lock(mutex_);
    bool signalled = CurrentClock().WaitFor(lock, condition_, timeoutMs, [this] { return signalled_; });
    if (signalled && !manualReset_) signalled_ = false;
    return signalled;
}

void Event::WaitForever() {
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    if (!manualReset_) signalled_ = false;
}

}  // namespace korvix::platform
