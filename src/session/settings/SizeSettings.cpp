// Size presets and the per-camera entries of the settings store.

#include "core/KorvixU3T2Base.h"
#include "session/settings/SettingsPersistence.h"
#include "session/settings/StoreKeys.h"

namespace korvix::persistence {

namespace {

using detail::NumberedKey;
using detail::OpenKey;
using detail::ReadInt;
using detail::WriteInt;

constexpr int kMaxPresets = 100;
constexpr int32_t kDefaultColorIndex = 2;
constexpr int32_t kDefaultWaitTime = 1;
// The longest preview pause a stored entry may ask for; anything longer is taken for a
// damaged value (the worker would stop delivering frames for that long).
constexpr int32_t kMaxWaitTimeMs = 60000;

struct DeviceAbilities {
    bool eightBit = true;
    bool sixteenBit = true;
    bool color = true;
};

DeviceAbilities AbilitiesOf(core::CKorvixU3T2Base *core) {
    if (core == nullptr) return {};
    return {core->CanOutput8Bit() != 0, core->CanOutput16Bit() != 0, core->CanOutputColor() != 0};
}

// Reads the seven preset values of `key`; values that cannot be read keep theirs.
void ReadPreset(platform::RegistryKey &key, CaptureWindow &window) {
    ReadInt(key, "TH", window.totalWidth);
    ReadInt(key, "TV", window.totalHeight);
    ReadInt(key, "EH", window.width);
    ReadInt(key, "EV", window.height);
    ReadInt(key, "EHS", window.startX);
    ReadInt(key, "EVS", window.startY);
    ReadInt(key, "Buf", window.bufferCount);
}

void WriteDefaults(int deviceNumber, core::CKorvixU3T2Base *core) {
    const std::string cameraPath = CameraKeyPath(deviceNumber);
    auto preset = platform::RegistryKey::Create(NumberedKey(cameraPath, "Size", 0));
    auto camera = platform::RegistryKey::Create(cameraPath);
    if (!preset || !camera) return;
    const CaptureWindow full;
    WriteInt(*preset, "TH", full.totalWidth);
    WriteInt(*preset, "TV", full.totalHeight);
    WriteInt(*preset, "EH", full.width);
    WriteInt(*preset, "EV", full.height);
    WriteInt(*preset, "EHS", full.startX);
    WriteInt(*preset, "EVS", full.startY);
    WriteInt(*preset, "Buf", full.bufferCount);

    const DeviceAbilities device = AbilitiesOf(core);
    int32_t color = kDefaultColorIndex;
    if (!device.color && device.sixteenBit) {
        color = 1;
    } else if (!device.color && device.eightBit) {
        color = 0;
    }
    WriteInt(*camera, "Size", 0);
    WriteInt(*camera, "Color", color);
    WriteInt(*camera, "SubSample", 0);
    WriteInt(*camera, "WaitTime", kDefaultWaitTime);
    WriteInt(*camera, "Clock", 0);
}

// The colour index limited to what the device can transfer.
int32_t SupportedColorIndex(int32_t index, const DeviceAbilities &device) {
    if (!device.eightBit && (index == 0 || index == 3)) index = device.sixteenBit ? 1 : 2;
    if (!device.color && index == 2) index = device.sixteenBit ? 1 : 0;
    if (!device.sixteenBit && index == 1) index = device.color ? 2 : 0;
    return index;
}

}  // namespace

void LoadSizeSettings(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core) {
    if (!platform::RegistryKey::Exists(kProductKey)) {
        WriteDefaults(deviceNumber, core);
        return;
    }
    const std::string cameraPath = CameraKeyPath(deviceNumber);
    auto camera = OpenKey(cameraPath);
    int32_t presetNumber = 0;
    if (!camera || !ReadInt(*camera, "Size", presetNumber)) return;
    auto preset = OpenKey(NumberedKey(cameraPath, "Size", presetNumber));
    if (!preset) return;
    CaptureWindow window = settings.Window();
    ReadPreset(*preset, window);
    settings.SetWindow(window);
}

void LoadCameraSettings(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core) {
    auto camera = OpenKey(CameraKeyPath(deviceNumber));
    if (!camera) return;
    CameraEntries entries = settings.Entries();
    int32_t value = 0;
    if (ReadInt(*camera, "Color", value)) {
        entries.colorIndex = value >= 0 && value <= 5 ? value : kDefaultColorIndex;
    }
    entries.colorIndex = SupportedColorIndex(entries.colorIndex, AbilitiesOf(core));
    if (ReadInt(*camera, "SubSample", value)) entries.subSample = value == 1 ? 1 : 0;
    if (ReadInt(*camera, "WaitTime", value)) {
        entries.waitTime = value >= 0 && value <= kMaxWaitTimeMs ? value : kDefaultWaitTime;
    }
    ReadInt(*camera, "Clock", entries.clock);
    settings.SetEntries(entries);
}

bool FindSizePreset(int32_t width, int32_t height, CaptureWindow &window) {
    for (int number = 0; number < kMaxPresets; ++number) {
        auto preset = OpenKey(NumberedKey(kProductKey, "Size", number));
        if (!preset) return false;
        int32_t presetWidth = 0, presetHeight = 0;
        if (ReadInt(*preset, "EH", presetWidth) && ReadInt(*preset, "EV", presetHeight) &&
            presetWidth == width && presetHeight == height) {
            ReadPreset(*preset, window);
            return true;
        }
    }
    return false;
}

}  // namespace korvix::persistence
