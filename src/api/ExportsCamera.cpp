// Camera settings outside the setting-id table: real exposure, exposure in hundredths,
// mirrors, automatic exposure mode, temperature, internal correction, sampling rate and
// the IO port.
#include <cmath>

#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "api/SettingIds.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;
using korvix::core::CKorvixU3T2Base;

namespace {

constexpr unsigned kIoPortRegister = 0x07;
constexpr int kAutoExposureModes = 3;  // 0 off, 1 by exposure, 2 by gain

void SetOk(int *ok, int value) {
    if (ok) *ok = value;
}

// Records `code` and reports the failure through `ok`.
template <typename Result>
Result Fail(CKorvix &session, int *ok, uint32_t code, Result result) {
    SetOk(ok, 0);
    session.PushError(code);
    return result;
}

double GetExposureTimeEx(CKorvix &session, int *ok) {
    constexpr double kFailed = -1.0;
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, ok, CAMERR_NOT_READY, kFailed);
    if (!device->IsExposureTimeExSupported()) {
        return Fail(session, ok, CAMERR_NOT_SUPPORTED, kFailed);
    }
    double seconds = 0.0;
    if (!device->GetExposureTimeEx(&seconds)) return Fail(session, ok, CAMERR_IO, kFailed);
    session.Settings().UpdateCamera([&](auto &camera) { camera.exposureSeconds = seconds; });
    SetOk(ok, 1);
    return seconds;
}

// A value that is not a number or outside the device's range never reaches the device.
int SetExposureTimeEx(CKorvix &session, double seconds) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, nullptr, CAMERR_NOT_READY, 0);
    if (!device->IsExposureTimeExSupported()) {
        return Fail(session, nullptr, CAMERR_NOT_SUPPORTED, 0);
    }
    double min = 0.0;
    double max = 0.0;
    device->GetExposureTimeExMin(&min);
    device->GetExposureTimeExMax(&max);
    if (!std::isfinite(seconds) || seconds < min || seconds > max) {
        return Fail(session, nullptr, CAMERR_PARAMETER, 0);
    }
    if (!device->SetExposureTimeEx(seconds)) return Fail(session, nullptr, CAMERR_IO, 0);
    // The integer exposure counts tenths of milliseconds.
    const auto tenthsMs = static_cast<int32_t>(seconds * 10000.0);
    session.Settings().UpdateCamera([&](auto &camera) {
        camera.exposureSeconds = seconds;
        camera.exposure = tenthsMs;
    });
    return 1;
}

int GetRealExposureTime(CKorvix &session, int *ok) {
    if (!session.Core()) return Fail(session, ok, CAMERR_NOT_READY, 0);
    SetOk(ok, 1);
    return session.Settings().Camera().exposure * 100;
}

// The mirrors: the device and the cache. The vertical pair only announces a missing device
// core, the horizontal pair records it.
int SetMirror(CKorvix &session, int on, bool horizontal) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) {
        if (horizontal) {
            session.PushError(CAMERR_NOT_READY);
        } else {
            session.PostError(CAMERR_NOT_READY);
        }
        return 0;
    }
    const int written = horizontal ? device->SetMirrorH(on) : device->SetMirrorV(on);
    if (!written) return Fail(session, nullptr, CAMERR_IO, 0);
    session.Settings().UpdateCamera(
        [&](auto &camera) { (horizontal ? camera.mirrorH : camera.mirrorV) = on; });
    return 1;
}

int GetMirror(CKorvix &session, bool horizontal) {
    if (!session.Core()) {
        if (horizontal) {
            session.PushError(CAMERR_NOT_READY);
        } else {
            session.PostError(CAMERR_NOT_READY);
        }
        return 0;
    }
    const auto camera = session.Settings().Camera();
    return horizontal ? camera.mirrorH : camera.mirrorV;
}

// Modes outside 0 to 2 are announced, not recorded, and change nothing.
int SetAutoIris(CKorvix &session, int mode) {
    if (mode < 0 || mode >= kAutoExposureModes) {
        session.PostError(CAMERR_PARAMETER);
        return 0;
    }
    session.Settings().UpdateCamera([&](auto &camera) { camera.autoExposureMode = mode; });
    return 1;
}

double GetTemperatureEx(CKorvix &session, int *ok) {
    constexpr double kFailed = 0.0;
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, ok, CAMERR_NOT_READY, kFailed);
    if (!device->HasTemperature()) return Fail(session, ok, CAMERR_NOT_SUPPORTED, kFailed);
    double celsius = 0.0;
    if (!device->GetTemperature(&celsius)) return Fail(session, ok, CAMERR_FAILED, kFailed);
    SetOk(ok, 1);
    session.PushError(CAMERR_NONE);
    return celsius;
}

// Internal correction: a camera without it is announced, not recorded.
int GetInternalCorrection(CKorvix &session, int *ok) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, ok, CAMERR_NOT_READY, 0);
    if (!device->HasInternalCorrection()) {
        SetOk(ok, 0);
        session.PostError(CAMERR_NOT_SUPPORTED);
        return 0;
    }
    SetOk(ok, 1);
    return device->GetInternalCorrection();
}

