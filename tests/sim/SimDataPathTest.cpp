// The data path of the simulated camera: arm, frame header, payload in the geometry and data
// width of the FPGA registers, frame timing from the sensor registers, external trigger.

#include <gtest/gtest.h>

#include <cmath>

#include "SimTestBus.h"
#include "sim/SimulatedCamera.h"

namespace korvix::sim {
namespace {

using namespace korvix::sim::test;

CameraConfig Config(const char *cameraList) {
    auto parsed = ParseCameraList(cameraList);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.cameras.at(0);
}

TEST(SimDataPath, ArmedStreamDeliversHeaderThenPayload) {
    SimulatedCamera camera(Config("imx990"), 0);
    auto frame = ReadFrame(camera, 100);
    ASSERT_TRUE(frame);
    EXPECT_EQ(HeaderWord(frame->header, header::kDataLengthOffset), 1280u * 1024u);
    EXPECT_EQ(frame->payload.size(), 1280u * 1024u);
    EXPECT_EQ(HeaderWord(frame->header, header::kWidthOffset), 1280u);
    EXPECT_EQ(HeaderWord(frame->header, header::kHeightOffset), 1024u);
    // Seven frames of about 14 ms completed by 100 ms; the newest is delivered.
    const uint32_t counter = HeaderWord(frame->header, header::kFrameCounterOffset);
    EXPECT_EQ(counter, camera.FrameCounter(100));
    EXPECT_EQ(counter, static_cast<uint32_t>(100 / camera.FramePeriodMs()));
}

TEST(SimDataPath, NothingIsDeliveredWithoutAnArm) {
    SimulatedCamera camera(Config("imx990"), 0);
    EXPECT_FALSE(Bulk(camera, 64, 500));
    ASSERT_TRUE(ReadFrame(camera, 500));
    // After the whole payload the stream is idle again.
    EXPECT_FALSE(Bulk(camera, 64, 1000));
}

TEST(SimDataPath, PendingReadLearnsWhenTheNextFrameIsDue) {
    SimulatedCamera camera(Config("imx990"), 0);
    ASSERT_TRUE(ReadFrame(camera, 100));
    ASSERT_TRUE(Arm(camera, 100));
    std::vector<uint8_t> header(64);
    BulkReadResult result = camera.BulkRead(endpoint::kFrameIn, header, 100);
    EXPECT_FALSE(result.ready);
    ASSERT_TRUE(result.retryAtMs);
    EXPECT_GT(*result.retryAtMs, 100u);
    EXPECT_LE(*result.retryAtMs, 100u + static_cast<uint64_t>(std::ceil(camera.FramePeriodMs())));
    EXPECT_TRUE(camera.BulkRead(endpoint::kFrameIn, header, *result.retryAtMs).ready);
}

TEST(SimDataPath, HeightAndDataWidthFollowTheFpgaRegisters) {
    SimulatedCamera camera(Config("imx990:scene=ramp"), 0);
    FpgaWrite16(camera, fpga::kHeightLow, 512, 0);
    FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth16, 0);
    auto frame = ReadFrame(camera, 50);
    ASSERT_TRUE(frame);
    EXPECT_EQ(HeaderWord(frame->header, header::kDataLengthOffset), 1280u * 512u * 2u);
    ASSERT_EQ(frame->payload.size(), 1280u * 512u * 2u);
    // 16-bit little-endian samples with 12 significant bits: the ramp ends at 4095.
    auto sample = [&](size_t i) { return frame->payload[2 * i] | frame->payload[2 * i + 1] << 8; };
    EXPECT_EQ(sample(0), 0);
    EXPECT_EQ(sample(1279), 4095);
    EXPECT_EQ(sample(1280 * 511 + 1279), 4095);

    FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth8, 60);
    FpgaWrite16(camera, fpga::kWidthLow, 640, 60);
    SensorWrite(camera, sensor::kWindowWidth0, 640 & 0xFF, 60);
    SensorWrite(camera, sensor::kWindowWidth1, 640 >> 8, 60);
    frame = ReadFrame(camera, 100);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->payload.size(), 640u * 512u);
    EXPECT_EQ(frame->payload[639], 255);
}

TEST(SimDataPath, FramePeriodFollowsVmax) {
    SimulatedCamera camera(Config("imx990"), 0);
    auto framesIn = [&](uint64_t from, uint64_t to) {
        const uint32_t first = camera.FrameCounter(from);
        return camera.FrameCounter(to) - first;
    };
    // 1078 lines of 12.96 us: about 14 ms.
    const uint32_t before = framesIn(1000, 11000);
    EXPECT_NEAR(before, 10000 / (1078 * 0.0129618), 1.0);
    SensorWrite24(camera, sensor::kVmax0, 2156, 11000);  // twice as long
    const uint32_t after = framesIn(11000, 21000);
    EXPECT_NEAR(after, 10000 / (2156 * 0.0129618), 1.0);
    EXPECT_NEAR(static_cast<double>(before) / after, 2.0, 0.05);
}

TEST(SimDataPath, StandbyStopsFramesAndRestartsTheTiming) {
    SimulatedCamera camera(Config("imx990"), 0);
    SensorWrite(camera, sensor::kStandby, 1, 100);
    const uint32_t held = camera.FrameCounter(100);
    EXPECT_EQ(camera.FrameCounter(1000), held);
    SensorWrite(camera, sensor::kStandby, 0, 1000);
    const auto firstFrame = 1000 + static_cast<uint64_t>(std::ceil(camera.FramePeriodMs()));
    EXPECT_EQ(camera.FrameCounter(firstFrame - 1), held);
    EXPECT_EQ(camera.FrameCounter(firstFrame), held + 1);
}

TEST(SimDataPath, ExternalTriggerGivesOneFramePerPulse) {
    SimulatedCamera camera(Config("imx990"), 0);
    EXPECT_FALSE(camera.FireTrigger(10));  // free-running: pulses are ignored
    EnterExternalTrigger(camera, 20);
    const uint32_t start = camera.FrameCounter(20);
    EXPECT_EQ(camera.FrameCounter(5000), start);
    ASSERT_TRUE(Arm(camera, 5000));
    EXPECT_FALSE(Bulk(camera, 64, 6000));

    ASSERT_TRUE(camera.FireTrigger(6000));
    EXPECT_EQ(camera.FpgaRegister(fpga::kFrameCounter, 6000), static_cast<uint8_t>(start + 1));
    auto header = Bulk(camera, 64, 6001);
    ASSERT_TRUE(header);
    EXPECT_EQ(HeaderWord(*header, header::kFrameCounterOffset), start + 1);

    // A pulse before the arm is kept by the FPGA until it is read.
    ASSERT_TRUE(camera.FireTrigger(7000));
    auto frame = ReadFrame(camera, 9000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(HeaderWord(frame->header, header::kFrameCounterOffset), start + 2);
    ASSERT_TRUE(Arm(camera, 9000));
    EXPECT_FALSE(Bulk(camera, 64, 20000));
}

TEST(SimDataPath, RestartPulseDropsTheHeldFrame) {
    SimulatedCamera camera(Config("imx990"), 0);
    EnterExternalTrigger(camera, 0);
    ASSERT_TRUE(camera.FireTrigger(10));
    FpgaWrite(camera, fpga::kRestart, 1, 20);
    FpgaWrite(camera, fpga::kRestart, 0, 20);
    ASSERT_TRUE(Arm(camera, 30));
    EXPECT_FALSE(Bulk(camera, 64, 30));
}

TEST(SimDataPath, PayloadIsReadInPiecesOfAnySize) {
    SimulatedCamera camera(Config("imx991:scene=ramp"), 0);
    ASSERT_TRUE(Arm(camera, 100));
    ASSERT_TRUE(Bulk(camera, 64, 100));
    size_t total = 0;
    for (size_t piece : {1000u, 7u, 100000u, 524288u}) {
        auto bytes = Bulk(camera, piece, 100);
        ASSERT_TRUE(bytes);
        total += bytes->size();
    }
    EXPECT_EQ(total, 640u * 512u);  // the last read was cut at the end of the payload
}

TEST(SimDataPath, SubsampledAndMirroredReadoutMapsTheArray) {
    SimulatedCamera camera(Config("imx990:scene=synthetic"), 0);
    // Expect the same picture in two ways: mirrored read-out and reversed rows of the plain one.
    FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth16, 0);
    auto plain = ReadFrame(camera, 100);
    SensorWrite(camera, sensor::kMirror, 0x02, 100);
    auto mirrored = ReadFrame(camera, 200);
    ASSERT_TRUE(plain && mirrored);
    // Compare column means (temporal noise averages out; the target moves).
    auto columnMean = [](const std::vector<uint8_t> &payload, size_t column) {
        double sum = 0;
        for (size_t row = 0; row < 1024; ++row) {
            const size_t i = (row * 1280 + column) * 2;
            sum += payload[i] | payload[i + 1] << 8;
        }
        return sum / 1024;
    };
    for (size_t column : {3u, 200u, 777u}) {
        EXPECT_NEAR(columnMean(plain->payload, column),
                    columnMean(mirrored->payload, 1279 - column), 2.0);
    }
}

