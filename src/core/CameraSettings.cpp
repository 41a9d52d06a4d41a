// Camera settings in which the device core does something of its own: data time limits of
// the exposure, bit mode, capture window, clock mode, trigger mode and the FPGA's internal
// correction.

#include <cmath>
#include <cstdint>
#include <mutex>

#include "controller/KorCy3Cam.h"
#include "core/KorvixU3T2Base.h"
#include "core/ProductTable.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

constexpr uint8_t kDataWidthRegister = 0x3C;
constexpr uint8_t kFrameCounterRegister = 0x08;
constexpr uint8_t kCorrectionLowRegister = 0xD0;
constexpr uint8_t kCorrectionControlRegister = 0xD1;
constexpr uint8_t kCorrectionHighRegister = 0xD2;
constexpr uint32_t kSuperSpeedLink = 4;
// FPGAs above this version take the trigger mode with a first triggered frame.
constexpr int kOldFpgaVersion = 0x110;
constexpr uint32_t kFirstTriggeredFrameWaitMs = 60000;
constexpr uint32_t kShortestDataTimeoutMs = 5000;
// (seconds + 1) x 1000 must fit in the 32-bit data time limit.
constexpr double kLongestExposureSeconds = UINT32_MAX / 1000.0 - 1.0;

}  // namespace

int CKorvixU3T2Base::SetExposureTime(unsigned tenthsMs) {
    DeviceLock lock(deviceLock);
    if (!sensor) return 0;
    // The data phase of a frame may take up to twice the exposure, never less than 5 s.
    uint32_t timeout = tenthsMs <= 50000 ? kShortestDataTimeoutMs : tenthsMs / 5;
    dataTimeout.store(timeout, std::memory_order_relaxed);
    return sensor->SetExposureTime(tenthsMs);
}

int CKorvixU3T2Base::SetExposureTimeEx(double seconds) {
    DeviceLock lock(deviceLock);
    if (!sensor) return 0;
    // NaN, infinities and exposures whose data time limit a 32-bit millisecond count cannot
    // hold are refused before anything changes.
    if (!std::isfinite(seconds) || seconds > kLongestExposureSeconds) return 0;
    if (seconds > 2.0) {
        dataTimeout.store(static_cast<uint32_t>((seconds + 1.0) * 1000.0),
                          std::memory_order_relaxed);
    }
    return sensor->SetExposureTimeEx(seconds);
}

int CKorvixU3T2Base::SetBitMode(int mode) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    if (sensor && IsImx99xProduct(productCode)) sensor->SetBitDepth(mode);
    if (!controller->WriteFpgaRegister(kDataWidthRegister, mode == 1 ? 2 : 1)) return 0;
    if (mode == bitMode) return 1;
    bitMode = mode;
    return ApplyGeometry();
}

int CKorvixU3T2Base::SetCaptureWindow(int x, int y, int width, int height, int mode) {
    DeviceLock lock(deviceLock);
    if (!sensor) return 0;
    sensors::SensorParams &params = sensor->Params();
    if (x == params.x && y == params.y && width == params.width && height == params.height &&
        mode == params.subsampleMode) {
        return 1;
    }
    if (!sensor->SetCaptureWindow(x, width, y, height, mode)) return 0;
    int acceptedX = 0, acceptedWidth = 0, acceptedY = 0, acceptedHeight = 0, acceptedMode = 0;
    sensor->GetCaptureWindow(&acceptedX, &acceptedWidth, &acceptedY, &acceptedHeight,
                             &acceptedMode);
    params.x = acceptedX;
    params.y = acceptedY;
    params.width = acceptedWidth;
    params.height = acceptedHeight;
    params.subsampleMode = acceptedMode;
    geometryDirty = 1;
    return 1;
}

int CKorvixU3T2Base::GetCaptureWindow(int *x, int *y, int *width, int *height, int *mode) {
    DeviceLock lock(deviceLock);
    if (!sensor) return 0;
    const sensors::SensorParams &params = sensor->Params();
    if (x) *x = params.x;
    if (y) *y = params.y;
    if (width) *width = params.width;
    if (height) *height = params.height;
    if (mode) *mode = params.subsampleMode;
    return 1;
}

int CKorvixU3T2Base::ClockModeForLink(int mode) {
    DeviceLock lock(deviceLock);
    if (mode != 2 || !controller) return mode;
    uint32_t speed = 0;
    controller->GetDeviceSpeed(&speed);
    // The fast clock needs a SuperSpeed link; a slower link, or a device that opens but does
    // not tell its speed, gets mode 0. A device that cannot be opened keeps the request.
    if (controller->DeviceAvailable(controller->SelectedRow()) && speed != kSuperSpeedLink) {
        return 0;
    }
    return mode;
}

