// The Win32 driver port against the kernel drivers Windows (and Wine) do have. There is no
// camera driver here, but HID collections are device interfaces of the same kind: listed
// by SetupAPI under their interface GUID, with paths of the USB shape
// ("\\?\hid#vid_xxxx&pid_xxxx#..."), opened with CreateFileA and served by a kernel driver
// through DeviceIoControl. Their driver reports the vendor and product ids, which must be
// those in the path the port listed.

#include "platform/usb/win32/Win32DriverPort.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Event.h"

namespace korvix::platform::usb::win32 {
namespace {

constexpr Guid kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr uint32_t kIoctlHidGetCollectionInformation = 0xB01A8;

// The HID class driver's answer to kIoctlHidGetCollectionInformation.
struct HidCollectionInformation {
    uint32_t descriptorSize;
    uint8_t polled;
    uint8_t reserved;
    uint16_t vendorId;
    uint16_t productId;
    uint16_t versionNumber;
};
static_assert(sizeof(HidCollectionInformation) == 12);

uint16_t HexAt(const std::string &path, size_t at) {
    return static_cast<uint16_t>(std::stoul(path.substr(at, 4), nullptr, 16));
}

TEST(PlatformUsbWin32Port, ListsNoCameraWithoutItsDriverAndOpensNoMissingPath) {
    auto port = CreateWin32DriverPort();
    EXPECT_TRUE(port->EnumerateInterfaces(kCameraInterfaceGuid).empty());
    const std::string missing =
        "\\\\?\\usb#vid_04b4&pid_3260#5&1a2b3c4d&0&1#" + FormatGuid(kCameraInterfaceGuid);
    EXPECT_EQ(port->Open(missing, false), nullptr);
    EXPECT_EQ(port->Open(missing, true), nullptr);
}

TEST(PlatformUsbWin32Port, ListedInterfacesOpenAndTheirDriverAnswersSynchronouslyAndOverlapped) {
    auto port = CreateWin32DriverPort();
    const std::vector<std::string> paths = port->EnumerateInterfaces(kHidInterfaceGuid);
    if (paths.empty()) GTEST_SKIP() << "no HID collection on this machine";
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        ASSERT_EQ(path.rfind("\\\\?\\", 0), 0u);
        const uint16_t vendorId = HexAt(path, 12);
        const uint16_t productId = HexAt(path, 21);
        for (bool overlapped : {false, true}) {
            auto file = port->Open(path, overlapped);
            ASSERT_NE(file, nullptr);
            HidCollectionInformation info{};
            uint32_t returned = 0;
            ASSERT_EQ(file->IoControl(kIoctlHidGetCollectionInformation, nullptr, 0, &info,
                                      sizeof(info), &returned),
                      kIoSuccess);
            EXPECT_EQ(returned, sizeof(info));
            EXPECT_EQ(info.vendorId, vendorId);
            EXPECT_EQ(info.productId, productId);
        }

        auto file = port->Open(path, true);
        ASSERT_NE(file, nullptr);
        Event done;
        Overlapped overlapped(done);
        HidCollectionInformation info{};
        uint32_t returned = 0;
        const uint32_t submitted =
            file->SubmitIoControl(kIoctlHidGetCollectionInformation, nullptr, 0, &info,
                                  sizeof(info), &returned, overlapped);
        ASSERT_TRUE(submitted == kIoSuccess || submitted == kIoPending) << submitted;
        done.WaitForever();
        EXPECT_EQ(file->GetOverlappedResult(overlapped, &returned, false), kIoSuccess);
        EXPECT_EQ(returned, sizeof(info));
        EXPECT_EQ(info.vendorId, vendorId);
        EXPECT_EQ(info.productId, productId);
    }
}

TEST(PlatformUsbWin32Port, RequestsTheDriverRejectsFailAtOnce) {
    auto port = CreateWin32DriverPort();
    const std::vector<std::string> paths = port->EnumerateInterfaces(kHidInterfaceGuid);
    if (paths.empty()) GTEST_SKIP() << "no HID collection on this machine";
    // A camera's direct transfer sent to a device whose driver does not know it.
    uint8_t header[38] = {};
    uint8_t data[64] = {};
    uint32_t returned = 7;
    auto plain = port->Open(paths.front(), false);
    ASSERT_NE(plain, nullptr);
    EXPECT_NE(plain->IoControl(0x22004B, header, sizeof(header), data, sizeof(data), &returned),
              kIoSuccess);
    EXPECT_EQ(returned, 0u);

    Event done;
    Overlapped overlapped(done);
    EXPECT_EQ(plain->SubmitIoControl(0x22004B, header, sizeof(header), data, sizeof(data),
                                     &returned, overlapped),
              kIoInvalidHandle);
    auto file = port->Open(paths.front(), true);
    ASSERT_NE(file, nullptr);
    const uint32_t submitted = file->SubmitIoControl(0x22004B, header, sizeof(header), data,
                                                     sizeof(data), &returned, overlapped);
    EXPECT_NE(submitted, kIoSuccess);
    EXPECT_NE(submitted, kIoPending);
    EXPECT_FALSE(overlapped.IsPending());
    EXPECT_FALSE(done.IsSet());
}

}  // namespace
}  // namespace korvix::platform::usb::win32
