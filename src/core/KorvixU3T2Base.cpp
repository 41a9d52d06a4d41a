#include "core/KorvixU3T2Base.h"

#include "controller/KorCy3Cam.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

constexpr int kProductWithEightBuffers = 0x32D0;

bool RowInRange(int row) {
    return row >= 0 && row < controller::kDeviceTableRows;
}

}  // namespace

CKorvixU3T2Base::CKorvixU3T2Base() = default;

CKorvixU3T2Base::~CKorvixU3T2Base() {
    Close();
}

int CKorvixU3T2Base::CreateController(void * /*notifyWindow*/,
                                      const platform::usb::Guid *interfaceGuid) {
    DeviceLock lock(deviceLock);
    Close();
    controller = std::make_unique<controller::CKorCy3Cam>(
        interfaceGuid ? interfaceGuid : &platform::usb::kCameraInterfaceGuid);
    return 1;
}

int CKorvixU3T2Base::AdoptController(std::unique_ptr<controller::CKorCy3Cam> replacement) {
    DeviceLock lock(deviceLock);
    if (!replacement) return 0;
    Close();
    controller = std::move(replacement);
    return 1;
}

int CKorvixU3T2Base::ReadInfoBlock(uint8_t *block64) {
    DeviceLock lock(deviceLock);
    if (!controller || !block64) return 0;
    return controller->ReadInfoBlock(block64);
}

int CKorvixU3T2Base::ReadInfoBlock2(uint8_t *block64) {
    DeviceLock lock(deviceLock);
    if (!controller || !block64) return 0;
    return controller->ReadInfoBlock2(block64);
}

int CKorvixU3T2Base::CopyParams(sensors::SensorParams *out) {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->CopyParams(out) : 0;
}

int CKorvixU3T2Base::Reopen(int deviceNumber) {
    DeviceLock lock(deviceLock);
    StopTransfer(1);
    return Open(deviceNumber) ? 0 : -1;
}

int CKorvixU3T2Base::IsDevicePresent(int deviceNumber) {
    DeviceLock lock(deviceLock);
    if (!controller || productCode == -1) return 0;
    for (int row = 0; row < controller::kDeviceTableRows; ++row) {
        controller::DeviceTableRow entry = controller->TableRow(row);
        if (entry.productId == productCode && entry.instance == deviceNumber &&
            controller->DeviceAvailable(row)) {
            return 1;
        }
    }
    return 0;
}

int CKorvixU3T2Base::CountDevices(int code) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    int rows = controller->EnumerateDevices();
    if (code == 0) return rows;
    int count = 0;
    for (int row = 0; row < rows && row < controller::kDeviceTableRows; ++row) {
        if (controller->TableRow(row).productId == code && controller->DeviceAvailable(row))
            ++count;
    }
    return count;
}

int CKorvixU3T2Base::GetDeviceName(int row, char *text) {
    DeviceLock lock(deviceLock);
    if (!controller || !text) return 0;
    return controller->DeviceAvailable(row) && controller->GetDeviceName(row, text) ? 1 : 0;
}

int CKorvixU3T2Base::SetProductCode(int code) {
    DeviceLock lock(deviceLock);
    productCode = code;
    ring.SetBufferCount(code == kProductWithEightBuffers ? 8 : 4);
    return 1;
}

int CKorvixU3T2Base::GetRowVendorId(int row) {
    DeviceLock lock(deviceLock);
    if (!controller || !RowInRange(row)) return 0;
    return controller->TableRow(row).vendorId;
}

int CKorvixU3T2Base::GetRowProductId(int row) {
    DeviceLock lock(deviceLock);
    if (!controller || !RowInRange(row)) return 0;
    return controller->TableRow(row).productId;
}

int CKorvixU3T2Base::GetRowInstance(int row) {
    DeviceLock lock(deviceLock);
    if (!controller || !RowInRange(row)) return -1;
    return controller->TableRow(row).instance;
}

}  // namespace korvix::core
