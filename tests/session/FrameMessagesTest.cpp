#include "session/FrameMessages.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Messages.h"

namespace korvix {
namespace {

// A handler that holds the dispatcher in its first call until released, and copies every
// frame record it is given.
struct HeldHandler {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    std::vector<KorvixFrameInfo> seen;

    static void Handle(void *, unsigned int, uintptr_t wParam, intptr_t, void *context) {
        auto *self = static_cast<HeldHandler *>(context);
        std::unique_lock lock(self->mutex);
        self->changed.wait(lock, [&] { return self->released; });
        if (wParam != 0) self->seen.push_back(*reinterpret_cast<const KorvixFrameInfo *>(wParam));
    }
};

TEST(SessionFrameMessages, ARecordIsNotRewrittenBeforeItsHandlerHadIt) {
    HeldHandler handler;
    platform::SetMessageHandler(&HeldHandler::Handle, &handler);
    FrameMessages messages;
    KorvixFrameInfo info{};
    for (size_t frame = 0; frame < FrameMessages::kRecords; ++frame) {
        info.width = static_cast<int32_t>(frame);
        ASSERT_TRUE(messages.PostFrame(nullptr, info)) << frame;
    }
    // Every record waits for the held handler: the next frame's message is left out.
    info.width = 99;
    EXPECT_FALSE(messages.PostFrame(nullptr, info));
    {
        std::lock_guard lock(handler.mutex);
        handler.released = true;
    }
    handler.changed.notify_all();
    messages.WaitHandled();
    ASSERT_EQ(handler.seen.size(), FrameMessages::kRecords);
    for (size_t frame = 0; frame < handler.seen.size(); ++frame) {
        EXPECT_EQ(handler.seen[frame].width, static_cast<int32_t>(frame));
    }
    info.width = 100;
    EXPECT_TRUE(messages.PostFrame(nullptr, info));
    messages.WaitHandled();
    EXPECT_EQ(handler.seen.back().width, 100);
    platform::SetMessageHandler(nullptr, nullptr);
}

TEST(SessionFrameMessages, WithoutAHandlerEveryRecordStaysFree) {
    platform::SetMessageHandler(nullptr, nullptr);
    FrameMessages messages;
    KorvixFrameInfo info{};
    for (size_t frame = 0; frame < 3 * FrameMessages::kRecords; ++frame) {
        ASSERT_TRUE(messages.PostFrame(nullptr, info));
    }
    messages.WaitHandled();  // dropped messages count as handled
}

}  // namespace
}  // namespace korvix
