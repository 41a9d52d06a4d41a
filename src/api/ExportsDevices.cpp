// Device selection and identity exports: thin forwards to the session.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_EnumDevice(int handle, char names[10][256]) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.EnumDevice(names); });
}

KORVIX_API int KORVIX_CALL Korvix_EnumDeviceW(int handle, wchar_t names[10][256]) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.EnumDeviceW(names); });
}

KORVIX_API int KORVIX_CALL Korvix_SetDeviceNumber(int handle, int number) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.SetDeviceNumber(number); });
}

KORVIX_API int KORVIX_CALL Korvix_GetDeviceName(int handle, int number, char *name, int size) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.GetDeviceName(number, name, size); });
}

KORVIX_API int KORVIX_CALL Korvix_GetDeviceNameW(int handle, int number, wchar_t *name, int size) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.GetDeviceNameW(number, name, size); });
}

KORVIX_API int KORVIX_CALL Korvix_GetCameraInfo(int handle, KorvixCameraInfo *info) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.GetCameraInfo(info); });
}

KORVIX_API int KORVIX_CALL Korvix_ReadSerialNumberA(int handle, char *out, int size) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.ReadSerialNumber(out, size); });
}

KORVIX_API int KORVIX_CALL Korvix_ReadSerialNumberW(int handle, wchar_t *out, int size) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.ReadSerialNumberW(out, size); });
}

KORVIX_API int KORVIX_CALL Korvix_ReadSromID(int handle, int address, int *ok) {
    return CallSession(handle, 0, [&](CKorvix &session) { return session.ReadSromID(address, ok); });
}

KORVIX_API int KORVIX_CALL Korvix_WriteSromID(int handle, int address, int value) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return session.WriteSromID(address, value); });
}

KORVIX_API int KORVIX_CALL Korvix_Width(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.Width(); });
}

KORVIX_API int KORVIX_CALL Korvix_Height(int handle) {
    return CallSession(handle, 0, [](CKorvix &session) { return session.Height(); });
}

}  // extern "C"
