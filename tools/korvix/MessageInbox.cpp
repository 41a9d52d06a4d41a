#include "MessageInbox.h"

#include <KorvixSdk_Tesslin.h>

namespace korvix::tool {

namespace {
// Two distinct values the handler recognises; the library only passes them back.
char notifyToken;
char frameToken;
}  // namespace

void *MessageInbox::NotifyWindow() { return &notifyToken; }
void *MessageInbox::FrameWindow() { return &frameToken; }

MessageInbox::MessageInbox() { Korvix_SetMessageHandler(&MessageInbox::Handle, this); }

// Once Korvix_SetMessageHandler(NULL) returns, the handler no longer runs, so the object
// may go away.
MessageInbox::~MessageInbox() { Korvix_SetMessageHandler(nullptr, nullptr); }

void MessageInbox::Handle(void *window, unsigned int message, uintptr_t wParam,
                          intptr_t lParam, void *context) {
    auto *inbox = static_cast<MessageInbox *>(context);
    {
        std::lock_guard lock(inbox->mutex_);
        FrameCounts &counts = inbox->counts_;
        if (message == WM_CAMERA_ERROR) {
            counts.lastPostedError = static_cast<int>(lParam);
            ++counts.postedErrors;
        } else if (message == WM_CAMERA_FRAME && window == &frameToken) {
            if (wParam != 0) {
                ++counts.frames;
                counts.frameRate10 = reinterpret_cast<const KorvixFrameInfo *>(wParam)->frameRate10;
            } else if (lParam == CAMERR_DEVICE_LOST) {
                ++counts.deviceLost;
            } else {
                ++counts.failedReads;
            }
        } else {
            return;
        }
    }
    inbox->changed_.notify_all();
}

FrameCounts MessageInbox::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

FrameCounts MessageInbox::WaitForNews(uint64_t seen, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return counts_.frames > seen || counts_.deviceLost > 0; });
    return counts_;
}

int MessageInbox::WaitForPostedError(uint64_t seenErrors, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    const bool came =
        changed_.wait_for(lock, timeout, [&] { return counts_.postedErrors > seenErrors; });
    return came ? counts_.lastPostedError : 0;
}

}  // namespace korvix::tool
