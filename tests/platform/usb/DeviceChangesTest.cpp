// The callback registry behind the driver port's device arrival and removal announcements.

#include "platform/usb/DeviceChanges.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Event.h"

namespace korvix::platform::usb {
namespace {

using Seen = std::vector<std::pair<DeviceChange, std::string>>;

TEST(PlatformUsbDeviceChanges, EveryCallbackGetsEveryChangeInOrderUntilUnregistered) {
    DeviceChangeNotifier notifier;
    std::mutex mutex;
    Seen first, second;
    Event secondDone;
    const DeviceChangeToken a =
        notifier.Register([&](DeviceChange change, const std::string &path) {
            std::lock_guard lock(mutex);
            first.emplace_back(change, path);
        });
    const DeviceChangeToken b =
        notifier.Register([&](DeviceChange change, const std::string &path) {
            {
                std::lock_guard lock(mutex);
                second.emplace_back(change, path);
            }
            if (path == "c") secondDone.Set();
        });
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    notifier.Post(DeviceChange::Arrival, "a");
    notifier.Post(DeviceChange::Removal, "b");
    notifier.Unregister(a);
    notifier.Post(DeviceChange::Arrival, "c");
    ASSERT_TRUE(secondDone.Wait(10000));
    notifier.Unregister(b);

    std::lock_guard lock(mutex);
    const Seen all{
        {DeviceChange::Arrival, "a"}, {DeviceChange::Removal, "b"}, {DeviceChange::Arrival, "c"}};
    EXPECT_EQ(second, all);
    // The first callback never sees what was posted after its unregistration.
    ASSERT_LE(first.size(), 2u);
    EXPECT_EQ(first, Seen(all.begin(), all.begin() + static_cast<long>(first.size())));
}

TEST(PlatformUsbDeviceChanges, UnregisterWaitsForARunningCallback) {
    DeviceChangeNotifier notifier;
    Event entered, release;
    std::atomic<bool> finished{false};
    const DeviceChangeToken token = notifier.Register([&](DeviceChange, const std::string &) {
        entered.Set();
        release.Wait(10000);
        finished = true;
    });
    notifier.Post(DeviceChange::Arrival, "x");
    ASSERT_TRUE(entered.Wait(10000));
    std::atomic<bool> finishedWhenReturned{false};
    std::thread unregister([&] {
        notifier.Unregister(token);
        finishedWhenReturned = finished.load();
    });
    release.Set();
    unregister.join();
    EXPECT_TRUE(finishedWhenReturned);
}

TEST(PlatformUsbDeviceChanges, CallbackMayUnregisterItself) {
    DeviceChangeNotifier notifier;
    Event done;
    std::atomic<int> calls{0};
    DeviceChangeToken token = 0;
    std::mutex tokenLock;
    {
        std::lock_guard lock(tokenLock);
        token = notifier.Register([&](DeviceChange, const std::string &) {
            ++calls;
            std::lock_guard inner(tokenLock);
            notifier.Unregister(token);  // would wait for itself if it waited
        });
    }
    const DeviceChangeToken marker = notifier.Register([&](DeviceChange, const std::string &path) {
        if (path == "second") done.Set();
    });
    notifier.Post(DeviceChange::Arrival, "first");
    notifier.Post(DeviceChange::Arrival, "second");
    ASSERT_TRUE(done.Wait(10000));
    EXPECT_EQ(calls, 1);
    notifier.Unregister(marker);
}

}  // namespace
}  // namespace korvix::platform::usb