// Triggered read-out needs the FPGA (0x58) and the sensor's trigger registers; half of it
// gives no frames at all.
TEST(SimDataPath, ExternalTriggerNeedsTheSensorTriggerRegistersAsWellAsTheFpga) {
    SimulatedCamera fpgaOnly(Config("imx990"), 0);
    FpgaWrite(fpgaOnly, fpga::kTriggerMode, fpga::kTriggerModeExternal, 0);
    EXPECT_FALSE(fpgaOnly.FireTrigger(10));
    EXPECT_EQ(fpgaOnly.FrameCounter(1000), 0u);

    SimulatedCamera sensorOnly(Config("imx992"), 0);
    EnterExternalTrigger(sensorOnly, 0);
    FpgaWrite(sensorOnly, fpga::kTriggerMode, fpga::kTriggerModeFree, 0);
    EXPECT_FALSE(sensorOnly.FireTrigger(10));
    EXPECT_EQ(sensorOnly.FrameCounter(1000), 0u);  // the sensor waits for pulses
}

// The sensor reads out its window; the FPGA forwards it in its own geometry, cutting or
// padding rows and cutting rows off, and a sensor frame of fewer rows ends early.
TEST(SimDataPath, SensorWindowAndFpgaGeometryMismatchCutsOrPads) {
    struct Case {
        const char *name;
        uint16_t sensorWidth, sensorHeight, fpgaWidth, fpgaHeight;
        uint32_t payloadRows;
        int lastSampleOfRow;  // 8-bit ramp value of the payload's last column
        size_t paddedFromColumn;
    };
    for (const Case &c : {Case{"agree", 640, 512, 640, 512, 512, 255, 640},
                          Case{"sensor wider: cut", 1280, 512, 640, 512, 512, 127, 640},
                          Case{"sensor narrower: padded", 320, 512, 640, 512, 512, 0, 320},
                          Case{"sensor taller: rows cut", 640, 1024, 640, 512, 512, 255, 640},
                          Case{"sensor shorter: ends early", 640, 256, 640, 512, 256, 255, 640}}) {
        SCOPED_TRACE(c.name);
        SimulatedCamera camera(Config("imx990:scene=ramp"), 0);
        SensorWrite(camera, sensor::kWindowWidth0, c.sensorWidth & 0xFF, 0);
        SensorWrite(camera, sensor::kWindowWidth1, c.sensorWidth >> 8, 0);
        SensorWrite(camera, sensor::kWindowHeight0, c.sensorHeight & 0xFF, 0);
        SensorWrite(camera, sensor::kWindowHeight1, c.sensorHeight >> 8, 0);
        FpgaWrite16(camera, fpga::kWidthLow, c.fpgaWidth, 0);
        FpgaWrite16(camera, fpga::kHeightLow, c.fpgaHeight, 0);
        auto frame = ReadFrame(camera, 100);
        ASSERT_TRUE(frame);
        EXPECT_EQ(HeaderWord(frame->header, header::kDataLengthOffset),
                  uint32_t{c.fpgaWidth} * c.payloadRows);
        EXPECT_EQ(HeaderWord(frame->header, header::kHeightOffset), c.payloadRows);
        EXPECT_EQ(HeaderWord(frame->header, header::kWidthOffset), c.fpgaWidth);
        const uint8_t *lastRow = &frame->payload[(c.payloadRows - 1) * size_t{c.fpgaWidth}];
        EXPECT_EQ(lastRow[c.fpgaWidth - 1], c.lastSampleOfRow);
        for (size_t column = c.paddedFromColumn; column < c.fpgaWidth; ++column) {
            ASSERT_EQ(lastRow[column], 0) << "column " << column;
        }
    }
}

