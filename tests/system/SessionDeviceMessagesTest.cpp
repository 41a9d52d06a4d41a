#include "MessageInbox.h"
#include "SimulatedCameras.h"

// Plugging and unplugging simulated cameras, announced to a session's window. On Windows the
// system itself sends WM_DEVICECHANGE with its broadcast record, for real devices only, so
// these announcements are the Linux library's.

namespace korvix::test {
namespace {

using SystemSessionDevices = SimulatedCamerasTest;

TEST_F(SystemSessionDevices, PlugAndUnplugReachTheNotifyWindow) {
    constexpr unsigned kDeviceChange = 0x0219;
    constexpr uintptr_t kArrival = 0x8000;
    constexpr uintptr_t kRemoveComplete = 0x8004;
    MessageInbox inbox;
    UseCameras("imx990,imx990");
    KorvixWindow window = inbox.Window(0x7700);
    NewHandle(window);
    NewHandle(nullptr);  // a session without a window announces nothing
    auto changes = [&](size_t count) {
        return inbox.WaitUntil([&](const std::vector<MessageInbox::Message> &all) {
            size_t seen = 0;
            for (const auto &m : all) seen += m.message == kDeviceChange;
            return seen >= count;
        });
    };
    ASSERT_TRUE(sim::Simulator::Instance().Unplug(1));
    changes(1);
    ASSERT_TRUE(sim::Simulator::Instance().Replug(1));
    std::vector<MessageInbox::Message> seen;
    for (const auto &m : changes(2)) {
        if (m.message == kDeviceChange) seen.push_back(m);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, window);
    EXPECT_EQ(seen[0].wParam, kRemoveComplete);
    EXPECT_EQ(seen[0].lParam, 0x3260);  // the camera's USB product id
    EXPECT_EQ(seen[1].wParam, kArrival);
    EXPECT_EQ(seen[1].lParam, 0x3260);
}

}  // namespace
}  // namespace korvix::test
