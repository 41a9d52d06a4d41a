#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace korvix::tool {

// What the library's messages told the tool. The library calls the handler on a thread of
// its own; the tool's main thread reads the counts. Thread-safe.
struct FrameCounts {
    uint64_t frames = 0;        // WM_CAMERA_FRAME with a frame
    uint64_t failedReads = 0;   // WM_CAMERA_FRAME saying the frame could not be read
    uint64_t deviceLost = 0;    // WM_CAMERA_FRAME saying the camera was lost
    int frameRate10 = 0;        // the library's latest frame rate, frames per second x 10
    int lastPostedError = 0;    // the newest code of WM_CAMERA_ERROR (0 when none came)
    uint64_t postedErrors = 0;  // how many WM_CAMERA_ERROR came
};

class MessageInbox {
public:
    // The window values the tool hands to the library: notify window and frame window.
    static void *NotifyWindow();
    static void *FrameWindow();

    // Registers the handler with the library (Korvix_SetMessageHandler) for the life of
    // the object and unregisters it on destruction.
    MessageInbox();
    ~MessageInbox();
    MessageInbox(const MessageInbox &) = delete;
    MessageInbox &operator=(const MessageInbox &) = delete;

    FrameCounts Counts() const;
    // Waits until the frame count passes `seen` or something fails, at most `timeout`;
    // returns the counts then.
    FrameCounts WaitForNews(uint64_t seen, std::chrono::milliseconds timeout) const;
    // Waits at most `timeout` for a WM_CAMERA_ERROR after `seenErrors` of them; its code,
    // or 0. Errors the library only announces (without recording them) arrive this way.
    int WaitForPostedError(uint64_t seenErrors, std::chrono::milliseconds timeout) const;

private:
    static void Handle(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                       void *context);

    mutable std::mutex mutex_;  // guards counts_
    mutable std::condition_variable changed_;
    FrameCounts counts_;
};

}  // namespace korvix::tool
