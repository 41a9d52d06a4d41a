#include "controller/KorCy3Cam.h"

#include <array>
#include <cstring>
#include <new>

#include "controller/DriverPortFactory.h"
#include "platform/Clock.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::controller {

using namespace platform::usb;

namespace {

constexpr int kOk = 1;
constexpr int kFailed = 0;

// Vendor request types.
constexpr uint8_t kToDevice = 0x40;
constexpr uint8_t kFromDevice = 0xC0;
constexpr uint8_t kToEndpoint = 0x42;

// Vendor requests.
constexpr uint8_t kRequestI2cWrite = 0x30;
constexpr uint8_t kRequestI2cRead = 0x31;
constexpr uint8_t kRequestWriteByte3C = 0x3C;
constexpr uint8_t kRequestReadByte3D = 0x3D;
constexpr uint8_t kRequestWriteWordPair = 0x3E;
constexpr uint8_t kRequestReadWord3F = 0x3F;
constexpr uint8_t kRequestInfoBlock = 0xB0;
constexpr uint8_t kRequestInfoBlock2 = 0xB1;
constexpr uint8_t kRequestStopStream = 0xC0;
constexpr uint8_t kRequestArmStream = 0xC2;
constexpr uint8_t kRequestReadyFlag = 0xC3;
constexpr uint8_t kRequestCommandCC = 0xCC;
constexpr uint8_t kRequestWriteRegister32 = 0xD0;
constexpr uint8_t kRequestReadRegister16 = 0xD1;

// Devices on the FX3's I2C bus (8-bit address form; reads use address | 1).
constexpr uint8_t kI2cFpga = 0x40;
constexpr uint8_t kI2cAux = 0x5A;
constexpr uint8_t kI2cSrom = 0xA2;
constexpr uint8_t kMaxI2cBytes = 64;
constexpr uint32_t kI2cTimeoutMs = 3000;

constexpr uint32_t kSromWriteCycleMs = 14;
constexpr uint32_t kSromReadSetupMs = 10;

}  // namespace

CKorCy3Cam::CKorCy3Cam(const Guid *interfaceGuid) : CKorCy3Cam(CreateDriverPort(), interfaceGuid) {}

CKorCy3Cam::CKorCy3Cam(std::unique_ptr<DriverPort> port, const Guid *interfaceGuid)
    : port_(std::move(port)),
      interfaceGuid_(interfaceGuid != nullptr ? *interfaceGuid : kCameraInterfaceGuid) {}

CKorCy3Cam::~CKorCy3Cam() {
    Close();
}

// ---------------------------------------------------------------------------------------
// Device table and devices

int CKorCy3Cam::EnumerateDevices() {
    std::vector<FoundDevice> found;
    std::vector<std::string> paths = port_->EnumerateInterfaces(interfaceGuid_);
    for (size_t member = 0; member < paths.size() && member < kDeviceTableRows; ++member) {
        const std::string &path = paths[member];
        // Only a device that can be opened right now is taken.
        if (!port_->Open(path, true)) continue;
        std::optional<UsbIds> ids = ParseUsbIds(path);
        if (!ids) continue;
        found.push_back({*ids, path});
    }
    return MergeEnumeration(found);
}

std::unique_ptr<DeviceFile> CKorCy3Cam::OpenDevice(int row, bool overlapped) {
    if (row < 0 || row >= kDeviceTableRows || row >= TableRowCount()) return nullptr;
    return port_->Open(TableRow(row).path, overlapped);
}

int CKorCy3Cam::DeviceAvailable(int row) {
    return row >= 0 && row < TableRowCount() && OpenDevice(row, false) != nullptr ? kOk : kFailed;
}

int CKorCy3Cam::SelectDevice(int row) {
    CloseDataHandle();
    if (!DeviceAvailable(row)) return kFailed;
    selectedRow_ = row;
    return kOk;
}

