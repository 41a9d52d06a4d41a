#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "KorvixSdk_Tesslin.h"

namespace korvix::test {

// Collects the messages the library posts, for the lifetime of the object: on Linux it
// registers itself as the message handler, on Windows it owns the windows they go to. A frame message's record is copied inside the
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

    MessageInbox();
    ~MessageInbox();
    MessageInbox(const MessageInbox &) = delete;
    MessageInbox &operator=(const MessageInbox &) = delete;

    // The window to hand to the library for messages this inbox collects, named by `tag`:
    // on Linux the tag itself (the handler sees every window), on Windows a message-only
    // window of the inbox's own thread, made on first use. The same tag gives the same window.
    KorvixWindow Window(uintptr_t tag);
    // Whether messages posted to no window reach the inbox: on Linux the handler sees them;
    // on Windows a message to no window is dropped.
    static bool SeesMessagesToNoWindow();

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

    // Records one delivered message; called on the thread that delivers them.
    void Deliver(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam) {
        Message m{window, message, wParam, lParam, {}};
        if (message == WM_CAMERA_FRAME && wParam != 0) {
            m.info = *reinterpret_cast<const KorvixFrameInfo *>(wParam);
        }
        std::lock_guard guard(mutex_);
        messages_.push_back(m);
        if (message == WM_CAMERA_FRAME && onFrame_) onFrame_(m);
        arrived_.notify_all();
    }

private:
    struct Delivery;  // how the system hands messages over (MessageInbox.cpp, win32/)
    std::unique_ptr<Delivery> delivery_;

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
    std::function<void(const Message &)> onFrame_;
};

}  // namespace korvix::test
