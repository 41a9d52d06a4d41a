#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "session/Korvix.h"
#include "sim/Simulator.h"
#include "support/TestEnvironment.h"

namespace korvix::test {

// A session on simulated cameras, reached through its own operations (the settings that
// have no export yet are set through Settings()).
class SessionSimulatedTest : public ::testing::Test {
  protected:
    void TearDown() override {
        session_.reset();
        sim::Simulator::Instance().Reset();
    }

    // Plugs in the cameras of a KORVIX_SIMULATE list and makes an initialised session
    // without a preview window.
    CKorvix &StartSession(const std::string &list) {
        korvix::test::SetEnvironmentValue("KORVIX_SIMULATE", list.c_str());
        std::string error;
        EXPECT_TRUE(sim::Simulator::Instance().Configure(list, &error)) << error;
        session_ = std::make_unique<CKorvix>();
        EXPECT_EQ(session_->Initialize(nullptr), 1);
        EXPECT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        return *session_;
    }

    static sim::SimulatedCamera &Camera(size_t index = 0) {
        return *sim::Simulator::Instance().Camera(index);
    }

    std::unique_ptr<CKorvix> session_;
};

}  // namespace korvix::test
