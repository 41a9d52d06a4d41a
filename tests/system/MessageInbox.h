#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "KorvixSdk_Tesslin.h"

namespace korvix::test {

// Collects the messages the library delivers, for the lifetime of the object (it
// registers itself as the message handler). A frame message's record is copied inside the
// handler: the record is only valid while the handler runs.
class MessageInbox {
public:
    struct Message {
        void *window;
        unsigned int message;
        uintptr_t wParam;
        intptr_t lParam;
        KorvixFrameInfo info;  // copy of *wParam for a delivered frame, zero otherwise
    };

    MessageInbox() { Korvix_SetMessageHandler(&MessageInbox::Handler, this); }
    ~MessageInbox() { Korvix_SetMessageHandler(nullptr, nullptr); }
    MessageInbox(const MessageInbox &) = delete;
    MessageInbox &operator=(const MessageInbox &) = delete;

    // Called inside the handler for every frame message, after it was recorded.
    void OnFrame(std::function<void(const Message &)> hook) {
        std::lock_guard guard(mutex_);
        onFrame_ = std::move(hook);
    }

    // Waits (bounded by 20 s) until `ready(messages)` holds; returns the messages then.
    std::vector<Message> WaitUntil(const std::function<bool(const std::vector<Message> &)> &ready) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return ready(messages_); });
        return messages_;
    }

    // Waits for `count` messages of the kind `message` with lParam `lParam`.
    std::vector<Message> WaitFor(unsigned int message, intptr_t lParam, size_t count) {
        return WaitUntil([&](const std::vector<Message> &all) { return Count(all, message, lParam) >= count; });
    }

    std::vector<Message> Messages() {
        std::lock_guard guard(mutex_);
        return messages_;
    }

    static size_t Count(const std::vector<Message> &all, unsigned int message, intptr_t lParam) {
        size_t count = 0;
        for (const Message &m : all) count += m.message == message && m.lParam == lParam;
        return count;
    }

private:
    static void Handler(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                        void *context) {
        auto *inbox = static_cast<MessageInbox *>(context);
        Message m{window, message, wParam, lParam, {}};
        if (message == WM_CAMERA_FRAME && wParam != 0) {
            m.info = *reinterpret_cast<const KorvixFrameInfo *>(wParam);
        }
        std::lock_guard guard(inbox->mutex_);
        inbox->messages_.push_back(m);
        if (message == WM_CAMERA_FRAME && inbox->onFrame_) inbox->onFrame_(m);
        inbox->arrived_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
    std::function<void(const Message &)> onFrame_;
};

}  // namespace korvix::test
