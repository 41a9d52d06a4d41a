#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace korvix::platform {

namespace {
constexpr UINT kResolutionMs = 1;
}

uint32_t SystemTimerMs() { return timeGetTime(); }

TimerResolutionScope::TimerResolutionScope()
    : raised_(timeBeginPeriod(kResolutionMs) == TIMERR_NOERROR) {}

TimerResolutionScope::~TimerResolutionScope() {
    if (raised_) timeEndPeriod(kResolutionMs);
}

}  // namespace korvix::platform
