#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "controller/FakeCamera.h"
#include "controller/KorCy3Cam.h"

namespace korvix::controller::test {

// A controller over one fake camera (product 0x3260), enumerated and selected.
class ControllerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        camera = std::make_shared<FakeCamera>();
        camera->listed = {FakePath(0x3260, 1)};
        camera->present = {FakePath(0x3260, 1)};
        controller = std::make_unique<CKorCy3Cam>(MakeFakePort(camera), nullptr);
        ASSERT_EQ(controller->EnumerateDevices(), 1);
        ASSERT_EQ(controller->SelectDevice(0), 1);
    }

    std::shared_ptr<FakeCamera> camera;
    std::unique_ptr<CKorCy3Cam> controller;
};

}  // namespace korvix::controller::test
