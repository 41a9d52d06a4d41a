#include "platform/usb/DriverRecords.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb {
namespace {

std::array<uint8_t, kControlBufferSize> ControlBuffer(uint8_t type, uint8_t request, uint16_t value,
                                                      uint16_t index) {
    std::array<uint8_t, kControlBufferSize> buffer{};
    EncodeTransferHeader(MakeControlHeader(type, request, value, index), buffer.data());
    return buffer;
}

TEST(PlatformUsbRecords, ControlHeaderHasTheDriversByteLayout) {
    auto buffer = ControlBuffer(0x40, 0x30, 0x0003, 0x0040);
    const uint8_t expected[kTransferHeaderSize] = {
        0x40, 0x30,                          // request type, request
        0x03, 0x00, 0x40, 0x00,              // value, index
        102,  0x00,                          // length: the whole 102-byte buffer
        3,    0,    0,    0,                 // timeout 3 s
        0,    0,                             // reserved, endpoint 0
        0,    0,    0,    0,    0, 0, 0, 0,  // NT and USBD status
        0,    0,    0,    0,    0, 0, 0, 0,  // isochronous offset and length
        38,   0,    0,    0,                 // buffer offset
        64,   0,    0,    0};                // buffer length
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + kTransferHeaderSize),
              std::vector<uint8_t>(expected, expected + kTransferHeaderSize));
}

TEST(PlatformUsbRecords, HeaderRoundTripsEveryField) {
    TransferHeader h{0xC0, 0xD1,       0x1234,     0xABCD, 102, 7,  9,
                     0x81, 0xC0000001, 0xC0010000, 11,     12,  38, 0x4000000};
    uint8_t bytes[kTransferHeaderSize];
    EncodeTransferHeader(h, bytes);
    EXPECT_EQ(DecodeTransferHeader(bytes), h);
    EXPECT_EQ(bytes[kHeaderEndpoint], 0x81);
    EXPECT_EQ(LoadLe32(bytes + kHeaderBufferLength), 0x4000000u);
}

TEST(PlatformUsbRecords, ControlReadDecodesToSetupPacketWithSixtyFourByteDataStage) {
    auto buffer = ControlBuffer(0xC0, 0xB0, 0, 0);
    DecodedRequest request;
    ASSERT_EQ(
        DecodeRequest(kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102, &request),
        kIoSuccess);
    EXPECT_EQ(request.kind, RequestKind::ControlTransfer);
    EXPECT_EQ(request.setup.requestType, 0xC0);
    EXPECT_EQ(request.setup.request, 0xB0);
    EXPECT_EQ(request.setup.length, 64);
    EXPECT_TRUE(request.IsIn());
    EXPECT_EQ(request.data, buffer.data() + 38);
    EXPECT_EQ(request.dataLength, 64u);
    EXPECT_EQ(request.timeoutMs, 3000u);
}

TEST(PlatformUsbRecords, ControlCompletionReportsHeaderPlusDataAndStatuses) {
    auto buffer = ControlBuffer(0xC0, 0xC3, 0, 0);
    DecodedRequest request;
    ASSERT_EQ(
        DecodeRequest(kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102, &request),
        kIoSuccess);
    uint32_t returned = 0;
    EXPECT_EQ(CompleteRequest(request, kIoSuccess, 64, &returned), kIoSuccess);
    EXPECT_EQ(returned, 102u);
    EXPECT_EQ(LoadLe32(buffer.data() + kHeaderNtStatus), 0u);

    EXPECT_EQ(CompleteRequest(request, kIoGenFailure, 64, &returned), kIoGenFailure);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(LoadLe32(buffer.data() + kHeaderNtStatus), kNtStatusUnsuccessful);
    EXPECT_EQ(LoadLe32(buffer.data() + kHeaderUsbdStatus), kUsbdStatusStall);
}

TEST(PlatformUsbRecords, ControlRecordIsCopiedToASeparateOutputBuffer) {
    auto in = ControlBuffer(0xC0, 0x31, 2, 0x41);
    std::array<uint8_t, kControlBufferSize> out{};
    DecodedRequest request;
    ASSERT_EQ(DecodeRequest(kIoctlControlTransfer, in.data(), 102, out.data(), 102, &request),
              kIoSuccess);
    request.data[0] = 0x5A;
    request.data[1] = 0xA5;
    uint32_t returned = 0;
    CompleteRequest(request, kIoSuccess, 2, &returned);
    EXPECT_EQ(returned, 40u);
    EXPECT_EQ(out[38], 0x5A);
    EXPECT_EQ(out[39], 0xA5);
    EXPECT_EQ(out[kHeaderRequest], 0x31);
}

