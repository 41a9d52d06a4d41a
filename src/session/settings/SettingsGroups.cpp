// The groups "Gain", "Filter" and "Gray" of a camera key.

#include "core/KorvixU3T2Base.h"
#include "session/settings/SettingsPersistence.h"
#include "session/settings/StoreKeys.h"

namespace korvix::persistence {

namespace {

using detail::OpenKey;
using detail::ReadInt;
using detail::WriteInt;

constexpr int32_t kNeutralGrayValue = 128;

std::string GroupPath(int deviceNumber, const char *group) {
    return CameraKeyPath(deviceNumber) + "\\" + group;
}

// The product, camera and group keys for reading: null when any of them is missing.
std::unique_ptr<platform::RegistryKey> OpenGroup(int deviceNumber, const char *group) {
    if (!platform::RegistryKey::Exists(kProductKey) ||
        !platform::RegistryKey::Exists(CameraKeyPath(deviceNumber))) {
        return nullptr;
    }
    return OpenKey(GroupPath(deviceNumber, group));
}

// The integer values of a group in store order, with their fields.
struct GainValue {
    const char *name;
    int32_t CameraSettings::*field;
};
constexpr GainValue kGainValues[] = {
    {"Global", &CameraSettings::globalGain},    {"ColorG1", &CameraSettings::colorGainGreen1},
    {"ColorR", &CameraSettings::colorGainRed},  {"ColorB", &CameraSettings::colorGainBlue},
    {"ColorG2", &CameraSettings::colorGainGreen2}, {"Exposure", &CameraSettings::exposure},
    {"V_Mirror", &CameraSettings::mirrorV},     {"H_Mirror", &CameraSettings::mirrorH},
    {"AutoIris", &CameraSettings::autoExposureMode}, {"GainMode", &CameraSettings::gainMode},
    {"BlackLevel", &CameraSettings::blackLevel},
};

struct ImageValue {
    const char *name;
    int32_t ImageSettings::*field;
};
constexpr ImageValue kFilterValues[] = {
    {"Brightness", &ImageSettings::brightness}, {"Contrast", &ImageSettings::contrast},
    {"Hue", &ImageSettings::hue},               {"Saturation", &ImageSettings::saturation},
    {"Sharpness", &ImageSettings::sharpness},   {"R_Gain", &ImageSettings::balanceRed},
    {"G_Gain", &ImageSettings::balanceGreen},   {"B_Gain", &ImageSettings::balanceBlue},
    {"Gamma", &ImageSettings::gamma},           {"BayerMode", &ImageSettings::bayerMode},
};

// Gray values by site R, G1, G2, B.
constexpr const char *kGrayGainNames[4] = {"GainR1", "GainG1", "GainG2", "GainB1"};
constexpr const char *kGrayOffsetNames[4] = {"OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"};

void SetGainDefaults(CameraSettings &camera, core::CKorvixU3T2Base *core) {
    if (core == nullptr) {
        const CameraSettings fresh;
        camera.globalGain = fresh.globalGain;
        camera.colorGainGreen1 = camera.colorGainRed = camera.colorGainBlue =
            camera.colorGainGreen2 = fresh.colorGainRed;
        camera.exposure = fresh.exposure;
        camera.mirrorV = fresh.mirrorV;
        camera.mirrorH = fresh.mirrorH;
        camera.blackLevel = fresh.blackLevel;
    } else {
        camera.globalGain = core->GetGlobalGainDefault();
        camera.colorGainGreen1 = camera.colorGainRed = camera.colorGainBlue =
            camera.colorGainGreen2 = core->GetChannelGainDefault();
        camera.exposure = core->GetExposureTimeDefault();
        camera.mirrorV = core->GetMirrorVDefault();
        camera.mirrorH = core->GetMirrorHDefault();
        camera.blackLevel = core->GetBlackLevelDefault();
        double seconds = 0.0;
        if (core->IsExposureTimeExSupported() && core->GetExposureTimeEx(&seconds)) {
            camera.exposureSeconds = seconds;
        }
    }
    camera.autoExposureMode = 0;
    camera.gainMode = 0;
}

void SetFilterDefaults(ImageSettings &image) {
    image.brightness = image.contrast = image.hue = image.saturation = image.sharpness = 0;
    image.balanceRed = image.balanceGreen = image.balanceBlue = 100;
    image.gamma = 100;
    image.bayerMode = 3;
    image.autoBalance = image.autoBalanceOnceA = image.autoBalanceOnceB = 0;
    image.grayOneShot = 0;
}

void SetGrayDefaults(ImageSettings &image) {
    image.grayMode = 0;
    for (int site = 0; site < 4; ++site) {
        image.grayGain[site] = kNeutralGrayValue;
        image.grayOffset[site] = kNeutralGrayValue;
    }
}

}  // namespace

void LoadGainGroup(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core) {
    CameraSettings camera = settings.Camera();
    if (auto group = OpenGroup(deviceNumber, "Gain")) {
        // One scratch value carries over: a value missing from the group takes the one
        // read before it, as the stored groups have always been read.
        int32_t scratch = 0;
        for (const GainValue &value : kGainValues) {
            ReadInt(*group, value.name, scratch);
            camera.*value.field = scratch;
        }
        double seconds = 0.0;
        group->GetBinary("ExposureEx", &seconds, sizeof seconds);
        camera.exposureSeconds = seconds;
    } else {
        SetGainDefaults(camera, core);
    }
    settings.SetCamera(camera);
}

void LoadFilterGroup(SessionSettings &settings, int deviceNumber) {
    ImageSettings image = settings.Image();
    if (auto group = OpenGroup(deviceNumber, "Filter")) {
        for (const ImageValue &value : kFilterValues) ReadInt(*group, value.name, image.*value.field);
    } else {
        SetFilterDefaults(image);
    }
    settings.SetImage(image);
}

void LoadGrayGroup(SessionSettings &settings, int deviceNumber) {
    ImageSettings image = settings.Image();
    if (auto group = OpenGroup(deviceNumber, "Gray")) {
        ReadInt(*group, "Mode", image.grayMode);
        for (int site = 0; site < 4; ++site) {
            ReadInt(*group, kGrayGainNames[site], image.grayGain[site]);
            ReadInt(*group, kGrayOffsetNames[site], image.grayOffset[site]);
        }
    } else {
        SetGrayDefaults(image);
    }
    settings.SetImage(image);
}

void SaveGainGroup(const SessionSettings &settings, int deviceNumber) {
    auto group = platform::RegistryKey::Create(GroupPath(deviceNumber, "Gain"));
    if (!group) return;
    const CameraSettings camera = settings.Camera();
    for (const GainValue &value : kGainValues) WriteInt(*group, value.name, camera.*value.field);
    group->SetBinary("ExposureEx", &camera.exposureSeconds, sizeof camera.exposureSeconds);
}

void SaveFilterGroup(const SessionSettings &settings, int deviceNumber) {
    auto group = platform::RegistryKey::Create(GroupPath(deviceNumber, "Filter"));
    if (!group) return;
    const ImageSettings image = settings.Image();
    for (const ImageValue &value : kFilterValues) WriteInt(*group, value.name, image.*value.field);
}

void SaveGrayGroup(const SessionSettings &settings, int deviceNumber) {
    if (!platform::RegistryKey::Exists(CameraKeyPath(deviceNumber))) return;
    auto group = platform::RegistryKey::Create(GroupPath(deviceNumber, "Gray"));
    if (!group) return;
    const ImageSettings image = settings.Image();
    WriteInt(*group, "Mode", image.grayMode);
    for (int site = 0; site < 4; ++site) {
        WriteInt(*group, kGrayGainNames[site], image.grayGain[site]);
        WriteInt(*group, kGrayOffsetNames[site], image.grayOffset[site]);
    }
}

void LoadSettingsGroups(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core) {
    LoadGainGroup(settings, deviceNumber, core);
    LoadFilterGroup(settings, deviceNumber);
    LoadGrayGroup(settings, deviceNumber);
}

void SaveSettingsGroups(const SessionSettings &settings, int deviceNumber) {
    SaveGainGroup(settings, deviceNumber);
    SaveFilterGroup(settings, deviceNumber);
    SaveGrayGroup(settings, deviceNumber);
}

}  // namespace korvix::persistence
