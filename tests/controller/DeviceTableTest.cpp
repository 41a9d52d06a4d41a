#include "controller/DeviceTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/DeviceTableSection.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::controller {
namespace {

using platform::usb::LoadLe16;
using platform::usb::LoadLe32;

const std::string kPathA =
    "\\\\?\\usb#vid_04b4&pid_3260#1&1#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
const std::string kPathB =
    "\\\\?\\usb#vid_04b4&pid_3260#1&2#{328184c5-93e6-49b7-94b8-2ada13aabb39}";

TEST(ControllerDeviceTable, IdsAreReadAtCharactersTwelveAndTwentyOne) {
    auto ids = ParseUsbIds(kPathA);
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(ids->vendorId, 0x04B4);
    EXPECT_EQ(ids->productId, 0x3260);
    auto upper = ParseUsbIds("\\\\?\\USB#VID_04B4&PID_33D0#X");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(upper->productId, 0x33D0);
    EXPECT_FALSE(ParseUsbIds("\\\\?\\usb#vid_04b4&pid_32").has_value());
    EXPECT_FALSE(ParseUsbIds("\\\\?\\usb#vid_04x4&pid_3260#").has_value());
}

TEST(ControllerDeviceTable, SecondCameraOfAModelGetsInstanceOne) {
    DeviceTable table;
    ResetDeviceTable(table);
    const std::string otherModel =
        "\\\\?\\usb#vid_04b4&pid_3280#1&3#{328184c5-93e6-49b7-94b8-2ada13aabb39}";
    EXPECT_TRUE(AddDeviceToTable(table, *ParseUsbIds(kPathA), kPathA));
    EXPECT_TRUE(AddDeviceToTable(table, *ParseUsbIds(otherModel), otherModel));
    EXPECT_TRUE(AddDeviceToTable(table, *ParseUsbIds(kPathB), kPathB));
    ASSERT_EQ(table.count, 3);
    EXPECT_EQ(table.rows[0].instance, 0);
    EXPECT_EQ(table.rows[1].instance, 0);
    EXPECT_EQ(table.rows[2].instance, 1);
    EXPECT_EQ(std::string(table.rows[2].path), kPathB);
}

TEST(ControllerDeviceTable, KnownPathIgnoringCaseAddsNoRow) {
    DeviceTable table;
    ResetDeviceTable(table);
    AddDeviceToTable(table, *ParseUsbIds(kPathA), kPathA);
    std::string upper = kPathA;
    for (char &c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(AddDeviceToTable(table, *ParseUsbIds(upper), upper));
    EXPECT_EQ(table.count, 1);
}

TEST(ControllerDeviceTable, FullTableTakesNoRowAndOverlongPathsAreRefused) {
    DeviceTable table;
    ResetDeviceTable(table);
    for (int i = 0; i < kDeviceTableRows; ++i) {
        std::string path = kPathA + std::to_string(i);
        ASSERT_TRUE(AddDeviceToTable(table, *ParseUsbIds(path), path));
    }
    EXPECT_EQ(table.rows[31].instance, 31);
    EXPECT_FALSE(AddDeviceToTable(table, *ParseUsbIds(kPathB), kPathB));
    EXPECT_EQ(table.count, 32);

    DeviceTable fresh;
    ResetDeviceTable(fresh);
    std::string overlong = kPathA + std::string(200, 'x');
    EXPECT_FALSE(AddDeviceToTable(fresh, *ParseUsbIds(overlong), overlong));
    std::string longest = kPathA + std::string(259 - kPathA.size(), 'x');
    EXPECT_TRUE(AddDeviceToTable(fresh, *ParseUsbIds(longest), longest));
}

TEST(ControllerDeviceTable, EmptyRowsHaveInstanceMinusOne) {
    DeviceTable table;
    table.rows[3].productId = 9;
    table.count = 4;
    ResetDeviceTable(table);
    EXPECT_EQ(table.count, 0);
    for (const DeviceTableRow &row : table.rows) {
        EXPECT_EQ(row.productId, 0);
        EXPECT_EQ(row.instance, -1);
        EXPECT_EQ(row.path[0], '\0');
    }
}

TEST(ControllerDeviceTable, SectionLayoutIsAttachCountRowsThenCount) {
    SectionContent content;
    ResetDeviceTable(content.table);
    content.attachCount = 2;
    AddDeviceToTable(content.table, *ParseUsbIds(kPathA), kPathA);
    AddDeviceToTable(content.table, *ParseUsbIds(kPathB), kPathB);
    std::vector<uint8_t> bytes(kSectionSize, 0xCC);
    EncodeSection(content, bytes.data());
    EXPECT_EQ(LoadLe32(bytes.data()), 2u);
    const uint8_t *row1 = bytes.data() + 4 + 268;
    EXPECT_EQ(LoadLe16(row1), 0x04B4);
    EXPECT_EQ(LoadLe16(row1 + 2), 0x3260);
    EXPECT_EQ(LoadLe32(row1 + 4), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(row1 + 8)), kPathB);
    EXPECT_EQ(LoadLe32(bytes.data() + 4 + 2 * 268 + 4), 0xFFFFFFFFu);  // empty row: -1
    EXPECT_EQ(LoadLe32(bytes.data() + 8580), 2u);

    SectionContent decoded;
    DecodeSection(bytes.data(), &decoded);
    EXPECT_EQ(decoded.attachCount, 2);
    EXPECT_EQ(decoded.table.count, 2);
    EXPECT_EQ(std::string(decoded.table.rows[1].path), kPathB);
}

TEST(ControllerDeviceTable, DecodingDistrustsAnotherProcessesCountAndPaths) {
    std::vector<uint8_t> bytes(kSectionSize, 'x');
    platform::usb::StoreLe32(bytes.data() + 8580, 1000);
    SectionContent decoded;
    DecodeSection(bytes.data(), &decoded);
    EXPECT_EQ(decoded.table.count, 32);
    EXPECT_EQ(std::string(decoded.table.rows[0].path).size(), kDevicePathSize - 1);
}

}  // namespace
}  // namespace korvix::controller
