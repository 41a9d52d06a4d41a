#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CoreRecordingPort.h"
#include "controller/KorCy3Cam.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"
#include "support/TestEnvironment.h"

namespace korvix::core::test {

// Device-core tests against simulated cameras: configures the simulator (and
// KORVIX_SIMULATE, so the controller's driver port is the simulator's) and makes cores.
class CoreSimTest : public ::testing::Test {
  protected:
    void TearDown() override { sim::Simulator::Instance().Reset(); }

    void UseCameras(const std::string &cameraList) {
        korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", cameraList.c_str());
        std::string error;
        ASSERT_TRUE(sim::Simulator::Instance().Configure(cameraList, &error)) << error;
    }

    // A core for the product code with its controller, not opened.
    static std::unique_ptr<CKorvixUSB3T2SimpleSdk> MakeCore(int productCode) {
        auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
        core->SetProductCode(productCode);
        core->CreateController(nullptr, nullptr);
        return core;
    }

    // Gives `core` (of any core class, a test's own subclass too) the product code and its
    // controller and opens the given instance; fails the test when the open fails.
    static void OpenAs(CKorvixUSB3T2SimpleSdk &core, int productCode, int device = 0) {
        core.SetProductCode(productCode);
        core.CreateController(nullptr, nullptr);
        EXPECT_GT(core.CountDevices(productCode), device);
        EXPECT_NE(core.Open(device), 0) << "open of product 0x" << std::hex << productCode;
    }

    // A core opened on the given instance; fails the test when the open fails.
    static std::unique_ptr<CKorvixUSB3T2SimpleSdk> OpenCore(int productCode, int device = 0) {
        auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
        OpenAs(*core, productCode, device);
        return core;
    }

    // A core for the product code whose controller talks through a RecordingDriverPort on
    // the simulator; *recorder is set to the port (owned by the core's controller).
    static std::unique_ptr<CKorvixUSB3T2SimpleSdk> MakeRecordedCore(
        CoreSimTest *test, const std::string &cameraList, int productCode,
        RecordingDriverPort *&recorder) {
        test->UseCameras(cameraList);
        auto port =
            std::make_unique<RecordingDriverPort>(sim::CreateSimulatedDriverPort(cameraList.c_str()));
        recorder = port.get();
        auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
        core->SetProductCode(productCode);
        core->AdoptController(std::make_unique<controller::CKorCy3Cam>(std::move(port), nullptr));
        core->CountDevices(productCode);
        return core;
    }

    // WaitFrame until it reports a new frame (3) or a failure (1). A 2 can also mean that the
    // event was signalled for a frame the last copy already took, so it is waited past, up
    // to `attempts` times.
    static int WaitNewFrame(CKorvixU3T2Base &core, uint32_t ms = 5000, int attempts = 20) {
        int result = 2;
        for (int i = 0; i < attempts && result == 2; ++i) result = core.WaitFrame(ms);
        return result;
    }

    static sim::SimulatedCamera &Camera(size_t index = 0) {
        return *sim::Simulator::Instance().Camera(index);
    }

    // Requests of one bRequest, whichever direction the simulator logged them in.
    static size_t RequestCount(sim::SimulatedCamera &camera, uint8_t request) {
        return LogOf(camera, sim::LogTarget::Request, sim::LogAccess::Read, request).size() +
               LogOf(camera, sim::LogTarget::Request, sim::LogAccess::Write, request).size();
    }

    // Log entries of one target and access, optionally of one address.
    static std::vector<sim::LogEntry> LogOf(sim::SimulatedCamera &camera, sim::LogTarget target,
                                            sim::LogAccess access, int address = -1) {
        std::vector<sim::LogEntry> matching;
        for (const sim::LogEntry &entry : camera.Log()) {
            if (entry.target == target && entry.access == access &&
                (address < 0 || entry.address == address)) {
                matching.push_back(entry);
            }
        }
        return matching;
    }
};

}  // namespace korvix::core::test
