#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "KorvixSdk_Tesslin.h"

namespace {
constexpr int kVersion = 34997537;  // 0x02160521
constexpr int kUnknownHandle = 0x5A5A5A5A;
}  // namespace

TEST(SystemLibrary, VersionWithAndWithoutHandles) {
    EXPECT_EQ(Korvix_GetDllVersion(), kVersion);
    int handle = Korvix_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Korvix_GetDllVersion(), kVersion);
    EXPECT_EQ(Korvix_Release(handle), 1);
    EXPECT_EQ(Korvix_GetDllVersion(), kVersion);
}

TEST(SystemLibrary, UnknownHandleGetsNoSessionValues) {
    EXPECT_EQ(Korvix_GetLastError(kUnknownHandle), 0);
    EXPECT_EQ(Korvix_Release(kUnknownHandle), 0);
    EXPECT_EQ(Korvix_ReceiveText(kUnknownHandle), 0);
    EXPECT_EQ(Korvix_GetConfigFilter(kUnknownHandle), 0);  // -1 only with a session
    EXPECT_EQ(Korvix_Fps(kUnknownHandle), 0);
    EXPECT_EQ(Korvix_GetLastError(0), 0);
}

TEST(SystemLibrary, ReleaseTwiceAndOtherHandlesKeepWorking) {
    int a = Korvix_Initialize(nullptr);
    int b = Korvix_Initialize(nullptr);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    ASSERT_NE(a, b);

    EXPECT_EQ(Korvix_Release(a), 1);
    EXPECT_EQ(Korvix_Release(a), 0);
    EXPECT_EQ(Korvix_SendText(a), 0);
    EXPECT_EQ(Korvix_GetConfigFilter(a), 0);  // the no-session value, not the session's -1

    EXPECT_EQ(Korvix_GetConfigFilter(b), -1);
    EXPECT_EQ(Korvix_GetLastError(b), CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_Release(b), 1);
}

TEST(SystemLibrary, HistoryKeepsTwentyCodesThenZero) {
    int handle = Korvix_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(Korvix_GetLastError(handle), 0);  // fresh session
    for (int i = 0; i < 21; ++i) EXPECT_EQ(Korvix_ReceiveText(handle), 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_NOT_SUPPORTED) << i;
    EXPECT_EQ(Korvix_GetLastError(handle), 0);
    EXPECT_EQ(Korvix_Release(handle), 1);
}

TEST(SystemLibrary, UnknownHandleLeavesEveryHistoryUntouched) {
    int a = Korvix_Initialize(nullptr);
    int b = Korvix_Initialize(nullptr);
    Korvix_SendText(a);
    Korvix_SendText(b);
    Korvix_GetConfigFilter(b);
    EXPECT_EQ(Korvix_SendText(kUnknownHandle), 0);
    EXPECT_EQ(Korvix_GetLastError(kUnknownHandle), 0);

    EXPECT_EQ(Korvix_GetLastError(a), CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(a), 0);
    EXPECT_EQ(Korvix_GetLastError(b), CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(b), CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(b), 0);
    Korvix_Release(a);
    Korvix_Release(b);
}

TEST(SystemLibrary, AnnouncedFailuresAreNotRecorded) {
    int handle = Korvix_Initialize(nullptr);
    EXPECT_EQ(Korvix_Fps(handle), 0);
    EXPECT_EQ(Korvix_GetHalfClock(handle), 0);
    EXPECT_EQ(Korvix_SetHalfClock(handle), 0);
    EXPECT_EQ(Korvix_SetCrossbar(handle), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), 0);
    Korvix_Release(handle);
}

// Several threads make, use and release handles at once; run under ThreadSanitizer too.
TEST(SystemLibrary, HandlesMadeUsedAndReleasedFromManyThreads) {
    // Each session sets up a device core and its frame images, so rounds are few.
    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    std::atomic<int> failures{0};
    int shared = Korvix_Initialize(nullptr);
    ASSERT_NE(shared, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                int handle = Korvix_Initialize(nullptr);
                if (handle == 0) ++failures;
                if (Korvix_SetConfigFilter(handle) != -1) ++failures;
                if (Korvix_GetLastError(handle) != CAMERR_NOT_SUPPORTED) ++failures;
                if (Korvix_GetLastError(handle) != 0) ++failures;
                Korvix_SendText(shared);  // everyone also works on one shared handle
                if (Korvix_Release(handle) != 1) ++failures;
                if (Korvix_Release(handle) != 0) ++failures;
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    // 40 pushes onto one history: it holds the newest 20.
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Korvix_GetLastError(shared), CAMERR_NOT_SUPPORTED);
    EXPECT_EQ(Korvix_GetLastError(shared), 0);
    EXPECT_EQ(Korvix_Release(shared), 1);
}

// A release racing with calls on the same handle never frees the session under them.
TEST(SystemLibrary, ReleaseWhileOtherThreadsCallOnTheHandle) {
    for (int round = 0; round < 10; ++round) {
        int handle = Korvix_Initialize(nullptr);
        std::atomic<bool> go{false};
        std::vector<std::thread> callers;
        for (int t = 0; t < 3; ++t) {
            callers.emplace_back([&] {
                while (!go) {
                }
                for (int i = 0; i < 100; ++i) {
                    int result = Korvix_GetConfigFilter(handle);
                    // -1 while the session lives, 0 once the handle is gone.
                    EXPECT_TRUE(result == -1 || result == 0);
                    Korvix_GetLastError(handle);
                }
            });
        }
        go = true;
        EXPECT_EQ(Korvix_Release(handle), 1);
        for (auto &caller : callers) caller.join();
    }
}
