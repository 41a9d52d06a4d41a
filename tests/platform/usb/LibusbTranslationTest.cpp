#include "platform/usb/libusb/LibusbTranslation.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::platform::usb::libusb {
namespace {

TEST(PlatformUsbLibusb, PathHasTheInterfacePathShapeWithIdsAtTheirCharacters) {
    DeviceLocation location{0x04B4, 0x3260, 3, {1, 4}};
    std::string path = FormatDevicePath(location, kCameraInterfaceGuid);
    EXPECT_EQ(path, "\\\\?\\usb#vid_04b4&pid_3260#3&1.4#{328184c5-93e6-49b7-94b8-2ada13aabb39}");
    EXPECT_EQ(path.substr(12, 4), "04b4");
    EXPECT_EQ(path.substr(21, 4), "3260");
}

TEST(PlatformUsbLibusb, PathParsesBackIgnoringCase) {
    DeviceLocation location{0x04B4, 0x33D0, 12, {2, 1, 7}};
    std::string path = FormatDevicePath(location, kCameraInterfaceGuid);
    for (char &c : path) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    auto parsed = ParseDevicePath(path);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, location);
}

TEST(PlatformUsbLibusb, ForeignPathsAreRejected) {
    EXPECT_FALSE(ParseDevicePath("").has_value());
    EXPECT_FALSE(ParseDevicePath("\\\\?\\usb#vid_04b4&pid_3260#5&1234abcd&0&1#{x}").has_value());
    EXPECT_FALSE(ParseDevicePath("\\\\?\\usb#vid_04b4&pid_3260#3&#{x}").has_value());
    EXPECT_FALSE(ParseDevicePath("\\\\?\\usb#vid_04g4&pid_3260#3&1#{x}").has_value());
    EXPECT_FALSE(ParseDevicePath("\\\\?\\usb#vid_04b4&pid_3260#3&1.#{x}").has_value());
    EXPECT_FALSE(ParseDevicePath("\\\\?\\usb#vid_04b4&pid_3260#300&1#{x}").has_value());
}

TEST(PlatformUsbLibusb, VendorIdListAcceptsHexWithOrWithoutPrefix) {
    auto ids = ParseVendorIdList("04b4, 0x1234,FFFF");
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, (std::vector<uint16_t>{0x04B4, 0x1234, 0xFFFF}));
    EXPECT_FALSE(ParseVendorIdList("").has_value());
    EXPECT_FALSE(ParseVendorIdList("10000").has_value());
    EXPECT_FALSE(ParseVendorIdList("04b4,,1234").has_value());
    EXPECT_FALSE(ParseVendorIdList("camera").has_value());
}

TEST(PlatformUsbLibusb, TransferOutcomesBecomeDriverErrors) {
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_COMPLETED), kIoSuccess);
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_CANCELLED), kIoOperationAborted);
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_TIMED_OUT), kIoSemTimeout);
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_NO_DEVICE), kIoDeviceNotConnected);
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_STALL), kIoGenFailure);
    EXPECT_EQ(TransferStatusToIoError(LIBUSB_TRANSFER_OVERFLOW), kIoGenFailure);

    EXPECT_EQ(LibusbErrorToIoError(64), kIoSuccess);
    EXPECT_EQ(LibusbErrorToIoError(LIBUSB_ERROR_TIMEOUT), kIoSemTimeout);
    EXPECT_EQ(LibusbErrorToIoError(LIBUSB_ERROR_NO_DEVICE), kIoDeviceNotConnected);
    EXPECT_EQ(LibusbErrorToIoError(LIBUSB_ERROR_PIPE), kIoGenFailure);
}

TEST(PlatformUsbLibusb, OnlySuperSpeedLinksReportCodeFour) {
    EXPECT_EQ(LibusbSpeedToSpeedCode(LIBUSB_SPEED_SUPER), kSpeedSuper);
    EXPECT_EQ(LibusbSpeedToSpeedCode(LIBUSB_SPEED_SUPER_PLUS), kSpeedSuper);
    EXPECT_EQ(LibusbSpeedToSpeedCode(LIBUSB_SPEED_HIGH), kSpeedHigh);
    EXPECT_EQ(LibusbSpeedToSpeedCode(LIBUSB_SPEED_FULL), kSpeedFull);
    EXPECT_EQ(LibusbSpeedToSpeedCode(LIBUSB_SPEED_UNKNOWN), 0u);
}

TEST(PlatformUsbLibusb, GuidFormatsAndParses) {
    std::string text = FormatGuid(kCameraInterfaceGuid);
    EXPECT_EQ(text, "{328184c5-93e6-49b7-94b8-2ada13aabb39}");
    auto parsed = ParseGuid("{328184C5-93E6-49B7-94B8-2ADA13AABB39}");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, kCameraInterfaceGuid);
    EXPECT_FALSE(ParseGuid("328184C5-93E6-49B7-94B8-2ADA13AABB39").has_value());
    EXPECT_FALSE(ParseGuid("{328184C5-93E6-49B7-94B8-2ADA13AABBZ9}").has_value());
}

}  // namespace
}  // namespace korvix::platform::usb::libusb
