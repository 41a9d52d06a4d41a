// The controller over the libusb backend against a camera at the kernel's USB interface
// (umockdev), compared with the same requests through the simulator's own driver port: two
// cameras of one configuration, one served over usbfs, the other through the simulator.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "controller/KorCy3Cam.h"
#include "platform/Event.h"
#include "platform/usb/DriverRecords.h"
#include "platform/usb/libusb/LibusbDriverPort.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"
#include "usbfs/UsbfsTwinsTest.h"

namespace korvix::test {
namespace {

using controller::CKorCy3Cam;
using controller::TransferRecord;
using platform::usb::LoadLe32;
using sim::LogAccess;
using sim::LogEntry;
using sim::LogTarget;
using sim::Simulator;
namespace usb = platform::usb;

// Twin cameras: same model, serial and scene, no temporal noise, so equal requests give
// equal answers.
constexpr char kTwins[] =
    "imx990:serial=TWIN:noise=off:scene=ramp,"
    "imx990:serial=TWIN:noise=off:scene=ramp";

class PlatformUsbfsController : public UsbfsTwinsTest {
  protected:
    PlatformUsbfsController() : UsbfsTwinsTest(kTwins) {}

    void SetUp() override {
        UsbfsTwinsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testbed_->Plug(Simulator::Instance().Camera(0), 1);

        overUsb_ = std::make_unique<CKorCy3Cam>(
            platform::usb::libusb::CreateLibusbDriverPort({0x04B4}), nullptr);
        overSim_ = std::make_unique<CKorCy3Cam>(sim::CreateSimulatedDriverPort(""), nullptr);
        // Both controllers share the process's device table: the libusb camera's row comes
        // first, then the simulator's two.
        ASSERT_EQ(overUsb_->EnumerateDevices(), 1);
        ASSERT_EQ(overSim_->EnumerateDevices(), 3);
        ASSERT_EQ(std::string(overUsb_->TableRow(0).path).find("#2&1#"), 25u)
            << overUsb_->TableRow(0).path;
        ASSERT_EQ(overUsb_->SelectDevice(0), 1);
        ASSERT_EQ(overSim_->SelectDevice(2), 1);  // the twin, behind the simulator's port
    }

    void TearDown() override {
        overUsb_.reset();
        overSim_.reset();
        UsbfsTwinsTest::TearDown();
    }

    static sim::SimulatedCamera &UsbCamera() { return *Simulator::Instance().Camera(0); }
    static sim::SimulatedCamera &SimCamera() { return *Simulator::Instance().Camera(1); }

    // What the camera saw, without times, and without the port operations that differ by
    // nature (aborts are the host's own business on USB).
    static std::vector<std::string> Seen(const sim::SimulatedCamera &camera) {
        std::vector<std::string> seen;
        for (const LogEntry &e : camera.Log()) {
            if (e.target == LogTarget::Port && e.address == sim::kPortAbortPipe) continue;
            seen.push_back(std::to_string(static_cast<int>(e.target)) + "/" +
                           std::to_string(static_cast<int>(e.access)) + "/" +
                           std::to_string(e.address) + "=" + std::to_string(e.value));
        }
        return seen;
    }

