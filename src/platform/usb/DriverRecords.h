#pragma once

// The IOCTL codes and request records the FX3 driver exchanges with the controller, and the
// one decoder that turns a record into the USB operation a backend performs. Pure code: no
// OS or port calls, so both sides are unit-tested byte for byte.

#include <cstddef>
#include <cstdint>

namespace korvix::platform::usb {

// IOCTL codes of the FX3 driver.
inline constexpr uint32_t kIoctlControlTransfer = 0x220020;   // 102-byte control buffer
inline constexpr uint32_t kIoctlBufferedTransfer = 0x220024;  // header + data, one buffer
inline constexpr uint32_t kIoctlDirectTransfer = 0x22004B;    // header in, data buffer out
inline constexpr uint32_t kIoctlAbortPipe = 0x220044;         // in: 1 byte endpoint
inline constexpr uint32_t kIoctlResetPipe = 0x22002C;         // in: 1 byte endpoint
inline constexpr uint32_t kIoctlResetParentPort = 0x220030;   // no buffers
inline constexpr uint32_t kIoctlGetDeviceSpeed = 0x22004C;    // out: 4 bytes speed code

// Link speed codes of kIoctlGetDeviceSpeed.
inline constexpr uint32_t kSpeedLow = 1;
inline constexpr uint32_t kSpeedFull = 2;
inline constexpr uint32_t kSpeedHigh = 3;   // USB 2.0
inline constexpr uint32_t kSpeedSuper = 4;  // USB 3.0 SuperSpeed

// Endpoints of the camera.
inline constexpr uint8_t kEndpointBulkOut = 0x01;  // memory commands, memory-write data
inline constexpr uint8_t kEndpointBulkIn = 0x81;   // frame headers, frame data, memory reads
inline constexpr uint8_t kEndpointAuxIn = 0x83;    // auxiliary stream

// Transfer header: 38 bytes, little-endian, packed. Offsets of its fields:
inline constexpr size_t kTransferHeaderSize = 38;
inline constexpr size_t kHeaderRequestType = 0;    // uint8 bmRequestType
inline constexpr size_t kHeaderRequest = 1;        // uint8 bRequest
inline constexpr size_t kHeaderValue = 2;          // uint16 wValue
inline constexpr size_t kHeaderIndex = 4;          // uint16 wIndex
inline constexpr size_t kHeaderLength = 6;         // uint16: size of the whole record
inline constexpr size_t kHeaderTimeout = 8;        // uint32 seconds, 0 = no limit
inline constexpr size_t kHeaderReserved = 12;      // uint8
inline constexpr size_t kHeaderEndpoint = 13;      // uint8 endpoint address, 0 = EP0
inline constexpr size_t kHeaderNtStatus = 14;      // uint32, written by the driver
inline constexpr size_t kHeaderUsbdStatus = 18;    // uint32, written by the driver
inline constexpr size_t kHeaderIsoOffset = 22;     // uint32, always 0
inline constexpr size_t kHeaderIsoLength = 26;     // uint32, always 0
inline constexpr size_t kHeaderBufferOffset = 30;  // uint32: 38 when data follows, else 0
inline constexpr size_t kHeaderBufferLength = 34;  // uint32: bytes of data that follow

// Control buffer: the header followed by a 64-byte data area; its length field holds 102.
inline constexpr size_t kControlDataSize = 64;
inline constexpr size_t kControlBufferSize = kTransferHeaderSize + kControlDataSize;
inline constexpr uint32_t kControlTimeoutSeconds = 3;

// Driver status words written into a completed header.
inline constexpr uint32_t kNtStatusSuccess = 0;
inline constexpr uint32_t kNtStatusUnsuccessful = 0xC0000001;
inline constexpr uint32_t kNtStatusIoTimeout = 0xC00000B5;
inline constexpr uint32_t kNtStatusCancelled = 0xC0000120;
inline constexpr uint32_t kUsbdStatusSuccess = 0;
inline constexpr uint32_t kUsbdStatusStall = 0xC0000004;
inline constexpr uint32_t kUsbdStatusTimeout = 0xC0006000;
inline constexpr uint32_t kUsbdStatusCanceled = 0xC0010000;

// The fields of a transfer header.
struct TransferHeader {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    uint32_t timeoutSeconds = 0;
    uint8_t reserved = 0;
    uint8_t endpoint = 0;
    uint32_t ntStatus = 0;
    uint32_t usbdStatus = 0;
    uint32_t isoPacketOffset = 0;
    uint32_t isoPacketLength = 0;
    uint32_t bufferOffset = 0;
    uint32_t bufferLength = 0;

