#pragma once

// The set-up shared by the tests against the usbfs emulation: the simulator configured with
// a camera list whose first camera the test serves over usbfs (its twin stays behind the
// simulator's own port), an empty umockdev testbed, and everything undone afterwards. The
// tests skip when umockdev's preload library is not loaded.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "sim/Simulator.h"
#include "usbfs/UsbfsTestbed.h"

namespace korvix::test {

class UsbfsTwinsTest : public ::testing::Test {
  protected:
    explicit UsbfsTwinsTest(const char *cameraList) : cameraList_(cameraList) {}

    void SetUp() override {
        if (!UsbfsTestbed::PreloadActive()) {
            GTEST_SKIP() << "umockdev's preload library is not loaded; ctest runs this test "
                            "through run-under-umockdev";
        }
        unsetenv("KORVIX_SIMULATE");
        std::string error;
        ASSERT_TRUE(sim::Simulator::Instance().Configure(cameraList_, &error)) << error;
        testbed_ = std::make_unique<UsbfsTestbed>();
    }

    void TearDown() override {
        testbed_.reset();
        sim::Simulator::Instance().Reset();
        unsetenv("KORVIX_SIMULATE");
    }

    const char *cameraList_;
    std::unique_ptr<UsbfsTestbed> testbed_;
};

}  // namespace korvix::test
