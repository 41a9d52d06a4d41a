// The drivers end to end: through the real controller and the driver port into the
// simulated camera, whose register log and register values show what reached the sensor
// and the FPGA.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

#include "controller/KorCy3Cam.h"
#include "platform/Clock.h"
#include "platform/usb/DriverRecords.h"
#include "sensors/SensorIMX990.h"
#include "sensors/SensorIMX992.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"

namespace korvix::sensors {
namespace {

using sim::LogAccess;
using sim::LogEntry;
using sim::LogTarget;
using sim::Simulator;
using Writes = std::vector<std::pair<unsigned, unsigned>>;

class SensorsWithSimulator : public ::testing::Test {
  protected:
    void Open(const char *cameraList) {
        std::string error;
        ASSERT_TRUE(Simulator::Instance().Configure(cameraList, &error)) << error;
        camera = Simulator::Instance().Camera(0);
        controller =
            std::make_unique<controller::CKorCy3Cam>(sim::CreateSimulatedDriverPort(""), nullptr);
        ASSERT_GE(controller->EnumerateDevices(), 1);
        ASSERT_EQ(controller->SelectDevice(0), 1);
        camera->ClearLog();
    }

    void TearDown() override {
        controller.reset();
        Simulator::Instance().Reset();
    }

    // Sensor register writes in the camera's log, optionally only to some registers.
    Writes SensorWrites(const std::vector<unsigned> &only = {}) const {
        Writes writes;
        for (const LogEntry &e : camera->Log()) {
            if (e.target != LogTarget::Sensor || e.access != LogAccess::Write) continue;
            if (!only.empty() && std::find(only.begin(), only.end(), e.address) == only.end()) {
                continue;
            }
            writes.emplace_back(e.address, e.value);
        }
        return writes;
    }

    std::vector<unsigned> FpgaWrites(unsigned reg) const {
        std::vector<unsigned> values;
        for (const LogEntry &e : camera->Log()) {
            if (e.target == LogTarget::Fpga && e.access == LogAccess::Write && e.address == reg) {
                values.push_back(e.value);
            }
        }
        return values;
    }

    uint32_t Sensor24(uint16_t low) const {
        return camera->SensorRegister(low) | (camera->SensorRegister(low + 1) << 8) |
               (camera->SensorRegister(low + 2) << 16);
    }

    std::shared_ptr<sim::SimulatedCamera> camera;
    std::unique_ptr<controller::CKorCy3Cam> controller;
};

// Sequences with many pauses run on the manual clock.
class SensorsWithSimulatorOnManualClock : public SensorsWithSimulator {
  protected:
    platform::ManualClock clock;
    platform::ScopedClockOverride clockOverride{clock};
};

TEST_F(SensorsWithSimulatorOnManualClock, Imx990FullWindowWritesVmax1078) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 1024, 0), 1);
    EXPECT_EQ(SensorWrites(), (Writes{{0x023C, 0},
                                      {0x0304, 0},
                                      {0x0320, 0},
                                      {0x0321, 0},
                                      {0x0322, 0},
                                      {0x0323, 0},
                                      {0x0324, 0},
                                      {0x0325, 5},
                                      {0x0326, 0},
                                      {0x0327, 4},
                                      {0x02D4, 0x36},
                                      {0x02D5, 0x04},
                                      {0x02D8, 0xCC},
                                      {0x02D9, 0x03}}));
    EXPECT_EQ(camera->SensorRegister(0x0304), 0);
    EXPECT_EQ(camera->SensorRegister(0x02D4) | (camera->SensorRegister(0x02D5) << 8), 1078);
    EXPECT_EQ(camera->FpgaRegister(0x9F, Simulator::NowMs()), 0);
}

TEST_F(SensorsWithSimulatorOnManualClock, Imx990HalfHeightWindowAndExposureAroundTheFrame) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    ASSERT_EQ(sensor.SetCaptureWindow(0, 1280, 0, 512, 0), 1);
    EXPECT_EQ(camera->SensorRegister(0x0304), 2);
    EXPECT_EQ(camera->SensorRegister(0x0322) | (camera->SensorRegister(0x0323) << 8), 516);
    const auto v = static_cast<unsigned>(sensor.Params().vmaxValue);  // 553
    ASSERT_EQ(v, 553u);

    camera->ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(v - 15), 1);
    EXPECT_EQ(Sensor24(0x02D4), v);
    EXPECT_EQ(Sensor24(0x0440), 15u);

    camera->ClearLog();
    ASSERT_EQ(sensor.SetExposureLines(v - 14), 1);
    EXPECT_EQ(SensorWrites(), (Writes{{0x02D6, 0},
                                      {0x02D5, (v + 1) >> 8},
                                      {0x02D4, (v + 1) & 0xFF},
                                      {0x0440, 15},
                                      {0x0441, 0},
                                      {0x0442, 0}}));
}

TEST_F(SensorsWithSimulatorOnManualClock, Imx990StuckReadBackRetriesAndReleasesTheBus) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    camera->StickSensorReadBack(0x0714, 0x33);
    EXPECT_EQ(sensor.SetGlobalGain(0x20), 0);
    EXPECT_EQ(SensorWrites({0x0714}).size(), 100u);
    EXPECT_EQ(FpgaWrites(0x9F), (std::vector<unsigned>{1, 0}));
    EXPECT_EQ(camera->FpgaRegister(0x9F, Simulator::NowMs()), 0);
    EXPECT_EQ(sensor.Params().gain, 0);
}