    friend bool operator==(const TransferHeader &, const TransferHeader &) = default;
};

void EncodeTransferHeader(const TransferHeader &header, uint8_t *out38);
TransferHeader DecodeTransferHeader(const uint8_t *in38);

// The headers the controller sends.
// Control request: length 102, timeout 3 s, endpoint 0, buffer offset 38, buffer length 64.
TransferHeader MakeControlHeader(uint8_t requestType, uint8_t request, uint16_t value,
                                 uint16_t index);
// Direct transfer: all zero except the endpoint.
TransferHeader MakeDirectHeader(uint8_t endpoint);
// Buffered transfer: endpoint, buffer offset 38, buffer length = data length.
TransferHeader MakeBufferedHeader(uint8_t endpoint, uint32_t length);

// The USB setup packet of a control transfer. length is the data stage length (wLength).
struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;

    bool IsDeviceToHost() const { return (requestType & 0x80) != 0; }
};

enum class RequestKind {
    ControlTransfer,  // setup + data stage of `dataLength` bytes at `data`
    BulkTransfer,     // `dataLength` bytes at `data` to or from `endpoint`
    AbortPipe,        // cancel every pending transfer on `endpoint` of the device
    ResetPipe,        // clear the halt of `endpoint`
    ResetParentPort,  // reset the device on its port
    GetDeviceSpeed,   // report the link speed code with StoreDeviceSpeed()
};

// One record decoded into the operation it asks for. The pointers borrow the caller's
// buffers and stay valid as long as the request is in flight.
struct DecodedRequest {
    RequestKind kind = RequestKind::ResetParentPort;
    uint32_t code = 0;
    SetupPacket setup;        // ControlTransfer only
    uint8_t endpoint = 0;     // BulkTransfer, AbortPipe, ResetPipe
    uint8_t *data = nullptr;  // data stage (ControlTransfer, BulkTransfer, GetDeviceSpeed)
    uint32_t dataLength = 0;
    uint32_t timeoutMs = 0;     // 0 = no limit
    uint8_t *header = nullptr;  // the caller's header; completion writes its statuses here
    uint8_t *out = nullptr;     // the caller's output buffer (record copied back for EP0)
    uint32_t outSize = 0;

    // Direction of the data stage: device to host (IN).
    bool IsIn() const;
};

// Decodes one IoControl call. Returns kIoSuccess (0) and fills *request, or
// kIoInvalidFunction for an unknown code, or kIoInvalidParameter for a malformed record or
// a buffer too small for it. Rules:
//  - control: in holds the 102-byte buffer; the data stage is the header's buffer length
//    (64) at the buffer offset (38); the length field (102) is the record size and is not
//    put on the wire; out must hold the same 102 bytes (it may be the same buffer);
//  - buffered: in holds header + data (buffer offset 38, buffer length = data length), out
//    at least as much; direction from the endpoint's bit 7;
//  - direct: in holds the 38-byte header (endpoint at 13); the data is the whole out
//    buffer, read into for IN endpoints and sent from for OUT endpoints;
//  - abort pipe, reset pipe: in holds at least one byte, the endpoint;
//  - reset parent port: no buffers; get device speed: out of at least 4 bytes.
uint32_t DecodeRequest(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       DecodedRequest *request);

// Finishes a decoded request after the backend performed it. error is kIoSuccess or the
// IoError of the failure; transferred is the data-stage byte count. Writes the driver
// statuses into the header (control, buffered, direct), copies the control or buffered
// record to out when out is another buffer, and sets *bytesReturned to what the caller's
// DeviceIoControl reports: 38 + transferred for control and buffered transfers,
// transferred for direct transfers, 4 for the device speed, 0 otherwise and on failure.
// Returns error.
uint32_t CompleteRequest(const DecodedRequest &request, uint32_t error, uint32_t transferred,
                         uint32_t *bytesReturned);

// Writes the speed code into a GetDeviceSpeed request's output (before CompleteRequest).
void StoreDeviceSpeed(const DecodedRequest &request, uint32_t speedCode);

// Little-endian access used by the records and the controller.
uint16_t LoadLe16(const uint8_t *p);
uint32_t LoadLe32(const uint8_t *p);
uint64_t LoadLe64(const uint8_t *p);
void StoreLe16(uint8_t *p, uint16_t v);
void StoreLe32(uint8_t *p, uint32_t v);
void StoreLe64(uint8_t *p, uint64_t v);

}  // namespace korvix::platform::usb
