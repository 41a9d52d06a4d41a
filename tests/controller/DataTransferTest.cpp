#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "controller/ControllerFixture.h"
#include "platform/Clock.h"

namespace korvix::controller::test {
namespace {

using platform::usb::kIoGenFailure;
using platform::usb::LoadLe32;
using platform::usb::LoadLe64;
using platform::usb::StoreLe32;

class ControllerDataTransfers : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_EQ(controller->PrepareDevice(), 1);
        ASSERT_EQ(controller->OpenDataHandle(), 1);
    }

    // A frame header announcing `length` payload bytes and frame counter `counter`.
    static std::vector<uint8_t> Header(uint32_t length, uint32_t counter) {
        std::vector<uint8_t> header(64, 0);
        StoreLe32(header.data() + 16, length);
        StoreLe32(header.data() + 32, counter);
        return header;
    }

    std::vector<WireEvent> Events(WireEvent::Kind kind) const {
        std::vector<WireEvent> found;
        for (const WireEvent &e : camera->Log()) {
            if (e.kind == kind) found.push_back(e);
        }
        return found;
    }
};

TEST_F(ControllerDataTransfers, PrepareDeviceResetsTheParentPort) {
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::ResetPort), 1);
}

TEST_F(ControllerDataTransfers, TransferBeforePrepareDeviceFailsAtOnce) {
    controller->Close();  // frees the staging buffer: the device is no longer prepared
    auto handle = controller->OpenDevice(0, true);
    ASSERT_NE(handle, nullptr);
    camera->QueueBulkIn({std::vector<uint8_t>(64, 1)});
    std::vector<uint8_t> buffer(64);
    uint32_t received = 0;
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 64, 0x81, &received, 100), 0);
    EXPECT_EQ(controller->TransferDirect(handle.get(), buffer.data(), 64, 0x81, &received), 0);
    EXPECT_EQ(controller->TransferBuffered(handle.get(), buffer.data(), 64, 0x81, &received), 0);
    EXPECT_EQ(camera->IoControlCount(), 1);  // only the reset of PrepareDevice
}

TEST_F(ControllerDataTransfers, TransferLongerThanSixtyFourMebibytesFailsAtOnce) {
    auto handle = controller->OpenDevice(0, true);
    ASSERT_NE(handle, nullptr);
    // The length is refused before the buffer is touched, so a small one stands in.
    uint8_t byte = 0;
    uint32_t received = 0;
    int before = camera->IoControlCount();
    EXPECT_EQ(controller->ReadDirect(handle.get(), &byte, 0x4000001, 0x81, &received, 100), 0);
    EXPECT_EQ(controller->TransferDirect(handle.get(), &byte, 0x4000001, 0x01, &received), 0);
    EXPECT_EQ(controller->TransferBuffered(handle.get(), &byte, 0x4000001, 0x81, &received), 0);
    EXPECT_EQ(camera->IoControlCount(), before);
}

TEST_F(ControllerDataTransfers, FrameHeaderIsReadAfterAnArm) {
    camera->QueueBulkIn({Header(1000, 0x01020304)});
    TransferRecord record{};
    ASSERT_EQ(controller->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.frameCounter, 0x01020304u);
    EXPECT_EQ(LoadLe32(record.header + 16), 1000u);
    auto log = camera->Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].setup.request, 0xC2);  // arm, to the endpoint recipient
    EXPECT_EQ(log[log.size() - 2].setup.requestType, 0x42);
    EXPECT_EQ(log.back().kind, WireEvent::Kind::BulkIn);
    EXPECT_EQ(log.back().endpoint, 0x81);
    EXPECT_EQ(log.back().length, 64u);
}

TEST_F(ControllerDataTransfers, FrameHeaderGivesUpAfterFifteenReadsWithRestartPulsesBetween) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    for (int i = 0; i < 20; ++i) camera->QueueBulkIn({{}, kIoGenFailure});
    TransferRecord record{};
    EXPECT_EQ(controller->ReadFrameHeader(&record), 0);
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::BulkIn), 15);
    // Between two reads: 0x6C := 1, 0x6C := 0, arm. Walk the log to check the order.
    int reads = 0;
    std::vector<uint8_t> restartValues;
    for (const WireEvent &e : camera->Log()) {
        if (e.kind == WireEvent::Kind::BulkIn) {
            if (reads > 0) {
                EXPECT_EQ(restartValues, (std::vector<uint8_t>{1, 0})) << "read " << reads;
            }
            restartValues.clear();
            ++reads;
        } else if (e.kind == WireEvent::Kind::Control && e.setup.request == 0x30 &&
                   e.data[0] == 0x6C) {
            restartValues.push_back(e.data[2]);
        }
    }
    EXPECT_TRUE(restartValues.empty());  // no pulse after the last attempt
    EXPECT_EQ(clock.SleptMs(), 14u * 10u);
}