int CKorvixU3T2Base::SetClockMode(int mode) {
    DeviceLock lock(deviceLock);
    if (!sensor) return 0;
    ClockModeForLink(mode);
    // Only other sensor heads have a selectable clock; the IMX99x heads do not.
    return 0;
}

int CKorvixU3T2Base::GetClockMode(int * /*mode*/) {
    DeviceLock lock(deviceLock);
    // No IMX99x head answers the clock query.
    return 0;
}

int CKorvixU3T2Base::ResyncFrameCounter() {
    DeviceLock lock(deviceLock);
    uint8_t counter = 0;
    if (!controller || !controller->ReadFpgaRegister(kFrameCounterRegister, &counter)) return 0;
    lastFrameCounter.store(counter, std::memory_order_release);
    return 1;
}

int CKorvixU3T2Base::SetTriggerMode(int mode, int force) {
    std::unique_lock lock(deviceLock);
    if (!sensor) return 0;
    if (!force && mode == triggerMode.load(std::memory_order_relaxed)) return 1;
    StopTransfer(0);
    OpenFrameEvent();

    if (IsImx990FamilyProduct(productCode)) {
        int version = sensor->GetFpgaVersion();
        if (version != 0 && version > kOldFpgaVersion) {
            if (mode == 0) {
                sensor->SetTriggerMode(0);
            } else if (mode == 1) {
                sensor->SetTriggerMode(1);
                // The first frame after the switch tells which FPGA count the next trigger
                // starts from.
                int started = StartTransfer(2);
                // The device lock is not held across the frame wait (up to a minute), so
                // settings and register access stay open to other threads meanwhile.
                lock.unlock();
                int waited = WaitFrame(kFirstTriggeredFrameWaitMs);
                lock.lock();
                if (waited == 3 && started) ResyncFrameCounter();
            }
        } else if (version != 0) {
            sensor->SetTriggerMode(mode);
            if (mode == 1) ResyncFrameCounter();
        }
        triggerMode.store(mode, std::memory_order_relaxed);
        return 1;
    }

    if (!sensor->SetTriggerMode(mode)) return 0;
    if (mode >= 1 && mode <= 3) ResyncFrameCounter();
    triggerMode.store(mode, std::memory_order_relaxed);
    return 1;
}

int CKorvixU3T2Base::HasInternalCorrection() {
    DeviceLock lock(deviceLock);
    return sensor ? sensor->HasInternalCorrection() : 0;
}

int CKorvixU3T2Base::GetInternalCorrection() {
    DeviceLock lock(deviceLock);
    if (!IsImx99xProduct(productCode) || !HasInternalCorrection() || !controller) return 0;
    uint8_t value = 0;
    if (!controller->ReadFpgaRegister(kCorrectionControlRegister, &value)) return 0;
    return value & 1;
}

int CKorvixU3T2Base::SetInternalCorrection(int on) {
    DeviceLock lock(deviceLock);
    if (!IsImx99xProduct(productCode) || !HasInternalCorrection() || !controller) return 0;
    int wanted = on ? 1 : 0;
    if (wanted == GetInternalCorrection()) return 1;
    uint8_t value = 0;
    if (!controller->ReadFpgaRegister(kCorrectionControlRegister, &value)) return 0;
    value = static_cast<uint8_t>(wanted ? (value | 1u) : (value & ~1u));
    return controller->WriteFpgaRegister(kCorrectionControlRegister, value);
}

int CKorvixU3T2Base::IsCorrectionValueSupported() {
    DeviceLock lock(deviceLock);
    return IsImx99xProduct(productCode) ? HasInternalCorrection() : 0;
}

int CKorvixU3T2Base::SetCorrectionValue(int value) {
    DeviceLock lock(deviceLock);
    if (!IsCorrectionValueSupported() || !controller) return 0;
    int low = controller->WriteFpgaRegister(kCorrectionLowRegister, value & 0xFF);
    int high = controller->WriteFpgaRegister(kCorrectionHighRegister, (value >> 8) & 0xFF);
    return low && high ? 1 : 0;
}

int CKorvixU3T2Base::GetCorrectionValue(int *value) {
    DeviceLock lock(deviceLock);
    if (!value || !IsCorrectionValueSupported() || !controller) return 0;
    uint8_t low = 0, high = 0;
    if (!controller->ReadFpgaRegister(kCorrectionLowRegister, &low) ||
        !controller->ReadFpgaRegister(kCorrectionHighRegister, &high)) {
        return 0;
    }
    *value = (high << 8) | low;
    return 1;
}

int CKorvixU3T2Base::GetCorrectionValueMax() {
    DeviceLock lock(deviceLock);
    return IsCorrectionValueSupported() ? 0xFFFF : 0;
}

}  // namespace korvix::core
