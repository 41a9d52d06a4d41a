// Device enumeration and selection, device names, the camera-information record and the
// identity memory (serial number and SROM ID byte).

#include <cstdio>
#include <cstring>

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Clock.h"
#include "platform/TextConversion.h"
#include "session/Korvix.h"

namespace korvix {
namespace {

constexpr const char *kModelName = "KorvixTesslin";
// "KorvixTesslin_NN" and its terminator.
constexpr int kDeviceNameBytes = 17;
// Identity text: at most 31 bytes from this address, ended by 0xFF.
constexpr unsigned kSerialAddress = 0x1040;
constexpr int kSerialMaxBytes = 31;
constexpr int kSerialBufferBytes = 32;
constexpr uint32_t kSerialBytePauseMs = 10;
constexpr unsigned kSromAddressMask = 0xFFF;
constexpr int kSromReadBacks = 10;
// Narrow scratch buffers of the wide variants.
constexpr size_t kWideScratchBytes = 1024;

// Converts `narrow` into the caller's wide buffer of `size` characters; false when the
// conversion yields nothing or does not fit (terminator included).
bool NarrowIntoWide(const char *narrow, wchar_t *out, int size) {
    if (out == nullptr || size <= 0) return false;
    wchar_t wide[kWideScratchBytes];
    const size_t count = platform::NarrowToWide(narrow, wide, kWideScratchBytes);
    if (count == 0 || count > static_cast<size_t>(size)) return false;
    std::memcpy(out, wide, count * sizeof(wchar_t));
    return true;
}

}  // namespace

int CKorvix::EnumDevice(char (*names)[kNameLength]) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (names == nullptr) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    const int attached = core_->CountDevices(kProductCode);
    int written = 0;
    // Present cameras are numbered 01, 02, ... without gaps; the table holds ten. Device
    // numbers of unplugged cameras stay taken, so the walk goes over every device number
    // until all present cameras are found: cameras at 0 and 2 are both listed.
    const int maxDevices = core_->GetMaxDevices();
    for (int number = 0; number < maxDevices && written < attached && written < kNameTableEntries;
         ++number) {
        if (!core_->IsDevicePresent(number)) continue;
        std::snprintf(names[written], kNameLength, "%s_%02d", kModelName, written + 1);
        ++written;
    }
    for (int entry = written; entry < kNameTableEntries; ++entry) names[entry][0] = '\0';
    return written;
}

int CKorvix::EnumDeviceW(wchar_t (*names)[kNameLength]) {
    if (names == nullptr) {
        PushError(core_ ? CAMERR_PARAMETER : CAMERR_NOT_READY);
        return 0;
    }
    char narrow[kNameTableEntries][kNameLength] = {};
    const int written = EnumDevice(narrow);
    for (int entry = 0; entry < kNameTableEntries; ++entry) {
        if (platform::NarrowToWide(narrow[entry], names[entry], kNameLength) == 0) {
            names[entry][0] = L'\0';
        }
    }
    return written;
}

int CKorvix::SetDeviceNumber(int number) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    // Reopening under a running worker would pull the device away from it.
    platform::CriticalSectionLock control(controlLock_);
    if (WorkerRunning()) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    // The settings of the camera selected so far are kept before anything else changes.
    if (settingsLoaded_) persistence::SaveSettingsGroups(settings_, core_->GetOpenDeviceNumber());
    settingsLoaded_ = true;
    if (!core_->IsDevicePresent(number)) {
        PushError(CAMERR_OPEN);
        return 0;
    }
    if (number == deviceNumber_) return 1;
    if (!core_->Open(number)) {
        PushError(CAMERR_OPEN);
        return 0;
    }
    persistence::LoadSettingsGroups(settings_, number, core_.get());
    WriteCameraSettingsToDevice();
    deviceNumber_ = number;
    return 1;
}

void CKorvix::WriteGainsAndExposure(const CameraSettings &camera) {
    using sensors::ColorGainChannel;
    core::CKorvixUSB3T2SimpleSdk &device = *core_;
    device.SetGlobalGain(static_cast<unsigned>(camera.globalGain));
    device.SetColorGain(ColorGainChannel::Green1, static_cast<unsigned>(camera.colorGainGreen1));
    device.SetColorGain(ColorGainChannel::Red, static_cast<unsigned>(camera.colorGainRed));
    device.SetColorGain(ColorGainChannel::Blue, static_cast<unsigned>(camera.colorGainBlue));
    device.SetColorGain(ColorGainChannel::Green2, static_cast<unsigned>(camera.colorGainGreen2));
    if (device.IsExposureTimeExSupported()) {
        device.SetExposureTimeEx(camera.exposureSeconds);
    } else {
        device.SetExposureTime(static_cast<unsigned>(camera.exposure));
    }
}

