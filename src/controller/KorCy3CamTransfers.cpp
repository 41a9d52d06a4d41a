// The data face of the controller: bulk transfers on the data handle, frame headers and
// frame data, memory and stream commands.

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "controller/KorCy3Cam.h"
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::controller {

using namespace platform::usb;

namespace {

constexpr int kOk = 1;
constexpr int kFailed = 0;

constexpr uint32_t kArmedReadLimitMs = 5000;
constexpr uint32_t kTransferLimitMs = 3000;
constexpr uint32_t kAbortSettleMs = 50;
constexpr uint32_t kHeaderReadLimitMs = 400;
constexpr uint32_t kHeaderReadAttempts = 15;
constexpr uint8_t kRestartRegister = 0x6C;
constexpr uint32_t kRestartSettleMs = 10;
constexpr uint32_t kFramePiece = 524288;      // 512 KiB
constexpr uint32_t kMemoryPiece = 0x1000000;  // 16 MiB
constexpr uint32_t kStreamPiece = 0x400000;   // 4 MiB
constexpr uint32_t kMemoryGranule = 4096;
constexpr int kStreamGranuleShift = 14;  // 16 KiB
constexpr size_t kFrameLengthAt = 16;
constexpr size_t kFrameCounterAt = 32;
constexpr size_t kMemoryCommandSize = 32;

// Aborts `endpoint` on `handle` and returns when the abort request has finished; by then
// every transfer it cancelled has completed.
void AbortPipe(DeviceFile &handle, uint8_t endpoint) {
    uint32_t returned = 0;
    handle.IoControl(kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned);
}

// Waits for a transfer the caller has given up on: abort, a short grace period, then abort
// again and wait without limit, so the buffers the transfer uses are free on return.
void AbortAndDrain(DeviceFile &handle, uint8_t endpoint, platform::Event &event,
                   Overlapped &overlapped) {
    AbortPipe(handle, endpoint);
    if (!event.Wait(kAbortSettleMs)) {
        AbortPipe(handle, endpoint);
        overlapped.WaitUntilDone();
    }
}

}  // namespace

// The data handle for one data operation: the open one, or one opened for the operation
// and closed again when the operation ends.
class CKorCy3Cam::DataHandleUse {
  public:
    explicit DataHandleUse(CKorCy3Cam &controller) : controller_(controller) {
        platform::CriticalSectionLock lock(controller.dataLock_);
        if (!controller.dataHandle_) {
            controller.dataHandle_ = controller.OpenDevice(controller.selectedRow_, true);
            openedHere_ = controller.dataHandle_ != nullptr;
        }
        file_ = controller.dataHandle_.get();
    }
    ~DataHandleUse() {
        if (openedHere_) controller_.CloseDataHandle();
    }
    DataHandleUse(const DataHandleUse &) = delete;
    DataHandleUse &operator=(const DataHandleUse &) = delete;

    DeviceFile *File() const { return file_; }

  private:
    CKorCy3Cam &controller_;
    DeviceFile *file_ = nullptr;
    bool openedHere_ = false;
};

int CKorCy3Cam::OpenDataHandle() {
    platform::CriticalSectionLock lock(dataLock_);
    dataAborted_.store(false, std::memory_order_release);
    if (!dataHandle_) dataHandle_ = OpenDevice(selectedRow_, true);
    return dataHandle_ ? kOk : kFailed;
}

void CKorCy3Cam::CloseDataHandle() {
    std::unique_ptr<DeviceFile> closing;
    {
        platform::CriticalSectionLock lock(dataLock_);
        closing = std::move(dataHandle_);
    }
    // Closing cancels and completes what is still pending; done outside the lock so an
    // abort from another thread is not held up by it.
}

int CKorCy3Cam::AbortDataPipe() {
    platform::CriticalSectionLock lock(dataLock_);
    dataAborted_.store(true, std::memory_order_release);
    if (dataHandle_) AbortPipe(*dataHandle_, kEndpointBulkIn);
    return kOk;
}

// ---------------------------------------------------------------------------------------
// Direct and buffered transfers

int CKorCy3Cam::DirectTransfer(DeviceFile *handle, uint8_t *buffer, uint32_t length,
                               uint8_t endpoint, uint32_t *transferred, uint32_t limitMs) {
    if (length > kMaxTransferLength || handle == nullptr || !HasStagingBuffer()) return kFailed;
    if (buffer == nullptr && length > 0) return kFailed;
    platform::Event event(platform::Event::ResetMode::Auto);
    Overlapped overlapped(event);
    std::array<uint8_t, kTransferHeaderSize> header{};
    EncodeTransferHeader(MakeDirectHeader(endpoint), header.data());
    uint32_t count = 0;
    uint32_t submitError =
        handle->SubmitIoControl(kIoctlDirectTransfer, header.data(), kTransferHeaderSize, buffer,
                                length, &count, overlapped);
    if (submitError == kIoPending && !event.Wait(limitMs)) {
        AbortAndDrain(*handle, endpoint, event, overlapped);
        return kFailed;
    }
    if (submitError != kIoSuccess && submitError != kIoPending) return kFailed;
    if (handle->GetOverlappedResult(overlapped, &count, false) != kIoSuccess) return kFailed;
    if (transferred != nullptr) *transferred = count;
    if (LoadLe32(header.data() + kHeaderNtStatus) != 0 ||
        LoadLe32(header.data() + kHeaderUsbdStatus) != 0) {
        [[maybe_unused]] platform::TimerResolutionScope resolution;
        platform::SleepMs(1);
        return kFailed;
    }
    return kOk;
}

int CKorCy3Cam::ReadDirect(DeviceFile *handle, uint8_t *buffer, uint32_t length, uint8_t endpoint,
                           uint32_t *transferred, uint32_t timeoutMs) {
    return DirectTransfer(handle, buffer, length, endpoint, transferred, timeoutMs);
}

int CKorCy3Cam::TransferDirect(DeviceFile *handle, uint8_t *buffer, uint32_t length,
                               uint8_t endpoint, uint32_t *transferred) {
    return DirectTransfer(handle, buffer, length, endpoint, transferred, kTransferLimitMs);
}

int CKorCy3Cam::ReadArmed(DeviceFile *handle, uint8_t *buffer, uint32_t length, uint8_t endpoint,
                          uint32_t *transferred) {
    if (handle == nullptr || !ArmStream(handle)) return kFailed;
    return DirectTransfer(handle, buffer, length, endpoint, transferred, kArmedReadLimitMs);
}

int CKorCy3Cam::TransferBuffered(DeviceFile *handle, uint8_t *data, uint32_t length,
                                 uint8_t endpoint, uint32_t *transferred) {
    if (length > kMaxTransferLength || handle == nullptr) return kFailed;
    if (data == nullptr && length > 0) return kFailed;
    platform::CriticalSectionLock lock(dataLock_);  // the staging buffer is in use
    if (!stagingBuffer_) return kFailed;
    uint8_t *record = stagingBuffer_.get();
    const uint32_t recordSize = length + kTransferHeaderSize;
    std::memset(record, 0, recordSize);
    EncodeTransferHeader(MakeBufferedHeader(endpoint, length), record);
    const bool toDevice = (endpoint & 0x80) == 0;
    if (toDevice && length > 0) std::memcpy(record + kTransferHeaderSize, data, length);

    platform::Event event(platform::Event::ResetMode::Auto);
    Overlapped overlapped(event);
    uint32_t returned = 0;
    uint32_t submitError = handle->SubmitIoControl(kIoctlBufferedTransfer, record, recordSize,
                                                   record, recordSize, &returned, overlapped);
    if (submitError == kIoPending) {
        if (!event.Wait(kTransferLimitMs)) {
            AbortAndDrain(*handle, endpoint, event, overlapped);
            return kFailed;
        }
        if (handle->GetOverlappedResult(overlapped, &returned, false) != kIoSuccess) {
            return kFailed;
        }
    } else if (submitError != kIoSuccess) {
        return kFailed;
    }
    uint32_t received = returned > kTransferHeaderSize - 1 ? returned - kTransferHeaderSize : 0;
    if (!toDevice && length >= received && received > 0) {
        std::memcpy(data, record + kTransferHeaderSize, received);
    }
    if (transferred != nullptr) *transferred = received;
    return kOk;
}

// ---------------------------------------------------------------------------------------
// Frames

int CKorCy3Cam::ReadFrameHeader(TransferRecord *record) {
    if (record == nullptr) return kFailed;
    record->headersLost = 1;  // until an attempt brings the header
    record->restartPulses = 0;
    DataHandleUse use(*this);
    DeviceFile *handle = use.File();
    if (handle == nullptr) return kFailed;
    std::array<uint8_t, kFrameHeaderSize> header{};
    if (!ArmStream(handle)) return kFailed;
    for (uint32_t attempt = 1;; ++attempt) {
        uint32_t received = 0;
        // A header counts only when all 64 bytes came; a shorter one carries no length.
        if (ReadDirect(handle, header.data(), kFrameHeaderSize, kEndpointBulkIn, &received,
                       kHeaderReadLimitMs) &&
            received == kFrameHeaderSize) {
            std::memcpy(record->header, header.data(), kFrameHeaderSize);
            record->frameCounter = LoadLe32(header.data() + kFrameCounterAt);
            record->headersLost = attempt - 1;
            return kOk;
        }
        record->headersLost = attempt;
        // An abort asks the transfer to end: the header phase does not start over.
        if (attempt == kHeaderReadAttempts || dataAborted_.load(std::memory_order_acquire)) {
            return kFailed;
        }
        // Restart the FPGA's frame output and arm again before the next attempt.
        WriteFpgaRegister(kRestartRegister, 1);
        WriteFpgaRegister(kRestartRegister, 0);
        ++record->restartPulses;
        platform::SleepMs(kRestartSettleMs);
        if (!ArmStream(handle)) return kFailed;
    }
}

int CKorCy3Cam::ReadFrameData(TransferRecord *record, uint32_t timeoutMs) {
    if (record == nullptr) return kFailed;
    DataHandleUse use(*this);
    DeviceFile *handle = use.File();
    if (handle == nullptr) return kFailed;
    const uint32_t size = LoadLe32(record->header + kFrameLengthAt);
    if (size > record->capacity || (record->destination == nullptr && size > 0)) return kFailed;
    for (uint32_t offset = 0; offset < size;) {
        const uint32_t piece = std::min(kFramePiece, size - offset);
        uint32_t received = 0;
        if (!ReadDirect(handle, record->destination + offset, piece, kEndpointBulkIn, &received,
                        timeoutMs)) {
            return kFailed;
        }
        offset += piece;
    }
    return kOk;
}

int CKorCy3Cam::ReadAuxStream(TransferRecord *record) {
    if (record == nullptr || record->auxLength > record->capacity) return kFailed;
    if (record->destination == nullptr && record->auxLength > 0) return kFailed;
    DataHandleUse use(*this);
    uint32_t received = 0;
    return ReadArmed(use.File(), record->destination, record->auxLength, kEndpointAuxIn,
                     &received) &&
                   received == record->auxLength
               ? kOk
               : kFailed;
}

// ---------------------------------------------------------------------------------------
// Memory and stream commands

int CKorCy3Cam::SendMemoryCommand(DeviceFile *handle, const char *magic, uint64_t address,
                                  uint32_t length) {
    std::array<uint8_t, kMemoryCommandSize> command{};
    std::memcpy(command.data(), magic, 4);
    StoreLe32(command.data() + 4, 2);
    StoreLe64(command.data() + 8, address);
    StoreLe32(command.data() + 16, length);
    uint32_t sent = 0;
    return TransferDirect(handle, command.data(), kMemoryCommandSize, kEndpointBulkOut, &sent);
}

namespace {

// The device moves memory in whole 4 KiB units plus one: the byte count on the wire for a
// caller's size.
uint64_t MemoryWireLength(uint32_t size) {
    return (uint64_t{size} & ~uint64_t{kMemoryGranule - 1}) + kMemoryGranule;
}

}  // namespace

int CKorCy3Cam::ReadMemory(uint64_t address, uint8_t *data, uint32_t size) {
    if (data == nullptr && size > 0) return kFailed;
    DataHandleUse use(*this);
    DeviceFile *handle = use.File();
    if (handle == nullptr) return kFailed;
    const uint64_t total = MemoryWireLength(size);
    std::vector<uint8_t> tail;  // takes the piece that reaches past the caller's buffer
    for (uint64_t done = 0; done < total;) {
        const uint32_t piece =
            static_cast<uint32_t>(std::min<uint64_t>(total - done, kMemoryPiece));
        if (!SendMemoryCommand(handle, "AU3R", address, piece)) return kFailed;
        const bool fits = done + piece <= size;
        if (!fits) tail.assign(piece, 0);
        uint8_t *target = fits ? data + done : tail.data();
        uint32_t received = 0;
        if (!ReadDirect(handle, target, piece, kEndpointBulkIn, &received, kTransferLimitMs)) {
            [[maybe_unused]] platform::TimerResolutionScope resolution;
            platform::SleepMs(1);
            return kFailed;
        }
        if (received != piece) return kFailed;
        if (!fits && done < size) std::memcpy(data + done, tail.data(), size - done);
        address += piece;
        done += piece;
    }
    return kOk;
}

int CKorCy3Cam::WriteMemory(uint64_t address, const uint8_t *data, uint32_t size) {
    if (data == nullptr && size > 0) return kFailed;
    DataHandleUse use(*this);
    DeviceFile *handle = use.File();
    if (handle == nullptr) return kFailed;
    const uint64_t total = MemoryWireLength(size);
    std::vector<uint8_t> piece;  // the caller's bytes, padded with zeros past its size
    for (uint64_t done = 0; done < total;) {
        const uint32_t length =
            static_cast<uint32_t>(std::min<uint64_t>(total - done, kMemoryPiece));
        piece.assign(length, 0);
        if (done < size) {
            std::memcpy(piece.data(), data + done, std::min<uint64_t>(length, size - done));
        }
        if (!SendMemoryCommand(handle, "AU3W", address, length)) return kFailed;
        uint32_t sent = 0;
        if (!TransferDirect(handle, piece.data(), length, kEndpointBulkOut, &sent) ||
            sent != length) {
            return kFailed;
        }
        address += length;
        done += length;
    }
    return kOk;
}

int CKorCy3Cam::ReadStream(TransferRecord *record, uint32_t *size, uint32_t timeoutMs) {
    if (record == nullptr || size == nullptr) return kFailed;
    const uint64_t total = ((uint64_t{*size} >> kStreamGranuleShift) + 1) << kStreamGranuleShift;
    // The stream is read whole into the destination, so it must fit there.
    if (total > record->capacity || record->destination == nullptr) return kFailed;
    DataHandleUse use(*this);
    DeviceFile *handle = use.File();
    if (handle == nullptr) return kFailed;
    if (!SendMemoryCommand(handle, "AU3R", 0, static_cast<uint32_t>(total))) return kFailed;
    uint32_t done = 0;
    while (done < total) {
        const uint32_t piece =
            static_cast<uint32_t>(std::min<uint64_t>(total - done, kStreamPiece));
        uint32_t received = 0;
        if (!ReadDirect(handle, record->destination + done, piece, kEndpointBulkIn, &received,
                        timeoutMs) ||
            received != piece) {
            return kFailed;
        }
        done += piece;
    }
    *size = done;
    return kOk;
}

}  // namespace korvix::controller