// Sub-sampled read-out of the IMX992/993 counts its window in array pixels: a 2560 x 2048
// window gives 1280 x 1024 samples. 16-bit samples need the doubled line length; at the
// 8-bit line length the FPGA receives only half of each row and pads the rest.
TEST(SimDataPath, Imx992OutputFollowsReadoutModeAndLineLength) {
    SimulatedCamera camera(Config("imx992:scene=ramp"), 0);
    SensorWriteInStandby(camera, sensor::kSubsample, sensor::kSubsampleOn, 0);
    FpgaWrite16(camera, fpga::kWidthLow, 1280, 0);
    FpgaWrite16(camera, fpga::kHeightLow, 1024, 0);
    auto frame = ReadFrame(camera, 200);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->payload.size(), 1280u * 1024u);
    EXPECT_EQ(frame->payload[1279], 255);

    SensorWriteInStandby(camera, sensor::kSubsample, 0, 300);
    FpgaWrite16(camera, fpga::kWidthLow, 2560, 300);
    FpgaWrite16(camera, fpga::kHeightLow, 2048, 300);
    FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth16, 300);
    auto sample = [&](size_t i) { return frame->payload[2 * i] | frame->payload[2 * i + 1] << 8; };
    frame = ReadFrame(camera, 400);
    ASSERT_TRUE(frame);
    EXPECT_NE(sample(1279), 0);
    EXPECT_EQ(sample(1280), 0);  // line too short for 16-bit samples
    EXPECT_EQ(sample(2559), 0);

    SensorWriteInStandby(camera, sensor::kHmax0, 978 & 0xFF, 500);
    SensorWriteInStandby(camera, sensor::kHmax1, 978 >> 8, 500);
    frame = ReadFrame(camera, 700);
    ASSERT_TRUE(frame);
    EXPECT_EQ(sample(2559), 4095);
}

// KORVIX_SIMULATE options for applications and scripts: a trigger input pulsed every
// trigger=MS, a camera that leaves after unplug_after=N frames, and noise=off.
TEST(SimDataPath, TriggerInputPulsesEveryPeriodInTriggerMode) {
    SimulatedCamera camera(Config("imx990:trigger=100"), 0);
    const uint32_t freeRunning = camera.FrameCounter(250);  // pulses meet free-running mode
    EXPECT_EQ(freeRunning, static_cast<uint32_t>(250 / camera.FramePeriodMs()));
    EnterExternalTrigger(camera, 250);
    EXPECT_EQ(camera.FrameCounter(1050), freeRunning + 8);  // pulses at 300, 400, ..., 1000
    ASSERT_TRUE(ReadFrame(camera, 1050));
    ASSERT_TRUE(Arm(camera, 1050));
    std::vector<uint8_t> header(64);
    BulkReadResult result = camera.BulkRead(endpoint::kFrameIn, header, 1050);
    EXPECT_FALSE(result.ready);
    EXPECT_EQ(result.retryAtMs, 1100u);  // a pending read learns when the next pulse comes
    EXPECT_TRUE(camera.BulkRead(endpoint::kFrameIn, header, 1100).ready);
}