void CKorvix::WriteCameraSettingsToDevice() {
    core::CKorvixUSB3T2SimpleSdk &device = *core_;
    const CameraSettings camera = settings_.Camera();
    WriteGainsAndExposure(camera);
    device.SetMirrorV(camera.mirrorV);
    device.SetMirrorH(camera.mirrorH);
    if (device.IsBlackLevelSupported()) device.SetBlackLevel(static_cast<unsigned>(camera.blackLevel));
    const bool cooler = device.HasPeltier() != 0;
    if (cooler) device.SetPeltier(1);
    // A newly selected camera starts with its auxiliary switch off.
    const bool aux = device.IsAuxModeSupported() != 0;
    if (aux) device.SetAuxMode(0);
    if (device.HasGainMode()) device.SetGainMode(camera.gainMode);
    settings_.UpdateCamera([&](CameraSettings &cached) {
        if (cooler) cached.cooler = 1;
        if (aux) cached.auxSwitch = 0;
    });
}

int CKorvix::FormatDeviceName(int number, char *name, int size) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    // The whole name and its terminator must fit; nothing is written otherwise.
    if (name == nullptr || size < kDeviceNameBytes) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    if (number < 0 || number >= core_->GetMaxDevices() || !core_->IsDevicePresent(number)) {
        PushError(CAMERR_OPEN);
        return 0;
    }
    // Unlike EnumDevice, the number in the name follows the device number.
    std::snprintf(name, static_cast<size_t>(size), "%s_%02d", kModelName, number + 1);
    return 1;
}

int CKorvix::GetDeviceName(int number, char *name, int size) {
    return FormatDeviceName(number, name, size);
}

int CKorvix::GetDeviceNameW(int number, wchar_t *name, int size) {
    char narrow[kNameLength] = {};
    // The lookup has recorded its own reason when it fails.
    if (!FormatDeviceName(number, narrow, kNameLength)) return 0;
    if (!NarrowIntoWide(narrow, name, size)) {
        PushError(CAMERR_FAILED);
        return 0;
    }
    return 1;
}

int CKorvix::GetCameraInfo(KorvixCameraInfo *info) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    if (info == nullptr) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    constexpr int32_t kIntegerPartBytes = 36;
    constexpr int32_t kWholeRecordBytes = 56;
    if (info->size < kIntegerPartBytes) {
        PushError(CAMERR_MEMORY);
        return 0;
    }
    info->sensorWidth = kSensorWidth;
    info->sensorHeight = kSensorHeight;
    info->minGlobalGain = core_->GetGlobalGainMin();
    info->maxGlobalGain = core_->GetGlobalGainMax();
    info->minColorGain = core_->GetChannelGainMin();
    info->maxColorGain = core_->GetChannelGainMax();
    info->minExposure = core_->GetExposureTimeMin();
    info->maxExposure = core_->GetExposureTimeMax();
    if (info->size >= kWholeRecordBytes) {
        core_->GetExposureTimeExMin(&info->minRealExposure);
        core_->GetExposureTimeExMax(&info->maxRealExposure);
    }
    return 1;
}

int CKorvix::ReadSerialNumber(char *out, int size) {
    if (out == nullptr || size < kSerialBufferBytes) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    char text[kSerialBufferBytes] = {};
    int count = 0;
    bool firstReadFailed = false;
    for (; count < kSerialMaxBytes; ++count) {
        uint8_t byte = 0;
        const bool read = core_->ReadSromByte(kSerialAddress + static_cast<unsigned>(count), &byte);
        platform::SleepMs(kSerialBytePauseMs);
        if (!read) {
            firstReadFailed = count == 0;
            break;
        }
        if (byte == 0xFF) break;
        text[count] = static_cast<char>(byte);
    }
    // A failed first read says nothing about the memory: the caller's buffer stays as
    // it was. Otherwise the text, possibly empty, is written.
    if (firstReadFailed) return 0;
    std::memcpy(out, text, sizeof text);
    return 1;
}

int CKorvix::ReadSerialNumberW(wchar_t *out, int size) {
    char narrow[kWideScratchBytes] = {};
    if (!ReadSerialNumber(narrow, static_cast<int>(sizeof narrow))) return 0;
    if (!NarrowIntoWide(narrow, out, size)) {
        PushError(CAMERR_FAILED);
        return 0;
    }
    return 1;
}

int CKorvix::ReadSromID(int address, int *ok) {
    uint8_t byte = 0;
    if (!core_ || !core_->ReadSromByte(static_cast<unsigned>(address) & kSromAddressMask, &byte)) {
        if (ok != nullptr) *ok = 0;
        PostError(CAMERR_NOT_READY);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    return byte;
}

int CKorvix::WriteSromID(int address, int value) {
    const unsigned where = static_cast<unsigned>(address) & kSromAddressMask;
    const auto wanted = static_cast<uint8_t>(value);
    if (!core_ || !core_->WriteSromByte(where, wanted)) {
        PostError(CAMERR_NOT_READY);
        return 0;
    }
    for (int readBack = 1; readBack <= kSromReadBacks; ++readBack) {
        uint8_t stored = 0;
        if (core_->ReadSromByte(where, &stored) && stored == wanted) return 1;
        if (readBack < kSromReadBacks) core_->WriteSromByte(where, wanted);
    }
    // The byte never read back as written: the memory did not take it.
    PostError(CAMERR_NOT_READY);
    return 0;
}

int CKorvix::Width() const { return settings_.Window().width; }
int CKorvix::Height() const { return settings_.Window().height; }

}  // namespace korvix