int CKorCy3Cam::PrepareDevice() {
    {
        platform::CriticalSectionLock lock(dataLock_);
        if (!stagingBuffer_) {
            stagingBuffer_.reset(new (std::nothrow)
                                     uint8_t[kMaxTransferLength + kTransferHeaderSize]);
            if (!stagingBuffer_) return kFailed;
        }
    }
    // The reset's outcome does not decide the preparation: a camera that ignores it is
    // still usable.
    ResetParentPort();
    return kOk;
}

void CKorCy3Cam::Close() {
    CloseDataHandle();
    platform::CriticalSectionLock lock(dataLock_);
    stagingBuffer_.reset();
}

bool CKorCy3Cam::HasStagingBuffer() const {
    platform::CriticalSectionLock lock(dataLock_);
    return stagingBuffer_ != nullptr;
}

int CKorCy3Cam::GetDeviceName(int /*row*/, char * /*text*/) {
    return kFailed;
}

// ---------------------------------------------------------------------------------------
// Requests on EP0 and the pipe and port IOCTLs

int CKorCy3Cam::ControlRequestOn(DeviceFile &handle, uint8_t requestType, uint8_t request,
                                 uint16_t value, uint16_t index, const uint8_t *writeData,
                                 uint32_t writeCount, uint8_t *readData, uint32_t *dataBytes) {
    std::array<uint8_t, kControlBufferSize> buffer{};
    EncodeTransferHeader(MakeControlHeader(requestType, request, value, index), buffer.data());
    if (writeData != nullptr && writeCount > 0) {
        std::memcpy(buffer.data() + kTransferHeaderSize, writeData,
                    writeCount < kControlDataSize ? writeCount : kControlDataSize);
    }
    uint32_t returned = 0;
    uint32_t error = handle.IoControl(kIoctlControlTransfer, buffer.data(), kControlBufferSize,
                                      buffer.data(), kControlBufferSize, &returned);
    uint32_t data = returned >= kTransferHeaderSize ? returned - kTransferHeaderSize : returned;
    if (dataBytes != nullptr) *dataBytes = data;
    if (readData != nullptr) {
        std::memcpy(readData, buffer.data() + kTransferHeaderSize, kControlDataSize);
    }
    return error == kIoSuccess ? kOk : kFailed;
}

int CKorCy3Cam::ControlRequest(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                               const uint8_t *writeData, uint32_t writeCount, uint8_t *readData,
                               uint32_t *dataBytes) {
    if (dataBytes != nullptr) *dataBytes = 0;
    std::unique_ptr<DeviceFile> handle = OpenDevice(selectedRow_, false);
    if (!handle) return kFailed;
    return ControlRequestOn(*handle, requestType, request, value, index, writeData, writeCount,
                            readData, dataBytes);
}

int CKorCy3Cam::DeviceRequest(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                              uint32_t *bytesReturned) {
    std::unique_ptr<DeviceFile> handle = OpenDevice(selectedRow_, false);
    if (!handle) return kFailed;
    return handle->IoControl(code, in, inSize, out, outSize, bytesReturned) == kIoSuccess ? kOk
                                                                                          : kFailed;
}

int CKorCy3Cam::ResetPipe(uint8_t endpoint) {
    uint32_t returned = 0;
    return DeviceRequest(kIoctlResetPipe, &endpoint, 1, nullptr, 0, &returned);
}

int CKorCy3Cam::ResetParentPort() {
    uint32_t returned = 0;
    return DeviceRequest(kIoctlResetParentPort, nullptr, 0, nullptr, 0, &returned);
}

int CKorCy3Cam::GetDeviceSpeed(uint32_t *speed) {
    if (speed == nullptr) return kFailed;
    uint8_t in[4] = {};
    uint8_t out[4] = {};
    uint32_t returned = 0;
    if (!DeviceRequest(kIoctlGetDeviceSpeed, in, sizeof in, out, sizeof out, &returned)) {
        return kFailed;
    }
    if (returned >= sizeof out) *speed = LoadLe32(out);
    return kOk;
}

int CKorCy3Cam::ReadInfoBlock(uint8_t *block64) {
    if (block64 == nullptr) return kFailed;
    uint8_t data[kControlDataSize];
    uint32_t count = 0;
    int result = ControlRequest(kFromDevice, kRequestInfoBlock, 0, 0, nullptr, 0, data, &count);
    if (count == kControlDataSize) std::memcpy(block64, data, kControlDataSize);
    return result;
}

