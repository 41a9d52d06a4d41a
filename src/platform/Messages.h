#pragma once

#include <cstdint>

namespace korvix::platform {

// Window messages on Linux. The library posts (window, message, wParam, lParam) records to
// a process-wide FIFO; one dispatcher thread owned by the library hands them, in posting
// order, to the handler the application registered with Korvix_SetMessageHandler.
// Messages posted while no handler is registered are dropped.

using MessageHandler = void (*)(void *window, unsigned int message, uintptr_t wParam,
                                intptr_t lParam, void *context);

// Queues one message and returns at once; never blocks on the handler. Returns the
// message's ticket, a number that grows with every queued message, or 0 when the message
// was dropped because no handler is registered. Thread-safe.
uint64_t PostMessage(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam);

// True once the message of `ticket` (and so every message queued before it) has been
// delivered or dropped; ticket 0 is always handled. Thread-safe.
bool MessageHandled(uint64_t ticket);

// Waits until the message of `ticket` has been delivered or dropped. On the dispatcher
// thread (inside the handler) it cannot wait and returns MessageHandled(ticket) at once.
// Thread-safe.
bool WaitMessageHandled(uint64_t ticket);

// Registers `handler` (null stops delivery and drops what is queued). When it returns, no
// call of the previous handler is running any more, unless it was called from inside the
// handler itself. Thread-safe.
void SetMessageHandler(MessageHandler handler, void *context);

// Waits until every message posted before the call has been delivered or dropped.
// For tests and orderly shutdown; must not be called from inside the handler.
void FlushMessages();

}  // namespace korvix::platform
