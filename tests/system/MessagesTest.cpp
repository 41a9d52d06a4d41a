#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "KorvixSdk_Tesslin.h"

namespace {

struct Message {
    void *window;
    unsigned int message;
    uintptr_t wParam;
    intptr_t lParam;
};

class Inbox {
public:
    static void Handler(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam,
                        void *context) {
        auto *inbox = static_cast<Inbox *>(context);
        std::lock_guard guard(inbox->mutex_);
        inbox->messages_.push_back({window, message, wParam, lParam});
        inbox->arrived_.notify_all();
    }

    // Waits (bounded) until `count` messages have arrived and returns what is there.
    std::vector<Message> WaitFor(size_t count) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return messages_.size() >= count; });
        return messages_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Message> messages_;
};

class SystemMessages : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Korvix_SetMessageHandler(&Inbox::Handler, &inbox_), 1); }
    void TearDown() override { Korvix_SetMessageHandler(nullptr, nullptr); }
    Inbox inbox_;
};

}  // namespace

TEST_F(SystemMessages, RecordedFailurePostsCodeToNotifyWindow) {
    auto *window = reinterpret_cast<KorvixWindow>(uintptr_t{0x4400017});
    int handle = Korvix_Initialize(window);
    ASSERT_NE(handle, 0);
    Korvix_ReceiveText(handle);
    std::vector<Message> messages = inbox_.WaitFor(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, window);
    EXPECT_EQ(messages[0].message, unsigned{WM_CAMERA_ERROR});
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NOT_SUPPORTED);
    Korvix_Release(handle);
}

TEST_F(SystemMessages, RecordedFailureWithoutWindowPostsNothing) {
    int handle = Korvix_Initialize(nullptr);
    Korvix_ReceiveText(handle);  // recorded, not posted: no window
    Korvix_Fps(handle);          // posted always, even without a window
    std::vector<Message> messages = inbox_.WaitFor(1);
    ASSERT_EQ(messages.size(), 1u);  // messages arrive in posting order: only the second
    EXPECT_EQ(messages[0].window, nullptr);
    EXPECT_EQ(messages[0].message, unsigned{WM_CAMERA_ERROR});
    EXPECT_EQ(messages[0].lParam, CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NOT_SUPPORTED);  // the recorded one only
    EXPECT_EQ(Korvix_GetLastError(handle), 0);
    Korvix_Release(handle);
}

TEST_F(SystemMessages, PostOnlyFailureReachesWindowAndHistoryStaysEmpty) {
    auto *window = reinterpret_cast<KorvixWindow>(uintptr_t{0x99});
    int handle = Korvix_Initialize(window);
    Korvix_SetCrossbar(handle);
    std::vector<Message> messages = inbox_.WaitFor(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, window);
    EXPECT_EQ(messages[0].lParam, CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(handle), 0);
    Korvix_Release(handle);
}
