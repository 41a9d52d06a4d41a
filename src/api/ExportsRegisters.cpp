// Register access: FPGA registers and sensor registers (through the device core). Every
// failure records CAMERR_NOT_READY without a device core and CAMERR_IO when the device
// refuses the access.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;
using korvix::core::CKorvixU3T2Base;

namespace {

constexpr unsigned kByteAddress = 0xFF;
constexpr unsigned kWordValue = 0xFFFF;
constexpr unsigned kFullRange = 0xFFFFFFFF;

int Failed(CKorvix &session, int *ok, uint32_t code) {
    if (ok) *ok = 0;
    session.PushError(code);
    return 0;
}

// A successful FPGA read leaves the caller's `ok` untouched; the sensor reads store 1. A
// failure always stores 0.
int ReadFpga(CKorvix &session, int address, int *ok) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Failed(session, ok, CAMERR_NOT_READY);
    int read = 0;
    const int value =
        device->ReadFpgaRegister(static_cast<unsigned>(address) & kByteAddress, &read);
    if (!read) return Failed(session, ok, CAMERR_IO);
    return value & kWordValue;
}

int WriteFpga(CKorvix &session, int address, int value) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Failed(session, nullptr, CAMERR_NOT_READY);
    if (!device->WriteFpgaRegister(static_cast<unsigned>(address) & kByteAddress,
                                   static_cast<unsigned>(value) & kWordValue)) {
        return Failed(session, nullptr, CAMERR_IO);
    }
    return 1;
}

// Sensor registers; the masks limit the address and value that reach the device.
int ReadSensor(CKorvix &session, int address, int *ok, unsigned addressMask) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Failed(session, ok, CAMERR_NOT_READY);
    int read = 0;
    const int value =
        device->ReadSensorRegister(static_cast<unsigned>(address) & addressMask, &read);
    if (!read) return Failed(session, ok, CAMERR_IO);
    if (ok) *ok = 1;
    return value;
}

int WriteSensor(CKorvix &session, int address, int value, unsigned addressMask,
                unsigned valueMask) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Failed(session, nullptr, CAMERR_NOT_READY);
    if (!device->WriteSensorRegister(static_cast<unsigned>(address) & addressMask,
                                     static_cast<unsigned>(value) & valueMask)) {
        return Failed(session, nullptr, CAMERR_IO);
    }
    return 1;
}

}  // namespace

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_Fpga_ReadRegister(int handle, int address, int *ok) {
    return CallSession(handle, 0, [&](CKorvix &session) { return ReadFpga(session, address, ok); });
}
KORVIX_API int KORVIX_CALL Korvix_Fpga_WriteRegister(int handle, int address, int value) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return WriteFpga(session, address, value); });
}

KORVIX_API int KORVIX_CALL Korvix_ReadRegister(int handle, int address, int *ok) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return ReadSensor(session, address, ok, kByteAddress);
    });
}
KORVIX_API int KORVIX_CALL Korvix_ReadRegisterEx(int handle, int address, int *ok) {
    return CallSession(
        handle, 0, [&](CKorvix &session) { return ReadSensor(session, address, ok, kFullRange); });
}
KORVIX_API int KORVIX_CALL Korvix_WriteRegister(int handle, int address, int value) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WriteSensor(session, address, value, kByteAddress, kWordValue);
    });
}
KORVIX_API int KORVIX_CALL Korvix_WriteRegisterEx(int handle, int address, int value) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        return WriteSensor(session, address, value, kFullRange, kFullRange);
    });
}

}  // extern "C"
