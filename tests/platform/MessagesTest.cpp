#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Messages.h"

using namespace korvix::platform;

namespace {

struct Received {
    void *window;
    unsigned int message;
    uintptr_t wParam;
    intptr_t lParam;
};

struct Inbox {
    std::mutex mutex;
    std::vector<Received> messages;
};

void Collect(void *window, unsigned int message, uintptr_t wParam, intptr_t lParam, void *context) {
    auto *inbox = static_cast<Inbox *>(context);
    std::lock_guard guard(inbox->mutex);
    inbox->messages.push_back({window, message, wParam, lParam});
}

}  // namespace

TEST(PlatformMessages, DeliversInPostingOrderOnDispatcherThread) {
    Inbox inbox;
    SetMessageHandler(Collect, &inbox);
    auto *window = reinterpret_cast<void *>(0x1234);
    for (int i = 0; i < 100; ++i) PostMessage(window, 0x8003, 0, i);
    FlushMessages();
    SetMessageHandler(nullptr, nullptr);

    ASSERT_EQ(inbox.messages.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(inbox.messages[i].window, window);
        EXPECT_EQ(inbox.messages[i].message, 0x8003u);
        EXPECT_EQ(inbox.messages[i].lParam, i);
    }
}

TEST(PlatformMessages, NothingIsDeliveredWithoutHandler) {
    Inbox inbox;
    PostMessage(nullptr, 0x8003, 0, 1);  // no handler yet: dropped
    SetMessageHandler(Collect, &inbox);
    PostMessage(nullptr, 0x8003, 0, 2);
    FlushMessages();
    SetMessageHandler(nullptr, nullptr);
    PostMessage(nullptr, 0x8003, 0, 3);  // handler removed: dropped
    FlushMessages();

    ASSERT_EQ(inbox.messages.size(), 1u);
    EXPECT_EQ(inbox.messages[0].lParam, 2);
}

TEST(PlatformMessages, PostsFromManyThreadsAreAllDeliveredOnce) {
    Inbox inbox;
    SetMessageHandler(Collect, &inbox);
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([t] {
            for (int i = 0; i < 250; ++i) PostMessage(nullptr, 0x8002, t, i);
        });
    }
    for (auto &poster : posters) poster.join();
    FlushMessages();
    SetMessageHandler(nullptr, nullptr);

    ASSERT_EQ(inbox.messages.size(), 1000u);
    // Per poster, the order is kept.
    std::vector<intptr_t> next(4, 0);
    for (const auto &message : inbox.messages) {
        EXPECT_EQ(message.lParam, next[message.wParam]);
        ++next[message.wParam];
    }
}

// A handler that unregisters itself while more messages wait behind the one it handles:
// those are dropped, and a flush afterwards still returns.
TEST(PlatformMessages, RemovingTheHandlerDropsQueuedMessagesAndFlushReturns) {
    struct Gate {
        std::promise<void> entered;
        std::shared_future<void> open;
        int calls = 0;
    };
    std::promise<void> opener;
    Gate gate{{}, opener.get_future().share()};
    auto handler = [](void *, unsigned int, uintptr_t, intptr_t, void *context) {
        auto *state = static_cast<Gate *>(context);
        ++state->calls;
        state->entered.set_value();
        state->open.wait();
        SetMessageHandler(nullptr, nullptr);
    };
    SetMessageHandler(handler, &gate);
    PostMessage(nullptr, 0x8003, 0, 1);
    gate.entered.get_future().wait();
    for (int i = 2; i <= 5; ++i) PostMessage(nullptr, 0x8003, 0, i);  // queued behind the first
    opener.set_value();
    FlushMessages();
    EXPECT_EQ(gate.calls, 1);
}