TEST(SimDataPath, CameraLeavesAfterItsUnplugAfterFrames) {
    SimulatedCamera camera(Config("imx991:unplug_after=2"), 0);
    std::vector<bool> hookCalls;
    camera.SetPlugHook([&](bool plugged) { hookCalls.push_back(plugged); });
    ASSERT_TRUE(ReadFrame(camera, 100));
    EXPECT_TRUE(camera.Plugged());
    ASSERT_TRUE(ReadFrame(camera, 200));  // the second frame arrives whole
    EXPECT_FALSE(camera.Plugged());
    EXPECT_FALSE(ReadFrame(camera, 300));
    camera.Replug(400);  // a new power-up sends two frames again
    ASSERT_TRUE(ReadFrame(camera, 500));
    EXPECT_TRUE(camera.Plugged());
    EXPECT_EQ(hookCalls, (std::vector<bool>{false, true}));
}

TEST(SimDataPath, NoiseOffGivesIdenticalFramesOfTheSyntheticScene) {
    for (bool noise : {true, false}) {
        SimulatedCamera camera(Config(noise ? "imx991" : "imx991:noise=off"), 0);
        auto first = ReadFrame(camera, 100);
        auto later = ReadFrame(camera, 3000);
        ASSERT_TRUE(first && later);
        EXPECT_EQ(first->payload == later->payload, !noise) << "noise " << noise;
    }
}

TEST(SimDataPath, CounterSceneCarriesTheHeadersFrameCounterInEveryCorner) {
    struct Case {
        bool wide;
        bool mirrored;
    };
    for (const Case &c : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.wide ? "16-bit, mirrored" : "8-bit");
        SimulatedCamera camera(Config("imx990:scene=counter"), 0);
        if (c.wide) FpgaWrite(camera, fpga::kDataWidth, fpga::kDataWidth16, 0);
        if (c.mirrored) SensorWrite(camera, sensor::kMirror, 3, 0);
        camera.InjectSkippedFrameCounts(0x12345678);  // every byte of the counter in use
        auto frame = ReadFrame(camera, 100);
        ASSERT_TRUE(frame);
        const uint32_t counter = HeaderWord(frame->header, header::kFrameCounterOffset);
        ASSERT_GT(counter, 0x12345678u);
        auto sample = [&](size_t i) -> uint32_t {
            return c.wide ? frame->payload[2 * i] | frame->payload[2 * i + 1] << 8
                          : frame->payload[i];
        };
        // One byte per sample, least significant first, inwards from each end of the first
        // and the last row; 16-bit samples hold it as byte << 4.
        const size_t width = 1280, lastRow = 1023 * width;
        for (auto [start, step] : {std::pair<size_t, int>{0, 1},
                                   {width - 1, -1},
                                   {lastRow, 1},
                                   {lastRow + width - 1, -1}}) {
            uint32_t stamp = 0;
            for (int i = 0; i < 4; ++i) {
                const uint32_t value = sample(start + i * step);
                stamp |= (c.wide ? value >> 4 : value) << (8 * i);
                if (c.wide) {
                    EXPECT_EQ(value & 0xF, 0u);
                }
            }
            EXPECT_EQ(stamp, counter) << "stamp from sample " << start;
        }
        // Beyond the stamp, the ramp.
        EXPECT_EQ(sample(width + 1279), c.wide ? 4095u : 255u);
    }
}

}  // namespace
}  // namespace korvix::sim