int CKorCy3Cam::ReadInfoBlock2(uint8_t *block64) {
    if (block64 == nullptr) return kFailed;
    uint8_t data[kControlDataSize];
    uint32_t count = 0;
    int result = ControlRequest(kFromDevice, kRequestInfoBlock2, 0, 0, nullptr, 0, data, &count);
    if (count == kControlDataSize) std::memcpy(block64, data, kControlDataSize);
    return result;
}

int CKorCy3Cam::StopStream() {
    return ControlRequest(kToDevice, kRequestStopStream, 0, 0, nullptr, 0, nullptr, nullptr);
}

int CKorCy3Cam::ArmStream(DeviceFile *handle) {
    if (handle != nullptr) {
        return ControlRequestOn(*handle, kToEndpoint, kRequestArmStream, 0, 0, nullptr, 0, nullptr,
                                nullptr);
    }
    platform::CriticalSectionLock lock(dataLock_);
    if (!dataHandle_) return kFailed;
    return ControlRequestOn(*dataHandle_, kToEndpoint, kRequestArmStream, 0, 0, nullptr, 0, nullptr,
                            nullptr);
}

int CKorCy3Cam::ReadReadyFlag(uint8_t *ready) {
    if (ready == nullptr) return kFailed;
    uint8_t data[kControlDataSize];
    uint32_t count = 0;
    int result = ControlRequest(kFromDevice, kRequestReadyFlag, 0, 0, nullptr, 0, data, &count);
    if (count == kControlDataSize) *ready = data[0];
    return result;
}

int CKorCy3Cam::SendCommandCC() {
    return ControlRequest(kToEndpoint, kRequestCommandCC, 0, 0, nullptr, 0, nullptr, nullptr);
}

int CKorCy3Cam::I2cWrite(uint8_t address, const uint8_t *data, uint8_t count,
                         uint32_t /*timeoutMs*/) {
    if (count > kMaxI2cBytes || (data == nullptr && count > 0)) return kFailed;
    return ControlRequest(kToDevice, kRequestI2cWrite, count, address, data, count, nullptr,
                          nullptr);
}

int CKorCy3Cam::I2cRead(uint8_t address, uint8_t *data, uint8_t count, uint32_t /*timeoutMs*/) {
    bool complete = false;
    return I2cReadInto(address, data, count, &complete);
}

int CKorCy3Cam::I2cReadExact(uint8_t address, uint8_t *data, uint8_t count,
                             uint32_t /*timeoutMs*/) {
    return I2cReadComplete(address, data, count);
}

int CKorCy3Cam::I2cReadInto(uint8_t address, uint8_t *data, uint8_t count, bool *complete) {
    *complete = false;
    if (count > kMaxI2cBytes || (data == nullptr && count > 0)) return kFailed;
    uint8_t area[kControlDataSize];
    uint32_t received = 0;
    int result = ControlRequest(kFromDevice, kRequestI2cRead, count, address | 1, nullptr, 0, area,
                                &received);
    if (received >= count) {
        if (count > 0) std::memcpy(data, area, count);
        *complete = true;
    }
    return result;
}

int CKorCy3Cam::I2cReadComplete(uint8_t address, uint8_t *data, uint8_t count) {
    bool complete = false;
    return I2cReadInto(address, data, count, &complete) && complete ? kOk : kFailed;
}

int CKorCy3Cam::WriteRegister32(uint16_t address, uint32_t value) {
    uint8_t data[4];
    StoreLe32(data, value);
    return ControlRequest(kToDevice, kRequestWriteRegister32, (address >> 15) & 1, address & 0x7FFF,
                          data, sizeof data, nullptr, nullptr);
}

int CKorCy3Cam::ReadRegister16(uint16_t address, uint32_t *value) {
    if (value == nullptr) return kFailed;
    uint8_t area[kControlDataSize];
    uint32_t received = 0;
    int result = ControlRequest(kFromDevice, kRequestReadRegister16, 0, address, nullptr, 0, area,
                                &received);
    *value = 0;
    if (received == kControlDataSize) *value = LoadLe16(area);
    return result;
}