    std::unique_ptr<CKorCy3Cam> overUsb_;
    std::unique_ptr<CKorCy3Cam> overSim_;
};

// One request of the controller; returns its result followed by the bytes it read.
using Request = std::function<std::vector<int>(CKorCy3Cam &)>;

std::vector<int> WithBytes(int result, const uint8_t *bytes, size_t count) {
    std::vector<int> out{result};
    out.insert(out.end(), bytes, bytes + count);
    return out;
}

TEST_F(PlatformUsbfsController, RequestSetAnswersAsThroughTheSimulatorsPort) {
    const std::vector<std::pair<const char *, Request>> requests = {
        {"information block",
         [](CKorCy3Cam &c) {
             uint8_t block[64] = {};
             return WithBytes(c.ReadInfoBlock(block), block, 64);
         }},
        {"second information block",
         [](CKorCy3Cam &c) {
             uint8_t block[64] = {};
             return WithBytes(c.ReadInfoBlock2(block), block, 64);
         }},
        {"ready flag",
         [](CKorCy3Cam &c) {
             uint8_t ready = 0xEE;
             return WithBytes(c.ReadReadyFlag(&ready), &ready, 1);
         }},
        {"FPGA version",
         [](CKorCy3Cam &c) {
             uint16_t version = 0;
             const int result = c.ReadFpgaVersion(&version);
             return std::vector<int>{result, version};
         }},
        {"FPGA register write and read back",
         [](CKorCy3Cam &c) {
             uint8_t value = 0;
             const int written = c.WriteFpgaRegister(0x3C, 2);
             return WithBytes(written * 10 + c.ReadFpgaRegister(0x3C, &value), &value, 1);
         }},
        {"identity EEPROM text",
         [](CKorCy3Cam &c) {
             std::vector<int> out;
             for (uint16_t address = 0x1040; address < 0x1048; ++address) {
                 uint8_t value = 0;
                 out.push_back(c.ReadSromByte(address, &value));
                 out.push_back(value);
             }
             return out;
         }},
        {"identity EEPROM write",
         [](CKorCy3Cam &c) {
             uint8_t value = 0;
             const int written = c.WriteSromByte(0x1080, 0x5A);
             return WithBytes(written * 10 + c.ReadSromByte(0x1080, &value), &value, 1);
         }},
        {"sensor register through its pointer",
         [](CKorCy3Cam &c) {
             const uint8_t pointer[2] = {0x30, 0x00};
             uint8_t values[4] = {};
             const int written = c.I2cWrite(0x48, pointer, 2, 100);
             return WithBytes(written * 10 + c.I2cReadExact(0x49, values, 4, 100), values, 4);
         }},
        {"I2C to nobody is refused",
         [](CKorCy3Cam &c) {
             uint8_t value = 0;
             return std::vector<int>{c.I2cRead(0x70, &value, 1, 100) + 1};
         }},
        {"I2C of 64 bytes, the data area's size",
         [](CKorCy3Cam &c) {
             uint8_t values[64] = {};
             return WithBytes(c.I2cRead(0x41, values, 64, 100), values, 64);
         }},
        {"stream stop and command CC",
         [](CKorCy3Cam &c) {
             return std::vector<int>{c.StopStream(), c.SendCommandCC()};
         }},
        {"32-bit register write and 16-bit read",
         [](CKorCy3Cam &c) {
             uint32_t value = 0;
             const int written = c.WriteRegister32(0x8123, 0xA1B2C3D4);
             const int read = c.ReadRegister16(0x8123, &value);
             return std::vector<int>{written, read, static_cast<int>(value)};
         }},
        {"word pair and word 3F",
         [](CKorCy3Cam &c) {
             uint32_t value = 0;
             const int written = c.WriteWordPair(0x1234, 0x5678);
             const int read = c.ReadWord3F(1, &value);
             return std::vector<int>{written, read, static_cast<int>(value)};
         }},
        {"byte 3C and 3D",
         [](CKorCy3Cam &c) {
             uint8_t value = 0;
             const int written = c.WriteByte3C(0x77);
             return WithBytes(written * 10 + c.ReadByte3D(&value), &value, 1);
         }},
        {"link speed",
         [](CKorCy3Cam &c) {
             uint32_t speed = 0;
             const int result = c.GetDeviceSpeed(&speed);
             return std::vector<int>{result, static_cast<int>(speed)};
         }},
        {"preparation: staging buffer and port reset",
         [](CKorCy3Cam &c) { return std::vector<int>{c.PrepareDevice()}; }},
        {"memory write command and data",
         [](CKorCy3Cam &c) {
             const std::vector<uint8_t> data(4096, 0x3C);
             return std::vector<int>{c.WriteMemory(0x10000, data.data(), 4096)};
         }},
        {"clear halt of the frame endpoint",
         [](CKorCy3Cam &c) { return std::vector<int>{c.ResetPipe(0x81)}; }},
    };
    UsbCamera().ClearLog();
    SimCamera().ClearLog();
    for (const auto &[name, request] : requests) {
        SCOPED_TRACE(name);
        const std::vector<int> viaSim = request(*overSim_);
        EXPECT_EQ(request(*overUsb_), viaSim);
        EXPECT_NE(viaSim.at(0), 0);  // each request succeeds (the refusal as expected)
    }
    EXPECT_EQ(Seen(UsbCamera()), Seen(SimCamera()));
}

TEST_F(PlatformUsbfsController, FrameHeaderThenPayloadArriveAsThroughTheSimulatorsPort) {
    // Result of the payload read, the header up to the frame counter, the buffer.
    struct Frame {
        int result = -1;
        std::vector<uint8_t> header, payload;
    };
    auto readFrame = [](CKorCy3Cam &c, Frame *frame) {
        ASSERT_EQ(c.PrepareDevice(), 1);
        ASSERT_EQ(c.WriteFpgaRegister(0x3C, 2), 1);  // 16-bit samples
        ASSERT_EQ(c.OpenDataHandle(), 1);
        TransferRecord record{};
        ASSERT_EQ(c.ReadFrameHeader(&record), 1);
        const uint32_t size = LoadLe32(record.header + 16);
        ASSERT_GT(size, 524288u);  // more than one transfer
        frame->payload.assign(size + 64, 0xEE);
        record.destination = frame->payload.data();
        record.capacity = static_cast<uint32_t>(frame->payload.size());
        frame->result = c.ReadFrameData(&record, 3000);
        c.CloseDataHandle();
        frame->header.assign(record.header, record.header + 32);
    };
    const struct {
        const char *name;
        uint32_t missingBytes;  // the camera ends the payload this much early
    } cases[] = {{"whole frame", 0}, {"short payload", 4096}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UsbCamera().InjectShortPayloads(c.missingBytes > 0 ? 1 : 0, c.missingBytes);
        SimCamera().InjectShortPayloads(c.missingBytes > 0 ? 1 : 0, c.missingBytes);
        Frame viaSim, viaUsb;
        readFrame(*overSim_, &viaSim);
        readFrame(*overUsb_, &viaUsb);
        EXPECT_EQ(viaUsb.result, viaSim.result);
        const size_t lastByte = viaUsb.payload.size() - 64 - 1;
        EXPECT_EQ(viaUsb.payload[lastByte] == 0xEE, c.missingBytes > 0);  // the answer's end
        EXPECT_EQ(viaUsb.header, viaSim.header);
        EXPECT_TRUE(viaUsb.payload == viaSim.payload);
        EXPECT_EQ(viaUsb.payload.back(), 0xEE);  // nothing past the payload
    }
    EXPECT_GT(testbed_->Device(0).SubmittedUrbs(0x81), 4u);
}

TEST_F(PlatformUsbfsController, AbortEndsAPendingReadOnEitherPort) {
    for (CKorCy3Cam *c : {overSim_.get(), overUsb_.get()}) {
        SCOPED_TRACE(c == overSim_.get() ? "simulator" : "libusb");
        ASSERT_EQ(c->PrepareDevice(), 1);
        auto reader = c->OpenDevice(c == overSim_.get() ? 2 : 0, true);
        auto aborter = c->OpenDevice(c == overSim_.get() ? 2 : 0, false);
        ASSERT_NE(reader, nullptr);
        ASSERT_NE(aborter, nullptr);
        // Not armed: the camera sends nothing until the read is aborted.
        uint8_t header[usb::kTransferHeaderSize] = {};
        usb::EncodeTransferHeader(usb::MakeDirectHeader(0x81), header);
        std::vector<uint8_t> data(64, 0xEE);
        platform::Event done;
        usb::Overlapped overlapped(done);
        uint32_t bytes = 0;
        ASSERT_EQ(reader->SubmitIoControl(usb::kIoctlDirectTransfer, header, sizeof header,
                                          data.data(), 64, &bytes, overlapped),
                  usb::kIoPending);
        uint8_t endpoint = 0x81;
        ASSERT_EQ(aborter->IoControl(usb::kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &bytes),
                  usb::kIoSuccess);
        overlapped.WaitUntilDone();
        EXPECT_EQ(overlapped.Error(), usb::kIoOperationAborted);
        EXPECT_EQ(overlapped.BytesTransferred(), 0u);
        EXPECT_EQ(LoadLe32(header + usb::kHeaderUsbdStatus), usb::kUsbdStatusCanceled);
        EXPECT_EQ(data[0], 0xEE);
    }
}

TEST_F(PlatformUsbfsController, ClearHaltAndResetReachTheCameraAsThroughTheSimulatorsPort) {
    UsbCamera().ClearLog();
    SimCamera().ClearLog();
    for (CKorCy3Cam *c : {overSim_.get(), overUsb_.get()}) {
        EXPECT_EQ(c->ResetPipe(0x81), 1);
        EXPECT_EQ(c->ResetParentPort(), 1);
        uint8_t ready = 0;
        EXPECT_EQ(c->ReadReadyFlag(&ready), 1);  // the camera answers after the reset
        EXPECT_EQ(ready, 1);
    }
    const std::vector<std::string> seen = Seen(UsbCamera());
    EXPECT_EQ(seen, Seen(SimCamera()));
    EXPECT_EQ(seen.size(), 3u);
}

// The ready-flag request as a driver record, sent on a file; returns the IoControl result.
uint32_t AskReadyFlag(usb::DeviceFile &file) {
    uint8_t record[usb::kControlBufferSize] = {};
    usb::EncodeTransferHeader(usb::MakeControlHeader(0xC0, 0xC3, 0, 0), record);
    uint32_t bytes = 0;
    return file.IoControl(usb::kIoctlControlTransfer, record, sizeof record, record, sizeof record,
                          &bytes);
}

TEST_F(PlatformUsbfsController, CameraPluggedBackIntoItsSocketOpensAfreshWhileAFileOfTheOldIsOpen) {
    auto port = platform::usb::libusb::CreateLibusbDriverPort({0x04B4});
    std::mutex mutex;
    std::condition_variable changed;
    size_t changes = 0;
    const usb::DeviceChangeToken token =
        port->RegisterDeviceChangeCallback([&](usb::DeviceChange, const std::string &) {
            std::lock_guard lock(mutex);
            ++changes;
            changed.notify_all();
        });
    ASSERT_NE(token, 0u);
    auto waitForChanges = [&](size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return changes >= count; });
    };
    const std::string path = overUsb_->TableRow(0).path;
    auto old = port->Open(path, false);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(AskReadyFlag(*old), usb::kIoSuccess);

    testbed_->Unplug(0);
    ASSERT_TRUE(waitForChanges(1));
    EXPECT_EQ(AskReadyFlag(*old), usb::kIoDeviceNotConnected);
    testbed_->Plug(Simulator::Instance().Camera(0), 1);  // same socket, new device number
    ASSERT_TRUE(waitForChanges(2));
    auto fresh = port->Open(path, false);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(AskReadyFlag(*fresh), usb::kIoSuccess);
    EXPECT_EQ(AskReadyFlag(*old), usb::kIoDeviceNotConnected);
    port->UnregisterDeviceChangeCallback(token);
}

}  // namespace
}  // namespace korvix::test
