#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controller/DeviceTableSection.h"
#include "controller/FakeCamera.h"
#include "controller/KorCy3Cam.h"
#include "platform/SharedSection.h"
#include "support/ChildProcess.h"

namespace korvix::controller::test {
namespace {

std::unique_ptr<CKorCy3Cam> MakeController(std::shared_ptr<FakeCamera> camera) {
    return std::make_unique<CKorCy3Cam>(MakeFakePort(std::move(camera)), nullptr);
}

// Reads the shared section as another holder sees it.
SectionContent ReadSection(platform::SharedSection &section) {
    std::lock_guard lock(section);
    SectionContent content;
    DecodeSection(static_cast<const uint8_t *>(section.Data()), &content);
    return content;
}

TEST(ControllerEnumeration, TwoCamerasOfOneModelGetInstancesZeroAndOne) {
    auto camera = std::make_shared<FakeCamera>();
    camera->listed = {FakePath(0x3260, 1), FakePath(0x3370, 2), FakePath(0x3260, 3)};
    camera->present = {camera->listed.begin(), camera->listed.end()};
    auto controller = MakeController(camera);
    EXPECT_EQ(controller->TableRowCount(), 0);  // the first controller starts empty
    ASSERT_EQ(controller->EnumerateDevices(), 3);
    EXPECT_EQ(controller->TableRow(0).instance, 0);
    EXPECT_EQ(controller->TableRow(1).instance, 0);
    EXPECT_EQ(controller->TableRow(2).productId, 0x3260);
    EXPECT_EQ(controller->TableRow(2).instance, 1);
}

TEST(ControllerEnumeration, ReplugOfTheSamePathAddsNoRowAndUnpluggedRowsStay) {
    auto camera = std::make_shared<FakeCamera>();
    camera->listed = {FakePath(0x3260, 1)};
    camera->present = {FakePath(0x3260, 1)};
    auto controller = MakeController(camera);
    ASSERT_EQ(controller->EnumerateDevices(), 1);
    camera->present.clear();  // unplugged: not listed as openable, its row stays
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(controller->DeviceAvailable(0), 0);
    EXPECT_EQ(controller->SelectDevice(0), 0);
    camera->present = {FakePath(0x3260, 1)};  // plugged in again
    EXPECT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(controller->DeviceAvailable(0), 1);
    EXPECT_EQ(controller->SelectDevice(0), 1);
}

TEST(ControllerEnumeration, UnopenableDeviceIsNotTaken) {
    auto camera = std::make_shared<FakeCamera>();
    camera->listed = {FakePath(0x3260, 1), FakePath(0x3260, 2)};
    camera->present = {FakePath(0x3260, 2)};
    auto controller = MakeController(camera);
    ASSERT_EQ(controller->EnumerateDevices(), 1);
    EXPECT_EQ(std::string(controller->TableRow(0).path), FakePath(0x3260, 2));
    EXPECT_EQ(controller->TableRow(0).instance, 0);
}

TEST(ControllerEnumeration, FullTableTakesNoNewCameraAndStillReturnsThirtyTwo) {
    auto camera = std::make_shared<FakeCamera>();
    for (int i = 0; i < 32; ++i) camera->listed.push_back(FakePath(0x3260, i));
    camera->present = {camera->listed.begin(), camera->listed.end()};
    auto controller = MakeController(camera);
    ASSERT_EQ(controller->EnumerateDevices(), 32);
    camera->listed = {FakePath(0x3280, 99)};
    camera->present = {FakePath(0x3280, 99)};
    EXPECT_EQ(controller->EnumerateDevices(), 32);
    EXPECT_EQ(controller->TableRow(31).productId, 0x3260);
    EXPECT_EQ(controller->SelectDevice(32), 0);
    EXPECT_EQ(controller->OpenDevice(32, false), nullptr);
}

TEST(ControllerEnumeration, RowsAndSelectionOutOfRangeFail) {
    auto camera = std::make_shared<FakeCamera>();
    auto controller = MakeController(camera);
    EXPECT_EQ(controller->EnumerateDevices(), 0);
    EXPECT_EQ(controller->SelectDevice(0), 0);
    EXPECT_EQ(controller->SelectDevice(-1), 0);
    EXPECT_EQ(controller->TableRow(-1).instance, -1);
    EXPECT_EQ(controller->TableRow(40).instance, -1);
    char name[64] = "untouched";
    EXPECT_EQ(controller->GetDeviceName(0, name), 0);
    EXPECT_STREQ(name, "untouched");
}

TEST(ControllerSharedTable, ControllersOfOneProcessShareTheTableAndTheAttachCount) {
    auto section = platform::SharedSection::Open(kSectionName, kSectionSize);
    ASSERT_NE(section, nullptr);
    auto camera = std::make_shared<FakeCamera>();
    camera->listed = {FakePath(0x3260, 1)};
    camera->present = {FakePath(0x3260, 1)};
    {
        auto first = MakeController(camera);
        EXPECT_EQ(ReadSection(*section).attachCount, 1);
        ASSERT_EQ(first->EnumerateDevices(), 1);
        auto second = MakeController(std::make_shared<FakeCamera>());
        EXPECT_EQ(ReadSection(*section).attachCount, 2);
        EXPECT_EQ(second->TableRowCount(), 1);
        EXPECT_EQ(std::string(second->TableRow(0).path), FakePath(0x3260, 1));
        EXPECT_EQ(ReadSection(*section).table.count, 1);
    }
    EXPECT_EQ(ReadSection(*section).attachCount, 0);
    // With nobody attached, the next controller starts from an empty table.
    auto next = MakeController(std::make_shared<FakeCamera>());
    EXPECT_EQ(next->TableRowCount(), 0);
}

// The child half of the two-process test: started while the parent holds a controller
// with two rows, it must see them before enumerating anything itself.
TEST(ControllerSharedTableChild, ChildProcessSeesTheParentsRows) {
    if (!korvix::test::IsChildProcess()) GTEST_SKIP() << "runs as a child only";
    auto controller = MakeController(std::make_shared<FakeCamera>());
    ASSERT_EQ(controller->TableRowCount(), 2);
    EXPECT_EQ(std::string(controller->TableRow(0).path), FakePath(0x3260, 1));
    EXPECT_EQ(controller->TableRow(1).instance, 1);
    auto section = platform::SharedSection::Open(kSectionName, kSectionSize);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(ReadSection(*section).attachCount, 2);
}

TEST(ControllerSharedTable, SecondProcessSeesRowsAndLastDetachLeavesCountZero) {
    if (korvix::test::IsChildProcess()) GTEST_SKIP() << "parent only";
    // Holding the section keeps it alive after the controllers are gone, so its final
    // attach count can be read.
    auto section = platform::SharedSection::Open(kSectionName, kSectionSize);
    ASSERT_NE(section, nullptr);
    auto camera = std::make_shared<FakeCamera>();
    camera->listed = {FakePath(0x3260, 1), FakePath(0x3260, 2)};
    camera->present = {camera->listed.begin(), camera->listed.end()};
    auto controller = MakeController(camera);
    ASSERT_EQ(controller->EnumerateDevices(), 2);

    korvix::test::ChildProcess child("ControllerSharedTableChild.ChildProcessSeesTheParentsRows");
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(ReadSection(*section).attachCount, 1);  // the child detached
    controller.reset();
    EXPECT_EQ(ReadSection(*section).attachCount, 0);
    EXPECT_EQ(ReadSection(*section).table.count, 2);  // rows are never removed
}

}  // namespace
}  // namespace korvix::controller::test
