#include "platform/usb/DriverRecords.h"

#include <cstring>

#include "platform/usb/DriverPort.h"

namespace korvix::platform::usb {

uint16_t LoadLe16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t LoadLe32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t LoadLe64(const uint8_t *p) {
    return static_cast<uint64_t>(LoadLe32(p)) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32);
}

void StoreLe16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void StoreLe32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void StoreLe64(uint8_t *p, uint64_t v) {
    StoreLe32(p, static_cast<uint32_t>(v));
    StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

void EncodeTransferHeader(const TransferHeader &h, uint8_t *out) {
    out[kHeaderRequestType] = h.requestType;
    out[kHeaderRequest] = h.request;
    StoreLe16(out + kHeaderValue, h.value);
    StoreLe16(out + kHeaderIndex, h.index);
    StoreLe16(out + kHeaderLength, h.length);
    StoreLe32(out + kHeaderTimeout, h.timeoutSeconds);
    out[kHeaderReserved] = h.reserved;
    out[kHeaderEndpoint] = h.endpoint;
    StoreLe32(out + kHeaderNtStatus, h.ntStatus);
    StoreLe32(out + kHeaderUsbdStatus, h.usbdStatus);
    StoreLe32(out + kHeaderIsoOffset, h.isoPacketOffset);
    StoreLe32(out + kHeaderIsoLength, h.isoPacketLength);
    StoreLe32(out + kHeaderBufferOffset, h.bufferOffset);
    StoreLe32(out + kHeaderBufferLength, h.bufferLength);
}

TransferHeader DecodeTransferHeader(const uint8_t *in) {
    TransferHeader h;
    h.requestType = in[kHeaderRequestType];
    h.request = in[kHeaderRequest];
    h.value = LoadLe16(in + kHeaderValue);
    h.index = LoadLe16(in + kHeaderIndex);
    h.length = LoadLe16(in + kHeaderLength);
    h.timeoutSeconds = LoadLe32(in + kHeaderTimeout);
    h.reserved = in[kHeaderReserved];
    h.endpoint = in[kHeaderEndpoint];
    h.ntStatus = LoadLe32(in + kHeaderNtStatus);
    h.usbdStatus = LoadLe32(in + kHeaderUsbdStatus);
    h.isoPacketOffset = LoadLe32(in + kHeaderIsoOffset);
    h.isoPacketLength = LoadLe32(in + kHeaderIsoLength);
    h.bufferOffset = LoadLe32(in + kHeaderBufferOffset);
    h.bufferLength = LoadLe32(in + kHeaderBufferLength);
    return h;
}

TransferHeader MakeControlHeader(uint8_t requestType, uint8_t request, uint16_t value,
                                 uint16_t index) {
    TransferHeader h;
    h.requestType = requestType;
    h.request = request;
    h.value = value;
    h.index = index;
    h.length = kControlBufferSize;
    h.timeoutSeconds = kControlTimeoutSeconds;
    h.bufferOffset = kTransferHeaderSize;
    h.bufferLength = kControlDataSize;
    return h;
}

TransferHeader MakeDirectHeader(uint8_t endpoint) {
    TransferHeader h;
    h.endpoint = endpoint;
    return h;
}

TransferHeader MakeBufferedHeader(uint8_t endpoint, uint32_t length) {
    TransferHeader h;
    h.endpoint = endpoint;
    h.bufferOffset = kTransferHeaderSize;
    h.bufferLength = length;
    return h;
}

bool DecodedRequest::IsIn() const {
    if (kind == RequestKind::ControlTransfer) return setup.IsDeviceToHost();
    return (endpoint & 0x80) != 0;
}

namespace {

// Control and buffered records carry their data behind the header in the input buffer and
// return the whole record in the output buffer.
uint32_t DecodeRecordWithData(uint8_t *in, uint32_t inSize, uint8_t *out, uint32_t outSize,
                              DecodedRequest *request) {
    if (in == nullptr || inSize < kTransferHeaderSize) return kIoInvalidParameter;
    TransferHeader h = DecodeTransferHeader(in);
    if (h.bufferOffset != kTransferHeaderSize) return kIoInvalidParameter;
    uint64_t recordSize = uint64_t{kTransferHeaderSize} + h.bufferLength;
    if (recordSize > inSize || out == nullptr || recordSize > outSize) return kIoInvalidParameter;
    request->header = in;
    request->data = in + kTransferHeaderSize;
    request->dataLength = h.bufferLength;
    request->timeoutMs = h.timeoutSeconds * 1000;
    request->out = out;
    request->outSize = outSize;
    request->endpoint = h.endpoint;
    return kIoSuccess;
}

uint32_t DecodeControl(uint8_t *in, uint32_t inSize, uint8_t *out, uint32_t outSize,
                       DecodedRequest *request) {
    uint32_t error = DecodeRecordWithData(in, inSize, out, outSize, request);
    if (error != kIoSuccess) return error;
    TransferHeader h = DecodeTransferHeader(in);
    if (h.endpoint != 0 || h.bufferLength > 0xFFFF) return kIoInvalidParameter;
    request->kind = RequestKind::ControlTransfer;
    request->setup = {h.requestType, h.request, h.value, h.index,
                      static_cast<uint16_t>(h.bufferLength)};
    return kIoSuccess;
}

uint32_t DecodeBuffered(uint8_t *in, uint32_t inSize, uint8_t *out, uint32_t outSize,
                        DecodedRequest *request) {
    uint32_t error = DecodeRecordWithData(in, inSize, out, outSize, request);
    if (error != kIoSuccess) return error;
    if (request->endpoint == 0) return kIoInvalidParameter;
    request->kind = RequestKind::BulkTransfer;
    return kIoSuccess;
}

uint32_t DecodeDirect(uint8_t *in, uint32_t inSize, uint8_t *out, uint32_t outSize,
                      DecodedRequest *request) {
    if (in == nullptr || inSize < kTransferHeaderSize) return kIoInvalidParameter;
    if (out == nullptr && outSize != 0) return kIoInvalidParameter;
    TransferHeader h = DecodeTransferHeader(in);
    if (h.endpoint == 0) return kIoInvalidParameter;
    request->kind = RequestKind::BulkTransfer;
    request->header = in;
    request->endpoint = h.endpoint;
    request->data = out;
    request->dataLength = outSize;
    request->timeoutMs = h.timeoutSeconds * 1000;
    return kIoSuccess;
}

uint32_t DecodeEndpointRequest(RequestKind kind, uint8_t *in, uint32_t inSize,
                               DecodedRequest *request) {
    if (in == nullptr || inSize < 1) return kIoInvalidParameter;
    request->kind = kind;
    request->endpoint = in[0];
    return kIoSuccess;
}

}  // namespace

uint32_t DecodeRequest(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       DecodedRequest *request) {
    if (request == nullptr) return kIoInvalidParameter;
    *request = DecodedRequest{};
    request->code = code;
    auto *inBytes = static_cast<uint8_t *>(in);
    auto *outBytes = static_cast<uint8_t *>(out);
    switch (code) {
        case kIoctlControlTransfer:
            return DecodeControl(inBytes, inSize, outBytes, outSize, request);
        case kIoctlBufferedTransfer:
            return DecodeBuffered(inBytes, inSize, outBytes, outSize, request);
        case kIoctlDirectTransfer:
            return DecodeDirect(inBytes, inSize, outBytes, outSize, request);
        case kIoctlAbortPipe:
            return DecodeEndpointRequest(RequestKind::AbortPipe, inBytes, inSize, request);
        case kIoctlResetPipe:
            return DecodeEndpointRequest(RequestKind::ResetPipe, inBytes, inSize, request);
        case kIoctlResetParentPort:
            request->kind = RequestKind::ResetParentPort;
            return kIoSuccess;
        case kIoctlGetDeviceSpeed:
            if (outBytes == nullptr || outSize < 4) return kIoInvalidParameter;
            request->kind = RequestKind::GetDeviceSpeed;
            request->data = outBytes;
            request->dataLength = 4;
            return kIoSuccess;
        default:
            return kIoInvalidFunction;
    }
}

namespace {

void WriteStatuses(uint8_t *header, uint32_t error) {
    uint32_t nt = kNtStatusSuccess;
    uint32_t usbd = kUsbdStatusSuccess;
    switch (error) {
        case kIoSuccess:
            break;
        case kIoOperationAborted:
            nt = kNtStatusCancelled;
            usbd = kUsbdStatusCanceled;
            break;
        case kIoSemTimeout:
            nt = kNtStatusIoTimeout;
            usbd = kUsbdStatusTimeout;
            break;
        default:
            nt = kNtStatusUnsuccessful;
            usbd = kUsbdStatusStall;
            break;
    }
    StoreLe32(header + kHeaderNtStatus, nt);
    StoreLe32(header + kHeaderUsbdStatus, usbd);
}

}  // namespace

uint32_t CompleteRequest(const DecodedRequest &request, uint32_t error, uint32_t transferred,
                         uint32_t *bytesReturned) {
    if (transferred > request.dataLength) transferred = request.dataLength;
    uint32_t reported = 0;
    switch (request.kind) {
        case RequestKind::ControlTransfer:
        case RequestKind::BulkTransfer: {
            WriteStatuses(request.header, error);
            bool recordWithData = request.code != kIoctlDirectTransfer;
            if (recordWithData) {
                reported = kTransferHeaderSize + transferred;
                uint32_t recordSize = kTransferHeaderSize + request.dataLength;
                if (request.out != request.header) {
                    std::memmove(request.out, request.header, recordSize);
                }
            } else {
                reported = transferred;
            }
            break;
        }
        case RequestKind::GetDeviceSpeed:
            reported = 4;
            break;
        default:
            break;
    }
    if (bytesReturned != nullptr) *bytesReturned = error == kIoSuccess ? reported : 0;
    return error;
}

void StoreDeviceSpeed(const DecodedRequest &request, uint32_t speedCode) {
    if (request.kind == RequestKind::GetDeviceSpeed) StoreLe32(request.data, speedCode);
}

}  // namespace korvix::platform::usb
