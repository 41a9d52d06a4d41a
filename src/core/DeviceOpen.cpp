// Opening and closing a camera: device selection, sensor factory, FPGA ready wait.

#include "controller/KorCy3Cam.h"
#include "core/KorvixU3T2Base.h"
#include "core/ProductTable.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

constexpr size_t kFirmwareVersionOffset = 24;
constexpr size_t kGpio25FlagOffset = 52;
// Firmware from this version on reports the FPGA ready flag.
constexpr uint16_t kFirmwareWithReadyFlag = 0x1101;
constexpr int kReadyAttempts = 400;
constexpr uint32_t kReadyPauseMs = 500;
// While the FPGA stays unready, its reset line is pulsed this often.
constexpr uint32_t kResetIntervalMs = 25000;
constexpr uint8_t kFpgaResetRegister = 0x82;
constexpr uint32_t kResetPulseMs = 50;

uint16_t FirmwareVersion(const uint8_t *block) {
    return static_cast<uint16_t>(block[kFirmwareVersionOffset] |
                                 (block[kFirmwareVersionOffset + 1] << 8));
}

}  // namespace

int CKorvixU3T2Base::Open(int deviceNumber) {
    DeviceLock lock(deviceLock);
    if (!controller || productCode == -1) return 0;
    if (controller->EnumerateDevices() == 0) return 0;
    if (!IsDevicePresent(deviceNumber)) return 0;

    int row = 0;
    while (row < controller::kDeviceTableRows) {
        controller::DeviceTableRow entry = controller->TableRow(row);
        if (entry.instance == deviceNumber && entry.productId == productCode) break;
        ++row;
    }
    if (!controller->SelectDevice(row)) {
        geometryDirty = 1;
        return InitializeDevice();
    }

    // The acquisition thread uses the sensor for its restart pulses: it must end first.
    if (running.load(std::memory_order_acquire)) StopTransfer(1);
    // The statistics describe the camera that is open.
    streamStatistics.Reset();
    sensor.reset();
    sensor = CreateSensor(productCode, controller.get());
    if (!sensor) return 0;
    sensorOrientation.store(sensor->Params().orientation, std::memory_order_relaxed);
    openDeviceNumber.store(deviceNumber, std::memory_order_release);
    geometryDirty = 1;
    return InitializeDevice();
}

int CKorvixU3T2Base::InitializeDevice() {
    DeviceLock lock(deviceLock);
    if (!controller || !controller->PrepareDevice()) return 0;
    controller->ReadInfoBlock(infoBlock.data());
    if (!sensor) return 0;

    std::array<uint8_t, 64> block{};
    int readOk = controller->ReadInfoBlock(block.data());
    uint16_t firmware = FirmwareVersion(block.data());
    uint8_t gpio25Flag = block[kGpio25FlagOffset];
    bool firmwareOk = firmware >= kFirmwareWithReadyFlag;
    bool flagOk = gpio25Flag == 1;
    if (readOk && firmwareOk && flagOk) {
        if (!WaitFpgaReady()) return 0;
    } else {
        controller->Trace("Cypress=0x%X(%s), GPIO25 flag=%d(%s)", firmware,
                          firmwareOk ? "OK" : "NG", gpio25Flag, flagOk ? "OK" : "NG");
    }

    if (!sensor->ProbeSensor()) return 0;
    return sensor->InitSensor();
}

int CKorvixU3T2Base::WaitFpgaReady() {
    uint32_t reference = platform::TimeGetTime();
    for (int attempt = 0; attempt < kReadyAttempts; ++attempt) {
        uint8_t ready = 0;
        if (controller->ReadReadyFlag(&ready) && ready == 1) return 1;
        platform::SleepMs(kReadyPauseMs);
        if (platform::TimeGetTime() - reference >= kResetIntervalMs) {
            PulseFpgaReset();
            reference = platform::TimeGetTime();
        }
    }
    return 0;
}

void CKorvixU3T2Base::PulseFpgaReset() {
    [[maybe_unused]] platform::TimerResolutionScope resolution;
    uint8_t value = 0;
    controller->ReadFpgaRegister(kFpgaResetRegister, &value);
    controller->WriteFpgaRegister(kFpgaResetRegister, value & ~1u);
    platform::SleepMs(kResetPulseMs);
    controller->WriteFpgaRegister(kFpgaResetRegister, value | 1u);
    platform::SleepMs(kResetPulseMs);
    controller->WriteFpgaRegister(kFpgaResetRegister, value & ~1u);
}

int CKorvixU3T2Base::Close() {
    DeviceLock lock(deviceLock);
    StopTransfer(1);
    if (controller) {
        controller->CloseDataHandle();
        // The sensor borrows the controller's control interface: it goes first.
        sensor.reset();
        controller.reset();
    }
    sensor.reset();
    infoBlock.fill(0);
    transferBuffer.reset();
    transferBufferSize = 0;
    ring.Free();
    ring.SetBufferCount(ring.BufferCount());  // write index 0, read mark count - 1
    frameLayout = {};
    frameBytes = 0;
    // Back to the state after construction, so that nothing of this camera carries over to
    // the next one: its trigger mode, its selection, its bit mode and data time limit.
    openDeviceNumber.store(-1, std::memory_order_release);
    sensorOrientation.store(0, std::memory_order_relaxed);
    triggerMode.store(-1, std::memory_order_relaxed);
    bitMode = 0;
    geometryDirty = 1;
    dataTimeout.store(kInitialDataTimeoutMs, std::memory_order_relaxed);
    transferMode.store(0, std::memory_order_release);
    lastFrameCounter.store(0, std::memory_order_release);
    transferRate.store(0.0, std::memory_order_relaxed);
    CloseFrameEvent();
    transferFailed.store(0, std::memory_order_release);
    return 1;
}

}  // namespace korvix::core
