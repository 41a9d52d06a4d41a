// The controller over the Win32 driver port and the kernel interfaces the system does have.
// No camera driver is installed here, but HID collections are device interfaces with paths
// of the USB shape, so the controller's enumeration, its opens and its refusal of a driver
// that does not speak the camera's records all run on the system's own objects.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "controller/KorCy3Cam.h"
#include "platform/usb/win32/Win32DriverPort.h"

namespace korvix::controller::test {
namespace {

constexpr platform::usb::Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

uint16_t HexAt(const std::string &path, size_t at) {
    return static_cast<uint16_t>(std::stoul(path.substr(at, 4), nullptr, 16));
}

TEST(ControllerWin32Port, SystemInterfacesFillTheTableWithTheIdsOfTheirPaths) {
    const std::vector<std::string> paths =
        platform::usb::win32::CreateWin32DriverPort()->EnumerateInterfaces(kHidInterfaceGuid);
    if (paths.empty()) GTEST_SKIP() << "no HID collection on this machine";
    CKorCy3Cam controller(platform::usb::win32::CreateWin32DriverPort(), &kHidInterfaceGuid);
    const int rows = static_cast<int>(std::min<size_t>(paths.size(), kDeviceTableRows));
    ASSERT_EQ(controller.EnumerateDevices(), rows);
    for (int row = 0; row < rows; ++row) {
        const std::string &path = paths[static_cast<size_t>(row)];
        SCOPED_TRACE(path);
        EXPECT_EQ(std::string(controller.TableRow(row).path), path);
        EXPECT_EQ(controller.TableRow(row).vendorId, HexAt(path, 12));
        EXPECT_EQ(controller.TableRow(row).productId, HexAt(path, 21));
    }
    EXPECT_EQ(controller.EnumerateDevices(), rows);  // the same paths add no row

    ASSERT_EQ(controller.SelectDevice(0), 1);
    // The HID driver refuses the camera's control request; nothing is copied out.
    uint8_t block[64];
    std::memset(block, 0xA5, sizeof(block));
    EXPECT_EQ(controller.ReadInfoBlock(block), 0);
    EXPECT_TRUE(std::all_of(block, block + sizeof(block), [](uint8_t b) { return b == 0xA5; }));
}

}  // namespace
}  // namespace korvix::controller::test
