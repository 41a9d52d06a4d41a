#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>

#include "platform/Event.h"
#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb {
namespace {

// A file whose only job is to expose the default result query.
class QueryOnlyFile final : public DeviceFile {
  public:
    uint32_t IoControl(uint32_t, void *, uint32_t, void *, uint32_t, uint32_t *) override {
        return kIoInvalidFunction;
    }
    uint32_t SubmitIoControl(uint32_t, void *, uint32_t, void *, uint32_t, uint32_t *,
                             Overlapped &) override {
        return kIoInvalidFunction;
    }
};

TEST(PlatformUsbOverlapped, ResultQueryWithoutWaitReportsIncompleteWhilePending) {
    Event event;
    Overlapped overlapped(event);
    QueryOnlyFile file;
    overlapped.MarkPending();
    uint32_t bytes = 99;
    EXPECT_EQ(file.GetOverlappedResult(overlapped, &bytes, false), kIoIncomplete);
    EXPECT_FALSE(event.IsSet());

    overlapped.Complete(kIoSuccess, 512);
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(file.GetOverlappedResult(overlapped, &bytes, false), kIoSuccess);
    EXPECT_EQ(bytes, 512u);
}

TEST(PlatformUsbOverlapped, ResultQueryWithWaitBlocksUntilAnotherThreadCompletes) {
    Event event;
    Overlapped overlapped(event);
    QueryOnlyFile file;
    overlapped.MarkPending();
    std::thread completer([&] { overlapped.Complete(kIoOperationAborted, 64); });
    uint32_t bytes = 99;
    EXPECT_EQ(file.GetOverlappedResult(overlapped, &bytes, true), kIoOperationAborted);
    EXPECT_EQ(bytes, 0u);  // a failed operation transferred nothing
    completer.join();
}

TEST(PlatformUsbOverlapped, ResultStaysAvailableAfterTheCallerConsumedTheEvent) {
    Event event;
    Overlapped overlapped(event);
    QueryOnlyFile file;
    overlapped.MarkPending();
    overlapped.Complete(kIoSuccess, 7);
    ASSERT_TRUE(event.Wait(0));
    uint32_t bytes = 0;
    EXPECT_EQ(file.GetOverlappedResult(overlapped, &bytes, true), kIoSuccess);
    EXPECT_EQ(bytes, 7u);
}

}  // namespace
}  // namespace korvix::platform::usb
