#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "controller/ControllerBase.h"
#include "controller/Fx3Api.h"
#include "platform/CriticalSection.h"
#include "platform/usb/DriverPort.h"
#include "platform/usb/Guid.h"

namespace korvix::controller {

using platform::usb::DeviceFile;

inline constexpr uint32_t kMaxTransferLength = 0x4000000;  // 64 MiB
inline constexpr uint32_t kFrameHeaderSize = 64;

// What the acquisition engine hands to the frame operations. The caller zeroes it, sets
// destination, capacity and auxLength, and keeps it alive for the call.
struct TransferRecord {
    uint8_t header[kFrameHeaderSize];  // the frame header as received
    uint32_t frameCounter;             // copy of the header word at offset 32
    uint8_t *destination;              // frame data goes here
    uint32_t capacity;                 // bytes available at destination
    uint32_t auxLength;                // bytes ReadAuxStream reads
    // Set by each ReadFrameHeader, for the stream statistics: the attempts that brought no
    // header (at least 1 when the read fails), and the restart pulses given between them.
    uint32_t headersLost;
    uint32_t restartPulses;
};

// The camera controller: the only object that talks to the camera. Created by the device
// core, which calls EnumerateDevices, SelectDevice, PrepareDevice, then control requests
// from any thread and the data operations from its acquisition thread, then Close.
//
// Threads: control requests open a fresh handle each and may run on any thread at once.
// The data handle (data operations, OpenDataHandle/CloseDataHandle) belongs to the
// acquisition thread; AbortDataPipe may be called from another thread while a transfer on
// the data handle is pending. Locks: fpgaLock_ makes each FPGA register access indivisible,
// sromLock_ each SROM access; neither is held while the other is taken.
class CKorCy3Cam : public CFx3Api, public CControllerBase {
  public:
    // Uses the driver port that CreateDriverPort() picks. interfaceGuid null = the camera
    // driver's GUID.
    explicit CKorCy3Cam(const platform::usb::Guid *interfaceGuid = nullptr);
    // Uses the given driver port (tests).
    CKorCy3Cam(std::unique_ptr<platform::usb::DriverPort> port,
               const platform::usb::Guid *interfaceGuid);
    ~CKorCy3Cam() override;