TEST_F(ControllerDataTransfers, FrameHeaderSucceedsAfterLostHeaders) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    camera->QueueBulkIn({{}, kIoGenFailure});
    camera->QueueBulkIn({std::vector<uint8_t>(10, 0)});  // a short header does not count
    camera->QueueBulkIn({Header(64, 7)});
    TransferRecord record{};
    ASSERT_EQ(controller->ReadFrameHeader(&record), 1);
    EXPECT_EQ(record.frameCounter, 7u);
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::BulkIn), 3);
}

TEST_F(ControllerDataTransfers, FramePayloadArrivesWholeInHalfMebibytePieces) {
    const uint32_t size = 2 * 524288 + 1234;
    std::vector<uint8_t> payload(size);
    for (uint32_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>(i * 7 + (i >> 16));
    camera->QueueBulkIn({std::vector<uint8_t>(payload.begin(), payload.begin() + 524288)});
    camera->QueueBulkIn(
        {std::vector<uint8_t>(payload.begin() + 524288, payload.begin() + 1048576)});
    camera->QueueBulkIn({std::vector<uint8_t>(payload.begin() + 1048576, payload.end())});
    std::vector<uint8_t> destination(size + 100, 0xEE);
    TransferRecord record{};
    std::memcpy(record.header, Header(size, 1).data(), 64);
    record.destination = destination.data();
    record.capacity = static_cast<uint32_t>(destination.size());
    ASSERT_EQ(controller->ReadFrameData(&record, 3000), 1);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), destination.begin()));
    EXPECT_EQ(destination[size], 0xEE);
    auto reads = Events(WireEvent::Kind::BulkIn);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[0].length, 524288u);
    EXPECT_EQ(reads[1].length, 524288u);
    EXPECT_EQ(reads[2].length, 1234u);
}

TEST_F(ControllerDataTransfers, FramePayloadLargerThanTheCapacityIsRefused) {
    std::vector<uint8_t> destination(1000);
    TransferRecord record{};
    std::memcpy(record.header, Header(1001, 1).data(), 64);
    record.destination = destination.data();
    record.capacity = 1000;
    EXPECT_EQ(controller->ReadFrameData(&record, 3000), 0);
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::BulkIn), 0);
}

TEST_F(ControllerDataTransfers, TimedOutDirectTransferAbortsThePipeAndFails) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    auto handle = controller->OpenDevice(0, true);
    std::vector<uint8_t> buffer(4096);
    uint32_t received = 0;
    // Nothing scripted: the read stays pending until the pipe is aborted.
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 4096, 0x81, &received, 400), 0);
    auto aborts = Events(WireEvent::Kind::AbortPipe);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].endpoint, 0x81);
    EXPECT_EQ(camera->PendingTransfers(), 0);  // waited for before returning

    TransferRecord record{};
    record.destination = buffer.data();
    record.capacity = 4096;
    std::memcpy(record.header, Header(4096, 1).data(), 64);
    EXPECT_EQ(controller->ReadFrameData(&record, 400), 0);
    EXPECT_EQ(Events(WireEvent::Kind::AbortPipe).size(), 2u);
    EXPECT_EQ(camera->PendingTransfers(), 0);
}

TEST_F(ControllerDataTransfers, TimedOutWriteAbortsItsOwnEndpoint) {
    platform::ManualClock clock;
    platform::ScopedClockOverride use(clock);
    auto handle = controller->OpenDevice(0, true);
    // An IN read on 0x83 that never completes stands in for any stuck non-0x81 pipe.
    std::vector<uint8_t> buffer(16);
    uint32_t received = 0;
    EXPECT_EQ(controller->ReadDirect(handle.get(), buffer.data(), 16, 0x83, &received, 100), 0);
    auto aborts = Events(WireEvent::Kind::AbortPipe);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].endpoint, 0x83);
    EXPECT_EQ(camera->PendingTransfers(), 0);
}

TEST_F(ControllerDataTransfers, AbortDataPipeReleasesAPendingRead) {
    std::vector<uint8_t> buffer(64);
    TransferRecord record{};
    std::thread reader([&] { EXPECT_EQ(controller->ReadFrameHeader(&record), 0); });
    while (camera->PendingTransfers() == 0) std::this_thread::yield();
    EXPECT_EQ(controller->AbortDataPipe(), 1);
    // The aborted read failed, and the header phase did not start its attempts over.
    reader.join();
    EXPECT_EQ(camera->CountOf(WireEvent::Kind::BulkIn), 1);
    EXPECT_EQ(camera->PendingTransfers(), 0);
}

