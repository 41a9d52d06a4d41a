// Frames in the application's buffer against a reference computed from the simulated
// camera's scene, and the session state the public interface does not show.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "SessionSimulated.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Messages.h"

namespace korvix::test {
namespace {

using SessionFrames = SessionSimulatedTest;

// A scene tile of prime size, so that the tiling, the rows and the columns all show.
constexpr uint32_t kTileWidth = 37;
constexpr uint32_t kTileHeight = 23;

uint16_t TileSample(uint32_t row, uint32_t column) {
    return static_cast<uint16_t>((row * 131 + column * 29 + row * column) % 4096);
}

std::vector<uint16_t> Tile() {
    std::vector<uint16_t> tile(kTileWidth * kTileHeight);
    for (uint32_t r = 0; r < kTileHeight; ++r) {
        for (uint32_t c = 0; c < kTileWidth; ++c) tile[r * kTileWidth + c] = TileSample(r, c);
    }
    return tile;
}

struct FrameCase {
    int bits;
    int rowOrder;
    int subSample;
    int mirror;
};

// What the buffer must hold: the camera sends the tile laid over its payload from the top
// left (mirrors do not move a test pattern); the sensor is mounted turned by 180 degrees,
// so the picture is the payload turned; rows are padded to 4 bytes and come top row first
// for a row order other than 0, last row first for 0.
std::vector<uint8_t> Reference(const FrameCase &c) {
    const int width = 1280 >> c.subSample;
    const int height = 1024 >> c.subSample;
    const int bytes = c.bits / 8;
    const int pitch = (width * bytes + 3) & ~3;
    std::vector<uint8_t> expected(static_cast<size_t>(pitch) * height, 0);
    for (int y = 0; y < height; ++y) {
        const int payloadRow = height - 1 - y;
        const int bufferRow = c.rowOrder != 0 ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const int payloadColumn = width - 1 - x;
            const uint16_t sample = TileSample(payloadRow % kTileHeight, payloadColumn % kTileWidth);
            uint8_t *at = &expected[static_cast<size_t>(bufferRow) * pitch + x * bytes];
            if (bytes == 1) {
                at[0] = static_cast<uint8_t>(sample >> 4);
            } else {
                at[0] = static_cast<uint8_t>(sample & 0xFF);
                at[1] = static_cast<uint8_t>(sample >> 8);
            }
        }
    }
    return expected;
}

TEST_F(SessionFrames, BufferHoldsTheSceneInEveryDepthRowOrderSubSamplingAndMirror) {
    CKorvix &session = StartSession("imx990");
    Camera().SetSceneImage(Tile(), kTileWidth, kTileHeight);
    for (int bits : {8, 16}) {
        for (int rowOrder : {0, 1}) {
            for (int subSample : {0, 1}) {
                for (int mirror : {0, 1}) {
                    const FrameCase c{bits, rowOrder, subSample, mirror};
                    SCOPED_TRACE(testing::Message() << "bits " << bits << " rowOrder " << rowOrder
                                                    << " subSample " << subSample << " mirror "
                                                    << mirror);
                    ASSERT_EQ(session.SetColorMode(bits), 1);
                    ASSERT_EQ(session.SetSubSample(subSample), 1);
                    session.Settings().UpdateCamera([&](CameraSettings &camera) {
                        camera.mirrorH = mirror;
                        camera.mirrorV = mirror;
                    });
                    const std::vector<uint8_t> expected = Reference(c);
                    std::vector<uint8_t> buffer(expected.size() + 16, 0xA5);
                    ASSERT_EQ(session.SnapShot(buffer.data(), static_cast<int>(expected.size()), rowOrder), 1)
                        << session.GetLastError();
                    EXPECT_EQ(std::memcmp(buffer.data(), expected.data(), expected.size()), 0);
                    EXPECT_EQ(buffer[expected.size()], 0xA5);  // nothing past the frame
                    std::vector<uint8_t> again(expected.size());
                    ASSERT_EQ(session.GetImage(again.data(), static_cast<int>(again.size()), rowOrder), 1);
                    EXPECT_EQ(again, expected);
                }
            }
        }
    }
}

// Windows and sub-sampling read the sensor pixels their frame's positions name: a window's
// rows are the full frame's rows from the window's top, and a sub-sampled frame holds every
// second pixel of the full frame (the odd ones: the turned sensor's read-out starts at the
// upright frame's last row and column). A still synthetic scene, 8-bit frames.
TEST_F(SessionFrames, WindowsAndSubSamplingShowTheirPartOfTheFullFrame) {
    CKorvix &session = StartSession("imx990:noise=off");
    ASSERT_EQ(session.SetColorMode(8), 1);
    auto snapshot = [&](int width, int height) {
        std::vector<uint8_t> frame(static_cast<size_t>(width) * height);
        EXPECT_EQ(session.SnapShot(frame.data(), static_cast<int>(frame.size()), 1), 1)
            << session.GetLastError();
        return frame;
    };
    const std::vector<uint8_t> full = snapshot(1280, 1024);
    for (int top : {0, 256, 512}) {
        SCOPED_TRACE(testing::Message() << "window from row " << top);
        ASSERT_EQ(session.SetCaptureWindowEx(1280, 0, 1280, 1024, top, 512), 1);
        const std::vector<uint8_t> window = snapshot(1280, 512);
        EXPECT_TRUE(std::equal(window.begin(), window.end(), full.begin() + top * 1280));
    }
    ASSERT_EQ(session.SetCaptureWindowEx(1280, 0, 1280, 1024, 0, 1024), 1);
    ASSERT_EQ(session.SetSubSample(1), 1);
    const std::vector<uint8_t> sub = snapshot(640, 512);
    int differing = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 640; ++x) {
            differing += sub[y * 640 + x] != full[(2 * y + 1) * 1280 + 2 * x + 1];
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(SessionFrames, TriggerModeLeavesTheLongerSnapshotWait) {
    CKorvix &session = StartSession("imx990:fpga=0x0100");
    EXPECT_EQ(session.FrameTimeout(), 3000u);
    ASSERT_EQ(session.Trigger(nullptr, nullptr, 0, 0), 1);
    EXPECT_EQ(session.Core()->DataTimeout(), 6000u);
    ASSERT_EQ(session.StopPreview(), 1);
    EXPECT_EQ(session.FrameTimeout(), 6000u);
    std::vector<uint8_t> buffer(1280 * 1024 * 3);
    EXPECT_EQ(session.SnapShot(buffer.data(), static_cast<int>(buffer.size()), 1), 1);
    EXPECT_EQ(session.FrameTimeout(), 6000u);
}

TEST_F(SessionFrames, PrepareWithoutASelectedCameraFailsWithOpen) {
    CKorvix &session = StartSession("imx990,imx990");  // two cameras: none selected
    EXPECT_EQ(session.Capture(), 0);
    EXPECT_EQ(session.GetLastError(), CAMERR_OPEN);
    ASSERT_EQ(session.SetDeviceNumber(1), 1);
    EXPECT_EQ(session.Capture(), 1);
}

TEST_F(SessionFrames, EmptyIdentityTextGivesAnEmptySerial) {
    CKorvix &session = StartSession("imx990");
    // The first byte of the identity text becomes the end marker.
    ASSERT_EQ(session.Core()->WriteSromByte(0x1040, 0xFF), 1);
    char serial[32];
    std::memset(serial, 'x', sizeof serial);
    EXPECT_EQ(session.ReadSerialNumber(serial, sizeof serial), 1);
    EXPECT_STREQ(serial, "");
    ASSERT_EQ(session.Core()->WriteSromByte(0x1040, 0x00), 1);
    std::memset(serial, 'x', sizeof serial);
    EXPECT_EQ(session.ReadSerialNumber(serial, sizeof serial), 1);
    EXPECT_STREQ(serial, "");
    EXPECT_EQ(session.GetLastError(), 0);
}

std::atomic<int> postedError{0};

void RecordPostedError(void *, unsigned int message, uintptr_t, intptr_t lParam, void *) {
    if (message == WM_CAMERA_ERROR) postedError = static_cast<int>(lParam);
}

TEST_F(SessionFrames, SromIdWriteThatDoesNotReadBackFailsWithNotReady) {
    CKorvix &session = StartSession("imx990");
    platform::SetMessageHandler(&RecordPostedError, nullptr);
    constexpr int kAddress = 0x10;
    const int before = session.ReadSromID(kAddress, nullptr);
    const int wanted = (before + 1) & 0xFF;
    Camera().SetIdentityWriteProtected(true);  // acknowledged, never stored
    EXPECT_EQ(session.WriteSromID(kAddress, wanted), 0);
    platform::FlushMessages();
    EXPECT_EQ(postedError.load(), CAMERR_NOT_READY);
    EXPECT_EQ(session.ReadSromID(kAddress, nullptr), before);
    Camera().SetIdentityWriteProtected(false);
    postedError = 0;
    EXPECT_EQ(session.WriteSromID(kAddress, wanted), 1);
    EXPECT_EQ(session.ReadSromID(kAddress, nullptr), wanted);
    platform::FlushMessages();
    EXPECT_EQ(postedError.load(), 0);
    platform::SetMessageHandler(nullptr, nullptr);
}

}  // namespace
}  // namespace korvix::test
