#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "KorvixSdk_Tesslin.h"
#include "sim/Simulator.h"
#include "support/TestEnvironment.h"

namespace korvix::test {

// End-to-end tests through the public C functions against simulated cameras. The test
// links the exported functions directly (not the shared library), so it shares the one
// process-wide simulator with them and can unplug cameras or fire triggers.
class SimulatedCamerasTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (int handle : handles_) Korvix_Release(handle);
        sim::Simulator::Instance().Reset();
    }

    // Plugs in the cameras of a KORVIX_SIMULATE list ("" for none).
    static void UseCameras(const std::string &list) {
        korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", list.c_str());
        std::string error;
        ASSERT_TRUE(sim::Simulator::Instance().Configure(list, &error)) << error;
    }

    // A handle released at the end of the test.
    int NewHandle(KorvixWindow notifyWindow = nullptr) {
        const int handle = Korvix_Initialize(notifyWindow);
        EXPECT_NE(handle, 0);
        handles_.push_back(handle);
        return handle;
    }

    // Releases a handle made elsewhere at the end of the test.
    void Track(int handle) { handles_.push_back(handle); }

    // Every recorded code, newest first.
    static std::vector<int> Errors(int handle) {
        std::vector<int> codes;
        for (int code = Korvix_GetLastError(handle); code != 0; code = Korvix_GetLastError(handle)) {
            codes.push_back(code);
        }
        return codes;
    }

    static sim::SimulatedCamera &Camera(size_t index = 0) {
        return *sim::Simulator::Instance().Camera(index);
    }

  private:
    std::vector<int> handles_;
};

}  // namespace korvix::test
