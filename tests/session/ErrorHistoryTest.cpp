#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "session/ErrorHistory.h"

using korvix::ErrorHistory;

TEST(SessionErrorHistory, KeepsTwentyNewestFirstThenZero) {
    ErrorHistory history;
    EXPECT_EQ(history.Pop(), 0u);
    for (uint32_t code = 1; code <= 21; ++code) history.Push(code);
    for (uint32_t expected = 21; expected >= 2; --expected) EXPECT_EQ(history.Pop(), expected);
    EXPECT_EQ(history.Pop(), 0u);
    EXPECT_EQ(history.Pop(), 0u);
}

TEST(SessionErrorHistory, CodesPushedFromTwoThreadsAtOnceAreAllKept) {
    // Two workers push ten codes each at the same time; the history has room for all
    // twenty, so every code must come back exactly once.
    for (int round = 0; round < 200; ++round) {
        ErrorHistory history;
        std::atomic<int> ready{0};
        auto pushTen = [&](uint32_t first) {
            ++ready;
            while (ready < 2) {
            }
            for (uint32_t code = first; code < first + 10; ++code) history.Push(code);
        };
        std::thread a(pushTen, 1), b(pushTen, 11);
        a.join();
        b.join();
        std::vector<int> seen(21, 0);
        for (int i = 0; i < 20; ++i) {
            uint32_t code = history.Pop();
            ASSERT_GE(code, 1u);
            ASSERT_LE(code, 20u);
            ++seen[code];
        }
        EXPECT_EQ(history.Pop(), 0u);
        for (uint32_t code = 1; code <= 20; ++code) ASSERT_EQ(seen[code], 1) << "round " << round;
    }
}