TEST_F(ControllerDataTransfers, MemoryReadSendsCommandsAndNeverWritesPastTheBuffer) {
    const uint32_t size = 5000;  // the device moves 8192 bytes for this
    std::vector<uint8_t> device(8192);
    for (size_t i = 0; i < device.size(); ++i) device[i] = static_cast<uint8_t>(i);
    camera->QueueBulkIn({device});
    std::vector<uint8_t> data(size + 16, 0xEE);
    ASSERT_EQ(controller->ReadMemory(0x123456789A, data.data(), size), 1);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + size, device.begin()));
    EXPECT_EQ(data[size], 0xEE);
    auto commands = Events(WireEvent::Kind::BulkOut);
    ASSERT_EQ(commands.size(), 1u);
    ASSERT_EQ(commands[0].data.size(), 32u);
    EXPECT_EQ(commands[0].endpoint, 0x01);
    EXPECT_EQ(std::string(commands[0].data.begin(), commands[0].data.begin() + 4), "AU3R");
    EXPECT_EQ(LoadLe32(commands[0].data.data() + 4), 2u);
    EXPECT_EQ(LoadLe64(commands[0].data.data() + 8), 0x123456789Aull);
    EXPECT_EQ(LoadLe32(commands[0].data.data() + 16), 8192u);
}

TEST_F(ControllerDataTransfers, MemoryReadFailsOnAShortPiece) {
    camera->QueueBulkIn({std::vector<uint8_t>(4000)});
    std::vector<uint8_t> data(100);
    EXPECT_EQ(controller->ReadMemory(0, data.data(), 100), 0);
}

TEST_F(ControllerDataTransfers, MemoryWriteSendsCommandThenZeroPaddedData) {
    std::vector<uint8_t> data(100, 0x42);
    ASSERT_EQ(controller->WriteMemory(0x2000, data.data(), 100), 1);
    auto out = Events(WireEvent::Kind::BulkOut);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(std::string(out[0].data.begin(), out[0].data.begin() + 4), "AU3W");
    EXPECT_EQ(LoadLe64(out[0].data.data() + 8), 0x2000u);
    EXPECT_EQ(LoadLe32(out[0].data.data() + 16), 4096u);
    ASSERT_EQ(out[1].data.size(), 4096u);
    EXPECT_EQ(out[1].data[99], 0x42);
    EXPECT_EQ(out[1].data[100], 0x00);
}

TEST_F(ControllerDataTransfers, StreamReadReadsWholeSixteenKibibyteUnits) {
    camera->QueueBulkIn({std::vector<uint8_t>(32768, 9)});
    std::vector<uint8_t> destination(32768);
    TransferRecord record{};
    record.destination = destination.data();
    record.capacity = 32768;
    uint32_t size = 20000;
    ASSERT_EQ(controller->ReadStream(&record, &size, 3000), 1);
    EXPECT_EQ(size, 32768u);
    auto commands = Events(WireEvent::Kind::BulkOut);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LoadLe64(commands[0].data.data() + 8), 0u);
    EXPECT_EQ(LoadLe32(commands[0].data.data() + 16), 32768u);
    // A stream that would not fit the destination is refused before any I/O.
    size = 32768;  // rounds up to 49152
    EXPECT_EQ(controller->ReadStream(&record, &size, 3000), 0);
    EXPECT_EQ(Events(WireEvent::Kind::BulkOut).size(), 1u);
}

TEST_F(ControllerDataTransfers, AuxStreamReadsArmedFromEndpoint83) {
    camera->QueueBulkIn({std::vector<uint8_t>(256, 3)});
    std::vector<uint8_t> destination(256);
    TransferRecord record{};
    record.destination = destination.data();
    record.capacity = 256;
    record.auxLength = 256;
    ASSERT_EQ(controller->ReadAuxStream(&record), 1);
    EXPECT_EQ(destination[255], 3);
    auto reads = Events(WireEvent::Kind::BulkIn);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].endpoint, 0x83);
}

TEST_F(ControllerDataTransfers, BufferedTransferCopiesTheReceivedBytes) {
    auto handle = controller->OpenDevice(0, true);
    camera->QueueBulkIn({std::vector<uint8_t>(50, 0x31)});
    std::vector<uint8_t> data(100, 0);
    uint32_t received = 0;
    ASSERT_EQ(controller->TransferBuffered(handle.get(), data.data(), 100, 0x81, &received), 1);
    EXPECT_EQ(received, 50u);
    EXPECT_EQ(data[49], 0x31);
    EXPECT_EQ(data[50], 0x00);
    auto reads = Events(WireEvent::Kind::BulkIn);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].length, 100u);
}

}  // namespace
}  // namespace korvix::controller::test
