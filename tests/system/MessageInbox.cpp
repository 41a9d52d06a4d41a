#include "system/MessageInbox.h"

namespace korvix::test {

// Linux: the library hands every message to the one registered handler.
struct MessageInbox::Delivery {
    static void Handler(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                        void *context) {
        static_cast<MessageInbox *>(context)->Deliver(window, message, wParam, lParam);
    }
};

MessageInbox::MessageInbox() { Korvix_SetMessageHandler(&Delivery::Handler, this); }

MessageInbox::~MessageInbox() { Korvix_SetMessageHandler(nullptr, nullptr); }

KorvixWindow MessageInbox::Window(uintptr_t tag) { return reinterpret_cast<KorvixWindow>(tag); }

bool MessageInbox::SeesMessagesToNoWindow() { return true; }

}  // namespace korvix::test