    // Control face.
    void Close() override;
    int SelectDevice(int row) override;
    int ReadFpgaVersion(uint16_t *version) override;
    int ReadReadyFlag(uint8_t *ready) override;
    int SendCommandCC() override;
    int I2cWrite(uint8_t address, const uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int I2cRead(uint8_t address, uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int I2cReadExact(uint8_t address, uint8_t *data, uint8_t count, uint32_t timeoutMs) override;
    int WriteRegister32(uint16_t address, uint32_t value) override;
    int ReadRegister16(uint16_t address, uint32_t *value) override;
    int WriteWordPair(uint16_t first, uint16_t second) override;
    int ReadWord3F(uint16_t value, uint32_t *result) override;
    int WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    int ReadFpgaRegister(uint8_t reg, uint8_t *value) override;
    int WriteAuxRegister(uint8_t reg, uint8_t value) override;
    int ReadAuxRegister(uint8_t reg, uint8_t *value) override;
    int WriteSromByte(uint16_t address, uint8_t value) override;
    int ReadSromByte(uint16_t address, uint8_t *value) override;
    int AbortDataPipe() override;

    // Data face (acquisition thread).
    // Opens the data handle if needed; also ends the effect of an earlier AbortDataPipe.
    virtual int OpenDataHandle();
    virtual int ReadFrameHeader(TransferRecord *record);
    virtual int ReadFrameData(TransferRecord *record, uint32_t timeoutMs);
    virtual int ReadAuxStream(TransferRecord *record);
    // Reads *size bytes (rounded up to whole 16 KiB, plus 16 KiB) from device address 0;
    // on success *size becomes the byte count read.
    virtual int ReadStream(TransferRecord *record, uint32_t *size, uint32_t timeoutMs);
    virtual void CloseDataHandle();
    virtual int WriteMemory(uint64_t address, const uint8_t *data, uint32_t size);
    virtual int ReadMemory(uint64_t address, uint8_t *data, uint32_t size);
    virtual int WriteByte3C(uint8_t value);
    virtual int ReadByte3D(uint8_t *value);
    // Transfers through the staging buffer (request and data in one record).
    virtual int TransferBuffered(DeviceFile *handle, uint8_t *data, uint32_t length,
                                 uint8_t endpoint, uint32_t *transferred);
    // ArmStream, then a direct transfer with a 5000 ms limit.
    virtual int ReadArmed(DeviceFile *handle, uint8_t *buffer, uint32_t length, uint8_t endpoint,
                          uint32_t *transferred);
    virtual int ReadDirect(DeviceFile *handle, uint8_t *buffer, uint32_t length, uint8_t endpoint,
                           uint32_t *transferred, uint32_t timeoutMs);
    // Direct transfer with a 3000 ms limit, either direction.
    virtual int TransferDirect(DeviceFile *handle, uint8_t *buffer, uint32_t length,
                               uint8_t endpoint, uint32_t *transferred);

    // Device table and device handling (device core).
    int EnumerateDevices();  // fresh enumeration; returns the row count
    int DeviceAvailable(int row);
    std::unique_ptr<DeviceFile> OpenDevice(int row, bool overlapped);
    int PrepareDevice();  // staging buffer + reset parent port
    int ReadInfoBlock(uint8_t *block64);
    int ReadInfoBlock2(uint8_t *block64);
    int StopStream();
    int ArmStream(DeviceFile *handle = nullptr);  // null = the data handle
    int ResetPipe(uint8_t endpoint);
    int ResetParentPort();
    int GetDeviceSpeed(uint32_t *speed);
    // Camera arrival and removal as the driver port announces them (DriverPort.h): the
    // callback runs on the port's delivery thread. A token of 0 means the port cannot tell.
    platform::usb::DeviceChangeToken WatchDeviceChanges(platform::usb::DeviceChangeCallback callback) {
        return port_->RegisterDeviceChangeCallback(std::move(callback));
    }
    void UnwatchDeviceChanges(platform::usb::DeviceChangeToken token) {
        port_->UnregisterDeviceChangeCallback(token);
    }
    // Model names exist only for other models of the camera platform; none of this
    // system's product ids has one, so this always fails and leaves text untouched.
    int GetDeviceName(int row, char *text);
    // The controller's trace entry; it keeps no log and discards its input.
    void Trace(const char * /*format*/, ...) {}

    int SelectedRow() const { return selectedRow_; }

  private:
    // One vendor request on EP0 through `handle`: fills the 102-byte control buffer
    // (writeData, at most 64 bytes, into the data area), sends it synchronously and hands
    // back the 64-byte data area (readData, when given) and the data byte count the driver
    // reported. Returns the IoControl result (1 = the driver accepted it).
    int ControlRequestOn(DeviceFile &handle, uint8_t requestType, uint8_t request, uint16_t value,
                         uint16_t index, const uint8_t *writeData, uint32_t writeCount,
                         uint8_t *readData, uint32_t *dataBytes);
    // The same on a fresh plain handle of the selected row, closed again afterwards.
    int ControlRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                       const uint8_t *writeData, uint32_t writeCount, uint8_t *readData,
                       uint32_t *dataBytes);
    // I2C read that reports whether all `count` bytes came (and were copied to data).
    int I2cReadInto(uint8_t address, uint8_t *data, uint8_t count, bool *complete);
    // 1 only when the request succeeded and all `count` bytes came. Register and EEPROM
    // reads use it, so a short answer is a failure instead of a stale byte.
    int I2cReadComplete(uint8_t address, uint8_t *data, uint8_t count);
    // A synchronous pipe or port IOCTL on a fresh plain handle of the selected row.
    int DeviceRequest(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                      uint32_t *bytesReturned);
    // Direct transfer with a time limit; on timeout the pipe is aborted and the transfer
    // waited for, so the caller's buffer is free again when this returns.
    int DirectTransfer(DeviceFile *handle, uint8_t *buffer, uint32_t length, uint8_t endpoint,
                       uint32_t *transferred, uint32_t limitMs);
    // Sends an "AU3R"/"AU3W" memory command to endpoint 0x01.
    int SendMemoryCommand(DeviceFile *handle, const char *magic, uint64_t address, uint32_t length);
    bool HasStagingBuffer() const;

    // The data handle for one data operation: the open one, or one opened for the
    // operation and closed again at its end.
    class DataHandleUse;

    std::unique_ptr<platform::usb::DriverPort> port_;
    const platform::usb::Guid interfaceGuid_;
    std::atomic<int> selectedRow_{0};  // row of the device table in use

    // Guards dataHandle_ (the pointer, not the transfers on it) and stagingBuffer_:
    // AbortDataPipe and Close may come from another thread than the acquisition thread.
    mutable platform::CriticalSection dataLock_;
    std::unique_ptr<DeviceFile> dataHandle_;  // overlapped; null when closed
    // Set by AbortDataPipe, cleared by OpenDataHandle: a header read that an abort failed
    // gives up instead of starting its attempts over.
    std::atomic<bool> dataAborted_{false};
    // kMaxTransferLength + 38 bytes, from PrepareDevice to Close; its presence marks a
    // prepared device, which every data transfer requires.
    std::unique_ptr<uint8_t[]> stagingBuffer_;

    // Makes each FPGA register access (write, or write then read) indivisible.
    platform::CriticalSection fpgaLock_;
    // Makes each SROM access (address, pause, data) indivisible.
    platform::CriticalSection sromLock_;
};

}  // namespace korvix::controller