TEST(PlatformUsbRecords, MalformedRecordsAreRejected) {
    auto buffer = ControlBuffer(0x40, 0x30, 1, 0x40);
    DecodedRequest request;
    // Too short for the data area the header announces.
    EXPECT_EQ(
        DecodeRequest(kIoctlControlTransfer, buffer.data(), 101, buffer.data(), 102, &request),
        kIoInvalidParameter);
    EXPECT_EQ(DecodeRequest(kIoctlControlTransfer, buffer.data(), 102, nullptr, 0, &request),
              kIoInvalidParameter);
    EXPECT_EQ(DecodeRequest(kIoctlControlTransfer, nullptr, 102, buffer.data(), 102, &request),
              kIoInvalidParameter);
    // A buffer offset other than 38 is not a record the driver knows.
    StoreLe32(buffer.data() + kHeaderBufferOffset, 40);
    EXPECT_EQ(
        DecodeRequest(kIoctlControlTransfer, buffer.data(), 102, buffer.data(), 102, &request),
        kIoInvalidParameter);
    EXPECT_EQ(DecodeRequest(0x220000, buffer.data(), 102, buffer.data(), 102, &request),
              kIoInvalidFunction);
    uint8_t header[kTransferHeaderSize] = {};
    uint8_t data[16];
    // A direct transfer needs an endpoint.
    EXPECT_EQ(DecodeRequest(kIoctlDirectTransfer, header, 38, data, 16, &request),
              kIoInvalidParameter);
    EXPECT_EQ(DecodeRequest(kIoctlAbortPipe, header, 0, nullptr, 0, &request), kIoInvalidParameter);
    EXPECT_EQ(DecodeRequest(kIoctlGetDeviceSpeed, data, 4, data, 3, &request), kIoInvalidParameter);
}

TEST(PlatformUsbRecords, DirectTransferUsesTheWholeOutputBufferAndReportsDataBytesOnly) {
    uint8_t header[kTransferHeaderSize];
    EncodeTransferHeader(MakeDirectHeader(0x81), header);
    std::vector<uint8_t> data(524288);
    DecodedRequest request;
    ASSERT_EQ(DecodeRequest(kIoctlDirectTransfer, header, 38, data.data(), 524288, &request),
              kIoSuccess);
    EXPECT_EQ(request.kind, RequestKind::BulkTransfer);
    EXPECT_EQ(request.endpoint, 0x81);
    EXPECT_TRUE(request.IsIn());
    EXPECT_EQ(request.data, data.data());
    EXPECT_EQ(request.dataLength, 524288u);
    EXPECT_EQ(request.timeoutMs, 0u);
    uint32_t returned = 0;
    CompleteRequest(request, kIoSuccess, 1000, &returned);
    EXPECT_EQ(returned, 1000u);

    CompleteRequest(request, kIoOperationAborted, 0, &returned);
    EXPECT_EQ(LoadLe32(header + kHeaderNtStatus), kNtStatusCancelled);
    EXPECT_EQ(LoadLe32(header + kHeaderUsbdStatus), kUsbdStatusCanceled);
}

TEST(PlatformUsbRecords, DirectTransferToTheOutEndpointSendsFromTheOutputBuffer) {
    uint8_t header[kTransferHeaderSize];
    EncodeTransferHeader(MakeDirectHeader(0x01), header);
    uint8_t command[32] = {'A', 'U', '3', 'R'};
    DecodedRequest request;
    ASSERT_EQ(DecodeRequest(kIoctlDirectTransfer, header, 38, command, 32, &request), kIoSuccess);
    EXPECT_FALSE(request.IsIn());
    EXPECT_EQ(request.data, command);
    EXPECT_EQ(request.dataLength, 32u);
}

TEST(PlatformUsbRecords, BufferedTransferCarriesDataBehindTheHeader) {
    std::vector<uint8_t> staging(38 + 100);
    EncodeTransferHeader(MakeBufferedHeader(0x81, 100), staging.data());
    DecodedRequest request;
    ASSERT_EQ(
        DecodeRequest(kIoctlBufferedTransfer, staging.data(), 138, staging.data(), 138, &request),
        kIoSuccess);
    EXPECT_EQ(request.data, staging.data() + 38);
    EXPECT_EQ(request.dataLength, 100u);
    EXPECT_EQ(request.endpoint, 0x81);
    uint32_t returned = 0;
    CompleteRequest(request, kIoSuccess, 60, &returned);
    EXPECT_EQ(returned, 98u);
    // The header's announced length may not exceed the buffers.
    EXPECT_EQ(
        DecodeRequest(kIoctlBufferedTransfer, staging.data(), 137, staging.data(), 138, &request),
        kIoInvalidParameter);
}

TEST(PlatformUsbRecords, PipeAndPortRequestsDecode) {
    uint8_t endpoint = 0x81;
    DecodedRequest request;
    ASSERT_EQ(DecodeRequest(kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &request), kIoSuccess);
    EXPECT_EQ(request.kind, RequestKind::AbortPipe);
    EXPECT_EQ(request.endpoint, 0x81);
    ASSERT_EQ(DecodeRequest(kIoctlResetPipe, &endpoint, 1, nullptr, 0, &request), kIoSuccess);
    EXPECT_EQ(request.kind, RequestKind::ResetPipe);
    ASSERT_EQ(DecodeRequest(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &request), kIoSuccess);
    EXPECT_EQ(request.kind, RequestKind::ResetParentPort);

    uint8_t speed[4] = {};
    ASSERT_EQ(DecodeRequest(kIoctlGetDeviceSpeed, speed, 4, speed, 4, &request), kIoSuccess);
    StoreDeviceSpeed(request, kSpeedSuper);
    uint32_t returned = 0;
    CompleteRequest(request, kIoSuccess, 4, &returned);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(LoadLe32(speed), 4u);
}

TEST(PlatformUsbRecords, LittleEndianHelpersRoundTrip) {
    uint8_t bytes[8];
    StoreLe64(bytes, 0x0102030405060708ull);
    EXPECT_EQ(bytes[0], 0x08);
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(LoadLe64(bytes), 0x0102030405060708ull);
    StoreLe16(bytes, 0xBEEF);
    EXPECT_EQ(LoadLe16(bytes), 0xBEEF);
}

}  // namespace
}  // namespace korvix::platform::usb
