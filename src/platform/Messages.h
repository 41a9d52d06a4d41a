#pragma once

#include <cstdint>

namespace korvix::platform {

// Window messages to the application.
//
// Windows: PostMessage is PostMessageA to the window handle; the system's message queue of
// the window's thread delivers it, so a message counts as handled as soon as it is posted
// (MessageHandled and WaitMessageHandled answer true, FlushMessages returns at once) and
// there is no message handler to register. A posting that the system refuses (a null or
// destroyed window) yields ticket 0. Files of the Windows backend that include <windows.h>
// must #undef its PostMessage macro before they use this one.
//
// Linux: the library posts (window, message, wParam, lParam) records to a process-wide
// FIFO; one dispatcher thread owned by the library hands them, in posting order, to the
// handler the application registered with Korvix_SetMessageHandler. Messages posted while
// no handler is registered are dropped.

// Posts one message and returns at once; never blocks on its receiver. Returns the
// message's ticket, a number that grows with every posted message, or 0 when the message
// was dropped (Linux: no handler is registered; Windows: the system refused it).
// Thread-safe.
uint64_t PostMessage(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam);

// True once the message of `ticket` (and so every message queued before it) has been
// delivered or dropped; ticket 0 is always handled. Thread-safe.
bool MessageHandled(uint64_t ticket);

// Waits until the message of `ticket` has been delivered or dropped. On the dispatcher
// thread (inside the handler) it cannot wait and returns MessageHandled(ticket) at once.
// Thread-safe.
bool WaitMessageHandled(uint64_t ticket);

// Waits until every message posted before the call has been delivered or dropped.
// For tests and orderly shutdown; must not be called from inside the handler.
void FlushMessages();

#if !defined(_WIN32)
using MessageHandler = void (*)(void *window, unsigned int message, uintptr_t wParam,
                                intptr_t lParam, void *context);

// Registers `handler` (null stops delivery and drops what is queued). When it returns, no
// call of the previous handler is running any more, unless it was called from inside the
// handler itself. Thread-safe.
void SetMessageHandler(MessageHandler handler, void *context);
#endif

}  // namespace korvix::platform
