#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "SessionAcquisitionFixture.h"

// Through the Linux message handler, which tells the library when a frame's message has been
// handled: the application's buffer stays as it was while a handler runs.

namespace korvix::test {
namespace {

// A handler that keeps the first frame's handler running until the test releases it,
// copying the application's buffer as each of the first two frames' handlers find it.
// Registered for its lifetime; the end releases a held handler first.
struct HeldFrameHandler {
    HeldFrameHandler(const uint8_t *pixels, size_t bytes) : buffer(pixels), frameBytes(bytes) {
        Korvix_SetMessageHandler(&HeldFrameHandler::Handle, this);
    }
    ~HeldFrameHandler() {
        Release();
        Korvix_SetMessageHandler(nullptr, nullptr);
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    const uint8_t *const buffer;
    const size_t frameBytes;
    bool released = false;
    std::vector<std::vector<uint8_t>> seen;  // the buffer in the first two handlers

    static void Handle(void *, unsigned int message, uintptr_t, intptr_t lParam, void *context) {
        auto *self = static_cast<HeldFrameHandler *>(context);
        if (message != WM_CAMERA_FRAME || lParam != 0) return;
        std::unique_lock lock(self->mutex);
        if (self->seen.size() >= 2) return;
        self->seen.emplace_back(self->buffer, self->buffer + self->frameBytes);
        self->changed.notify_all();
        self->changed.wait(lock, [&] { return self->released; });
    }
};

TEST_F(SystemSessionAcquisition, CallbackBufferIsNotRewrittenWhileAHandlerMayReadIt) {
    constexpr size_t kFrameBytes = 1280 * 1024;
    HeldFrameHandler handler(buffer_.data(), kFrameBytes);
    const int handle = OpenCamera("imx990");  // a moving scene with noise: no two frames alike
    ASSERT_EQ(Korvix_CallBackPreview(handle, kFrameWindow, buffer_.data(),
                                     static_cast<int>(buffer_.size()), 1),
              1);
    std::vector<uint8_t> first;
    {
        std::unique_lock lock(handler.mutex);
        ASSERT_TRUE(handler.changed.wait_for(lock, std::chrono::seconds(20),
                                             [&] { return !handler.seen.empty(); }));
        first = handler.seen[0];
    }
    // While the first handler runs, the worker goes on with newer frames. Korvix_GetImage
    // waits for a frame's pass to end (copy into the buffer included), so once it returns a
    // newer picture, that frame has had its chance to be written into the buffer.
    std::vector<uint8_t> newest(kFrameBytes);
    for (int attempt = 0; attempt < 4000; ++attempt) {
        ASSERT_EQ(Korvix_GetImage(handle, newest.data(), static_cast<int>(kFrameBytes), 1), 1);
        if (newest != first) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(newest, first);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer_.begin()));

    handler.Release();
    {
        std::unique_lock lock(handler.mutex);
        // Frames reach the buffer again once the handler has returned.
        ASSERT_TRUE(handler.changed.wait_for(lock, std::chrono::seconds(20),
                                             [&] { return handler.seen.size() == 2; }));
        EXPECT_NE(handler.seen[1], first);
    }
    EXPECT_EQ(Korvix_StopPreview(handle), 1);
}

}  // namespace
}  // namespace korvix::test
