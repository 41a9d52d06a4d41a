#include "platform/Messages.h"

#include <windows.h>
#undef PostMessage

#include <atomic>

namespace korvix::platform {
namespace {
std::atomic<uint64_t> g_posted{0};
}

uint64_t PostMessage(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam) {
    // PostMessageA to no window would queue the message for the posting thread itself, a
    // worker with no message loop; the message is meant for a window, so it is dropped.
    if (window == nullptr) return 0;
    if (!PostMessageA(static_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam))) {
        return 0;
    }
    return g_posted.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The window's own message queue owns a posted message from here on.
bool MessageHandled(uint64_t) { return true; }

bool WaitMessageHandled(uint64_t) { return true; }

void FlushMessages() {}

}  // namespace korvix::platform