int SetInternalCorrection(CKorvix &session, int on) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) return Fail(session, nullptr, CAMERR_NOT_READY, 0);
    if (!device->HasInternalCorrection()) {
        session.PostError(CAMERR_NOT_SUPPORTED);
        return 0;
    }
    return device->SetInternalCorrection(on);
}

// The IO port is FPGA register 7: read it is the input byte, written the output byte.
int GetIOPort(CKorvix &session, uint8_t *value) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) {
        session.PostError(CAMERR_NOT_READY);
        return 0;
    }
    int read = 0;
    const int byte = value ? device->ReadFpgaRegister(kIoPortRegister, &read) : 0;
    if (!read) {
        session.PostError(CAMERR_PARAMETER);
        return 0;
    }
    *value = static_cast<uint8_t>(byte);
    return 1;
}

int SetIOPort(CKorvix &session, int value) {
    CKorvixU3T2Base *device = session.Core();
    if (!device) {
        session.PostError(CAMERR_NOT_READY);
        return 0;
    }
    return device->WriteFpgaRegister(kIoPortRegister, static_cast<unsigned>(value) & 0xFF);
}

// The body Korvix_GetSamplingRate and Korvix_GetVideoFormat share: this camera has neither.
int GetSamplingRate(int handle, int *value) {
    return CallSession(handle, 0, [&](CKorvix &) {
        if (value) *value = 0;
        return 0;
    });
}

}  // namespace

extern "C" {

KORVIX_API double KORVIX_CALL Korvix_GetExposureTimeEx(int handle, int *ok) {
    return CallSession(handle, 0.0,
                       [&](CKorvix &session) { return GetExposureTimeEx(session, ok); });
}
KORVIX_API int KORVIX_CALL Korvix_SetExposureTimeEx(int handle, double value) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return SetExposureTimeEx(session, value); });
}

KORVIX_API int KORVIX_CALL Korvix_GetRealExposureTime(int handle, int *ok) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return GetRealExposureTime(session, ok); });
}
// The exposure in device units becomes value / 100, with the range, codes and caching of
// the exposure setting id.
KORVIX_API int KORVIX_CALL Korvix_SetRealExposureTime(int handle, int value) {
    return Korvix_SetFilterValue(handle, korvix::api::kExposure, value / 100);
}

KORVIX_API int KORVIX_CALL Korvix_GetMirrorH(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return GetMirror(session, true); });
}
KORVIX_API int KORVIX_CALL Korvix_GetMirrorV(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return GetMirror(session, false); });
}
KORVIX_API int KORVIX_CALL Korvix_SetMirrorH(int handle, int on) {
    return CallSession(handle, 0, [&](CKorvix &session) { return SetMirror(session, on, true); });
}
KORVIX_API int KORVIX_CALL Korvix_SetMirrorV(int handle, int on) {
    return CallSession(handle, 0, [&](CKorvix &session) { return SetMirror(session, on, false); });
}

KORVIX_API int KORVIX_CALL Korvix_GetAutoIris(int handle, int *ok) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        SetOk(ok, 1);
        return session.Settings().Camera().autoExposureMode;
    });
}
KORVIX_API int KORVIX_CALL Korvix_SetAutoIris(int handle, int mode) {
    return CallSession(handle, 0, [&](CKorvix &session) { return SetAutoIris(session, mode); });
}

KORVIX_API double KORVIX_CALL Korvix_GetTemperatureEx(int handle, int *ok) {
    return CallSession(handle, 0.0,
                       [&](CKorvix &session) { return GetTemperatureEx(session, ok); });
}

KORVIX_API int KORVIX_CALL Korvix_GetInternalCorrection(int handle, int *ok) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return GetInternalCorrection(session, ok); });
}
KORVIX_API int KORVIX_CALL Korvix_SetInternalCorrection(int handle, int value) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return SetInternalCorrection(session, value); });
}

KORVIX_API int KORVIX_CALL Korvix_GetSamplingRate(int handle, int *value) {
    return GetSamplingRate(handle, value);
}
KORVIX_API int KORVIX_CALL Korvix_GetVideoFormat(int handle, int *value) {
    return GetSamplingRate(handle, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetSamplingRate(int handle, int value) {
    return CallSession(handle, 0, [&](CKorvix &session) {
        CKorvixU3T2Base *device = session.Core();
        return device ? device->SetSamplingRate(value) : 0;
    });
}

KORVIX_API int KORVIX_CALL Korvix_GetIOPort(int handle, uint8_t *value) {
    return CallSession(handle, 0, [&](CKorvix &session) { return GetIOPort(session, value); });
}
KORVIX_API int KORVIX_CALL Korvix_SetIOPort(int handle, int value) {
    return CallSession(handle, 0, [&](CKorvix &session) { return SetIOPort(session, value); });
}

}  // extern "C"