int CKorCy3Cam::WriteWordPair(uint16_t first, uint16_t second) {
    const uint8_t data[4] = {static_cast<uint8_t>(first >> 8), static_cast<uint8_t>(first),
                             static_cast<uint8_t>(second >> 8), static_cast<uint8_t>(second)};
    return ControlRequest(kToDevice, kRequestWriteWordPair, 0, 0, data, sizeof data, nullptr,
                          nullptr);
}

int CKorCy3Cam::ReadWord3F(uint16_t value, uint32_t *result) {
    if (result == nullptr) return kFailed;
    uint8_t area[kControlDataSize];
    uint32_t received = 0;
    int ok = ControlRequest(kFromDevice, kRequestReadWord3F, value, 0, nullptr, 0, area, &received);
    if (received > 0) *result = received >= 2 ? LoadLe16(area) : area[0];
    return ok;
}

int CKorCy3Cam::WriteByte3C(uint8_t value) {
    const uint8_t data[4] = {value, 0, 0, 0};
    return ControlRequest(kToDevice, kRequestWriteByte3C, 0, 0, data, sizeof data, nullptr,
                          nullptr);
}

int CKorCy3Cam::ReadByte3D(uint8_t *value) {
    if (value == nullptr) return kFailed;
    uint8_t area[kControlDataSize];
    uint32_t received = 0;
    int result = ControlRequest(kFromDevice, kRequestReadByte3D, 0, 0, nullptr, 0, area, &received);
    if (received > 0) *value = area[0];
    return result;
}

// ---------------------------------------------------------------------------------------
// Devices behind the I2C bus

int CKorCy3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[3] = {reg, 0x00, value};
    platform::CriticalSectionLock lock(fpgaLock_);
    return I2cWrite(kI2cFpga, data, sizeof data, kI2cTimeoutMs);
}

int CKorCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t *value) {
    if (value == nullptr) return kFailed;
    platform::CriticalSectionLock lock(fpgaLock_);
    if (!I2cWrite(kI2cFpga, &reg, 1, kI2cTimeoutMs)) return kFailed;
    uint8_t answer[2] = {};
    if (!I2cReadComplete(kI2cFpga | 1, answer, 2)) return kFailed;
    *value = answer[1];
    return kOk;
}

int CKorCy3Cam::ReadFpgaVersion(uint16_t *version) {
    if (version == nullptr) return kFailed;
    uint8_t low = 0;
    uint8_t high = 0;
    if (!ReadFpgaRegister(0x10, &low) || !ReadFpgaRegister(0x11, &high)) return kFailed;
    *version = static_cast<uint16_t>((high << 8) | low);
    return kOk;
}

int CKorCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
    const uint8_t data[2] = {reg, value};
    return I2cWrite(kI2cAux, data, sizeof data, kI2cTimeoutMs);
}

int CKorCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t *value) {
    if (value == nullptr) return kFailed;
    if (!I2cWrite(kI2cAux, &reg, 1, kI2cTimeoutMs)) return kFailed;
    return I2cReadComplete(kI2cAux | 1, value, 1);
}

int CKorCy3Cam::WriteSromByte(uint16_t address, uint8_t value) {
    const uint8_t data[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                             value};
    platform::CriticalSectionLock lock(sromLock_);
    if (!I2cWrite(kI2cSrom, data, sizeof data, kI2cTimeoutMs)) return kFailed;
    platform::SleepMs(kSromWriteCycleMs);  // the EEPROM's write cycle
    return kOk;
}

int CKorCy3Cam::ReadSromByte(uint16_t address, uint8_t *value) {
    if (value == nullptr) return kFailed;
    const uint8_t data[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    platform::CriticalSectionLock lock(sromLock_);
    if (!I2cWrite(kI2cSrom, data, sizeof data, kI2cTimeoutMs)) return kFailed;
    platform::SleepMs(kSromReadSetupMs);
    return I2cReadComplete(kI2cSrom | 1, value, 1);
}

}  // namespace korvix::controller
