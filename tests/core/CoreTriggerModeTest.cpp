#include <gtest/gtest.h>

#include "CoreSimFixture.h"
#include "sim/SimRegisterMap.h"

namespace korvix::core::test {
namespace {

using sim::LogAccess;
using sim::LogTarget;

class CoreTriggerMode : public CoreSimTest {};

// On an IMX992/993 head every mode but free running (0) takes the FPGA's frame counter
// afresh, so the frames of the new mode are counted from where the camera stands.
TEST_F(CoreTriggerMode, Imx992ModesOneToThreeResynchroniseTheFrameCounter) {
    UseCameras("imx992");
    auto core = OpenCore(0x3370);
    for (int mode : {1, 2, 3, 0}) {
        Camera().ClearLog();
        ASSERT_EQ(core->SetTriggerMode(mode, 1), 1) << "mode " << mode;
        const auto counterReads =
            LogOf(Camera(), LogTarget::Fpga, LogAccess::Read, sim::fpga::kFrameCounter);
        if (mode == 0) {
            EXPECT_TRUE(counterReads.empty());
            continue;
        }
        ASSERT_EQ(counterReads.size(), 1u) << "mode " << mode;
        EXPECT_EQ(core->LastFrameCounter(), static_cast<int>(counterReads[0].value))
            << "mode " << mode;
    }
}

}  // namespace
}  // namespace korvix::core::test
