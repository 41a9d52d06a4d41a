#include "session/FrameMessages.h"

#include "platform/Messages.h"

namespace korvix {

bool FrameMessages::PostFrame(KorvixWindow window, const KorvixFrameInfo &info) {
    std::lock_guard guard(lock_);
    for (size_t tried = 0; tried < kRecords; ++tried) {
        const size_t index = (next_ + tried) % kRecords;
        if (!platform::MessageHandled(tickets_[index])) continue;
        records_[index] = info;
        const uint64_t ticket = platform::PostMessage(
            window, WM_CAMERA_FRAME, reinterpret_cast<uintptr_t>(&records_[index]), 0);
        tickets_[index] = ticket;
        if (ticket != 0) lastTicket_ = lastFrameTicket_ = ticket;
        next_ = (index + 1) % kRecords;
        return true;
    }
    return false;
}

bool FrameMessages::FramePending() {
    std::lock_guard guard(lock_);
    return !platform::MessageHandled(lastFrameTicket_);
}

void FrameMessages::PostFailure(KorvixWindow window, int code) {
    const uint64_t ticket = platform::PostMessage(window, WM_CAMERA_FRAME, 0, code);
    std::lock_guard guard(lock_);
    if (ticket > lastTicket_) lastTicket_ = ticket;
}

void FrameMessages::WaitHandled() {
    uint64_t ticket = 0;
    {
        std::lock_guard guard(lock_);
        ticket = lastTicket_;
    }
    platform::WaitMessageHandled(ticket);
}

}  // namespace korvix