TEST_F(SensorsWithSimulatorOnManualClock, Imx991ShortExposureTime) {
    Open("imx991");
    CSensorIMX991 sensor(controller.get());
    ASSERT_EQ(sensor.SetExposureTime(1), 1);
    EXPECT_EQ(sensor.Params().expLines, 7);
    EXPECT_EQ(Sensor24(0x02D4) -
                  (camera->SensorRegister(0x0440) | ((camera->SensorRegister(0x0441) & 0x0F) << 8)),
              7u);
}

TEST_F(SensorsWithSimulatorOnManualClock, Imx992ExposureWindowAndGainMode) {
    Open("imx992");
    CSensorIMX992 sensor(controller.get());
    ASSERT_EQ(sensor.SetBitDepth(0), 1);
    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 0), 1);
    ASSERT_EQ(sensor.SetExposureLines(3000), 1);
    EXPECT_EQ(Sensor24(0x02D4), 3052u);
    EXPECT_EQ(Sensor24(0x0440), 52u);
    ASSERT_EQ(sensor.SetExposureLines(1001), 1);
    EXPECT_EQ(Sensor24(0x02D4), 2140u);
    EXPECT_EQ(Sensor24(0x0440), 1140u);
    EXPECT_EQ(sensor.Params().expLines, 1000);

    camera->ClearLog();
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2564, 0, 2048, 0), 0);
    EXPECT_EQ(sensor.SetCaptureWindow(0, 2688, 0, 2048, 0), 0);
    EXPECT_TRUE(camera->Log().empty());

    ASSERT_EQ(sensor.SetCaptureWindow(0, 2560, 0, 2048, 1), 1);
    EXPECT_EQ(camera->SensorRegister(0x0322), 4);
    EXPECT_EQ(camera->SensorRegister(0x0324) | (camera->SensorRegister(0x0325) << 8), 2560);
    EXPECT_EQ(camera->SensorRegister(0x0326) | (camera->SensorRegister(0x0327) << 8), 2048);
    EXPECT_EQ(camera->SensorRegister(0x023C), 0x11);
    EXPECT_EQ(sensor.Params().width, 1280);
    EXPECT_EQ(sensor.Params().height, 1024);

    ASSERT_EQ(sensor.SetGainMode(1), 1);
    EXPECT_EQ(sensor.GetGainMode(), 1);
    ASSERT_EQ(sensor.SetGainMode(0), 1);
    EXPECT_EQ(sensor.GetGainMode(), 0);
}

TEST_F(SensorsWithSimulatorOnManualClock, TemperatureMatchesTheSimulatedSensor) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    double celsius = -300;
    ASSERT_EQ(sensor.GetTemperature(&celsius), 1);
    EXPECT_NEAR(celsius, camera->TemperatureCelsius(Simulator::NowMs()), 0.5);
}

TEST_F(SensorsWithSimulatorOnManualClock, TriggerSequencesRunInMillisecondsOfTestTime) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    ASSERT_EQ(sensor.InitSensor(), 1);
    const uint64_t before = clock.SleptMs();
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_GE(clock.SleptMs() - before, 300u);  // camera time, not test time
    EXPECT_EQ(camera->FpgaRegister(0x58, Simulator::NowMs()), 2);
    EXPECT_EQ(camera->SensorRegister(0x0430), 0x13);
    EXPECT_EQ(camera->SensorRegister(0x0600), 1);
    EXPECT_TRUE(Simulator::Instance().FireTrigger(0));
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    EXPECT_EQ(camera->FpgaRegister(0x58, Simulator::NowMs()), 0);
    EXPECT_EQ(camera->SensorRegister(0x0430), 0x11);
}

// Mean of an 8-bit frame read through the controller, after `settle` frames have passed
// so the newest register values are in force.
double ReadFrameMean(controller::CKorCy3Cam &controller, int settle) {
    std::vector<uint8_t> frame;
    for (int i = 0; i <= settle; ++i) {
        controller::TransferRecord record{};
        if (!controller.ReadFrameHeader(&record)) return -1;
        const uint32_t size = platform::usb::LoadLe32(record.header + 16);
        frame.assign(size, 0);
        record.destination = frame.data();
        record.capacity = size;
        if (!controller.ReadFrameData(&record, 3000)) return -1;
    }
    if (frame.empty()) return -1;
    return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
}

TEST_F(SensorsWithSimulator, FrameLevelFollowsTheExposure) {
    Open("imx990");
    CSensorIMX990 sensor(controller.get());
    ASSERT_EQ(sensor.InitSensor(), 1);
    ASSERT_EQ(controller->PrepareDevice(), 1);
    ASSERT_EQ(controller->WriteFpgaRegister(0x3C, 1), 1);  // 8-bit samples
    ASSERT_EQ(controller->OpenDataHandle(), 1);

    ASSERT_EQ(sensor.SetExposureTime(50), 1);  // 5 ms
    const double shorter = ReadFrameMean(*controller, 2);
    ASSERT_EQ(sensor.SetExposureTime(100), 1);  // 10 ms
    const double longer = ReadFrameMean(*controller, 2);
    controller->CloseDataHandle();

    ASSERT_GT(shorter, 0.0);
    EXPECT_GT(longer, shorter * 1.5) << "shorter " << shorter << ", longer " << longer;
    EXPECT_LT(longer, 230.0) << "saturated";
}

}  // namespace
}  // namespace korvix::sensors
