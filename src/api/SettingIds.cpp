#include "api/SettingIds.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "session/Korvix.h"
#include "session/SessionSettings.h"

namespace korvix::api {
namespace {

using Device = core::CKorvixU3T2Base;

// What a row's operations work on: the session (its cache and error history) and its
// device core.
struct Target {
    CKorvix &session;
    Device &device;
    SessionSettings &settings;
};

struct Limits {
    int min;
    int max;
};

struct SettingRow;
using LimitsQuery = Limits (*)(Device &);
using ImageField = int32_t &(*)(ImageSettings &);
using Setter = int (*)(Target &, const SettingRow &, int value);
using Getter = int (*)(Target &, const SettingRow &, int *ok);

// One setting id. The dispatch checks the value against `accepts` before `set` runs.
struct SettingRow {
    int id;
    LimitsQuery accepts;  // null: every value goes to `set`, which judges it itself
    ImageField field;     // the cached image value of the generic operations, or null
    Setter set;           // null: not settable (CAMERR_PARAMETER)
    Getter get;           // null: not readable (CAMERR_PARAMETER)
};

// ---- Failures ----

int Fail(Target &target, int *ok, uint32_t code, int result = 0) {
    if (ok) *ok = 0;
    target.session.PushError(code);
    return result;
}

// A device that refuses a setting: the cache keeps the value it had.
int Refused(Target &target) {
    return Fail(target, nullptr, CAMERR_IO);
}

// ---- Accepted ranges ----

template <int Min, int Max>
Limits Fixed(Device &) {
    return {Min, Max};
}
Limits GlobalGainLimits(Device &device) {
    return {device.GetGlobalGainMin(), device.GetGlobalGainMax()};
}
Limits ColorGainLimits(Device &device) {
    return {device.GetChannelGainMin(), device.GetChannelGainMax()};
}
Limits ExposureLimits(Device &device) {
    return {device.GetExposureTimeMin(), device.GetExposureTimeMax()};
}

// ---- Image settings: cached in the session, read by the frame pipeline ----

template <int32_t ImageSettings::*Member>
int32_t &FieldOf(ImageSettings &image) {
    return image.*Member;
}
template <int Site>
int32_t &GrayGainOf(ImageSettings &image) {
    return image.grayGain[Site];
}
template <int Site>
int32_t &GrayOffsetOf(ImageSettings &image) {
    return image.grayOffset[Site];
}

int StoreValue(Target &target, const SettingRow &row, int value) {
    target.settings.UpdateImage([&](ImageSettings &image) { row.field(image) = value; });
    return 1;
}
int StoreFlag(Target &target, const SettingRow &row, int value) {
    return StoreValue(target, row, value != 0 ? 1 : 0);
}
int ReadValue(Target &target, const SettingRow &row, int *) {
    ImageSettings image = target.settings.Image();
    return row.field(image);
}

int StoreBalancePacked(Target &target, const SettingRow &, int packed) {
    target.settings.UpdateImage([&](ImageSettings &image) {
        image.balanceRed = packed & 0xFF;
        image.balanceGreen = (packed >> 8) & 0xFF;
        image.balanceBlue = (packed >> 16) & 0xFF;
    });
    return 1;
}
// Each balance value contributes its low 8 bits: a red balance of 300 reads as 44.
int ReadBalancePacked(Target &target, const SettingRow &, int *) {
    const ImageSettings image = target.settings.Image();
    return (image.balanceRed & 0xFF) | (image.balanceGreen & 0xFF) << 8 |
           (image.balanceBlue & 0xFF) << 16;
}

int StoreDotFilter(Target &target, const SettingRow &, int value) {
    target.session.SetDotFilter(value);
    return 1;
}
int ReadDotFilter(Target &target, const SettingRow &, int *) {
    return target.session.DotFilter();
}
int StoreMaskFilter(Target &target, const SettingRow &, int value) {
    target.session.SetMaskFilter(value);
    return 1;
}
int ReadMaskFilter(Target &target, const SettingRow &, int *) {
    return target.session.MaskFilter();
}

// ---- Camera settings: written to the device, cached as last written ----

// The device applies the global gain to every channel, so the four cached colour gains
// take the same value.
int WriteGlobalGain(Target &target, const SettingRow &, int value) {
    if (!target.device.SetGlobalGain(static_cast<unsigned>(value))) return Refused(target);
    target.settings.UpdateCamera([&](CameraSettings &camera) {
        camera.globalGain = camera.colorGainRed = camera.colorGainGreen1 = camera.colorGainGreen2 =
            camera.colorGainBlue = value;
    });
    return 1;
}
int ReadGlobalGain(Target &target, const SettingRow &, int *) {
    return target.device.GetGlobalGain();
}

// The colour channels: the device's channel and the cached field of each.
struct ColorChannel {
    sensors::ColorGainChannel channel;
    int32_t CameraSettings::*cached;
};
constexpr ColorChannel kRed{sensors::ColorGainChannel::Red, &CameraSettings::colorGainRed};
constexpr ColorChannel kGreen1{sensors::ColorGainChannel::Green1,
                               &CameraSettings::colorGainGreen1};
constexpr ColorChannel kGreen2{sensors::ColorGainChannel::Green2,
                               &CameraSettings::colorGainGreen2};
constexpr ColorChannel kBlue{sensors::ColorGainChannel::Blue, &CameraSettings::colorGainBlue};

template <const ColorChannel &Channel>
int WriteColorGain(Target &target, const SettingRow &, int value) {
    if (!target.device.SetColorGain(Channel.channel, static_cast<unsigned>(value))) {
        return Refused(target);
    }
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.*Channel.cached = value; });
    return 1;
}
template <const ColorChannel &Channel>
int ReadColorGain(Target &target, const SettingRow &, int *) {
    return target.device.GetColorGain(Channel.channel);
}

// A device that takes a real exposure keeps exposureSeconds in step with the integer one.
int WriteExposure(Target &target, const SettingRow &, int value) {
    Device &device = target.device;
    if (!device.SetExposureTime(static_cast<unsigned>(value))) return Refused(target);
    double seconds = 0.0;
    const bool realExposure =
        device.IsExposureTimeExSupported() && device.GetExposureTimeEx(&seconds);
    target.settings.UpdateCamera([&](CameraSettings &camera) {
        camera.exposure = value;
        if (realExposure) camera.exposureSeconds = seconds;
    });
    return 1;
}
int ReadExposure(Target &target, const SettingRow &, int *) {
    return target.device.GetExposureTime();
}

int WriteCooler(Target &target, const SettingRow &, int on) {
    if (!target.device.HasPeltier()) return Fail(target, nullptr, CAMERR_NOT_SUPPORTED);
    if (!target.device.SetPeltier(on)) return Refused(target);
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.cooler = on; });
    return 1;
}
int ReadCooler(Target &target, const SettingRow &, int *ok) {
    if (!target.device.HasPeltier()) return Fail(target, ok, CAMERR_NOT_SUPPORTED, -1);
    return target.device.GetPeltier();
}

// The temperature is read as a real number only (Korvix_GetTemperatureEx).
int ReadTemperature(Target &target, const SettingRow &, int *ok) {
    return Fail(target, ok, CAMERR_NOT_SUPPORTED, -1);
}

int WriteGainMode(Target &target, const SettingRow &, int mode) {
    if (!target.device.SetGainMode(mode)) return Refused(target);
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.gainMode = mode; });
    return 1;
}
int ReadGainMode(Target &target, const SettingRow &, int *) {
    return target.device.GetGainMode();
}

int WriteAuxSwitch(Target &target, const SettingRow &, int value) {
    if (!target.device.IsAuxModeSupported()) return Fail(target, nullptr, CAMERR_NOT_SUPPORTED);
    const int on = value > 0 ? 1 : 0;
    if (!target.device.SetAuxMode(on)) return Refused(target);
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.auxSwitch = on; });
    return 1;
}
int ReadAuxSwitch(Target &target, const SettingRow &, int *ok) {
    if (!target.device.IsAuxModeSupported()) return Fail(target, ok, CAMERR_NOT_SUPPORTED);
    int mode = 0;
    if (!target.device.GetAuxMode(&mode)) return Fail(target, ok, CAMERR_IO);
    target.session.PushError(CAMERR_NONE);
    return mode != 0 ? 1 : 0;
}

int WriteBlackLevel(Target &target, const SettingRow &, int level) {
    if (!target.device.IsBlackLevelSupported()) {
        return Fail(target, nullptr, CAMERR_NOT_SUPPORTED);
    }
    if (!target.device.SetBlackLevel(static_cast<unsigned>(level))) return Refused(target);
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.blackLevel = level; });
    target.session.PushError(CAMERR_NONE);
    return 1;
}
int ReadBlackLevel(Target &target, const SettingRow &, int *ok) {
    if (!target.device.IsBlackLevelSupported()) return Fail(target, ok, CAMERR_NOT_SUPPORTED);
    const int level = target.device.GetBlackLevel();
    target.settings.UpdateCamera([&](CameraSettings &camera) { camera.blackLevel = level; });
    target.session.PushError(CAMERR_NONE);
    return level;
}

// ---- The table ----

constexpr SettingRow kSettings[] = {
    {kBrightness, Fixed<-255, 255>, FieldOf<&ImageSettings::brightness>, StoreValue, ReadValue},
    {kContrast, Fixed<-127, 127>, FieldOf<&ImageSettings::contrast>, StoreValue, ReadValue},
    {kHue, Fixed<-360, 360>, FieldOf<&ImageSettings::hue>, StoreValue, ReadValue},
    {kSaturation, Fixed<-255, 255>, FieldOf<&ImageSettings::saturation>, StoreValue, ReadValue},
    {kSharpness, Fixed<0, 30>, FieldOf<&ImageSettings::sharpness>, StoreValue, ReadValue},
    {kBalancePacked, nullptr, nullptr, StoreBalancePacked, ReadBalancePacked},
    {kBalanceRed, Fixed<0, 400>, FieldOf<&ImageSettings::balanceRed>, StoreValue, ReadValue},
    {kBalanceGreen, Fixed<0, 400>, FieldOf<&ImageSettings::balanceGreen>, StoreValue, ReadValue},
    {kBalanceBlue, Fixed<0, 400>, FieldOf<&ImageSettings::balanceBlue>, StoreValue, ReadValue},
    {kAutoBalance, nullptr, FieldOf<&ImageSettings::autoBalance>, StoreFlag, ReadValue},
    {kGamma, Fixed<0, 200>, FieldOf<&ImageSettings::gamma>, StoreValue, ReadValue},
    {kBayerMode, Fixed<0, 3>, FieldOf<&ImageSettings::bayerMode>, StoreValue, ReadValue},
    {kGlobalGain, GlobalGainLimits, nullptr, WriteGlobalGain, ReadGlobalGain},
    {kColorGainRed, ColorGainLimits, nullptr, WriteColorGain<kRed>, ReadColorGain<kRed>},
    {kColorGainGreen1, ColorGainLimits, nullptr, WriteColorGain<kGreen1>, ReadColorGain<kGreen1>},
    {kColorGainGreen2, ColorGainLimits, nullptr, WriteColorGain<kGreen2>, ReadColorGain<kGreen2>},
    {kColorGainBlue, ColorGainLimits, nullptr, WriteColorGain<kBlue>, ReadColorGain<kBlue>},
    {kExposure, ExposureLimits, nullptr, WriteExposure, ReadExposure},
    {kGrayMode, Fixed<0, 2>, FieldOf<&ImageSettings::grayMode>, StoreValue, ReadValue},
    {kGrayGainR, Fixed<0, 255>, GrayGainOf<0>, StoreValue, ReadValue},
    {kGrayGainG1, Fixed<0, 255>, GrayGainOf<1>, StoreValue, ReadValue},
    {kGrayGainG2, Fixed<0, 255>, GrayGainOf<2>, StoreValue, ReadValue},
    {kGrayGainB, Fixed<0, 255>, GrayGainOf<3>, StoreValue, ReadValue},
    {kGrayOffsetR, Fixed<-255, 255>, GrayOffsetOf<0>, StoreValue, ReadValue},
    {kGrayOffsetG1, Fixed<-255, 255>, GrayOffsetOf<1>, StoreValue, ReadValue},
    {kGrayOffsetG2, Fixed<-255, 255>, GrayOffsetOf<2>, StoreValue, ReadValue},
    {kGrayOffsetB, Fixed<-255, 255>, GrayOffsetOf<3>, StoreValue, ReadValue},
    {kGrayOneShot, Fixed<0, 1>, FieldOf<&ImageSettings::grayOneShot>, StoreValue, nullptr},
    {kCooler, nullptr, nullptr, WriteCooler, ReadCooler},
    {kTemperature, nullptr, nullptr, nullptr, ReadTemperature},
    {kDotFilter, Fixed<0, 1>, nullptr, StoreDotFilter, ReadDotFilter},
    {kMaskFilter, Fixed<0, 1>, nullptr, StoreMaskFilter, ReadMaskFilter},
    {kGainMode, nullptr, nullptr, WriteGainMode, ReadGainMode},
    {kAuxSwitch, nullptr, nullptr, WriteAuxSwitch, ReadAuxSwitch},
    {kBlackLevel, nullptr, nullptr, WriteBlackLevel, ReadBlackLevel},
};

const SettingRow *FindRow(int id) {
    const auto row = std::find_if(std::begin(kSettings), std::end(kSettings),
                                  [id](const SettingRow &candidate) { return candidate.id == id; });
    return row == std::end(kSettings) ? nullptr : row;
}

}  // namespace

int GetFilterValue(CKorvix &session, int id, int *ok) {
    Device *device = session.Core();
    if (!device) {
        if (ok) *ok = 0;
        session.PushError(CAMERR_NOT_READY);
        return 0;
    }
    Target target{session, *device, session.Settings()};
    const SettingRow *row = FindRow(id);
    if (!row || !row->get) return Fail(target, ok, CAMERR_PARAMETER);
    if (ok) *ok = 1;
    return row->get(target, *row, ok);
}

int SetFilterValue(CKorvix &session, int id, int value) {
    Device *device = session.Core();
    if (!device) {
        session.PushError(CAMERR_NOT_READY);
        return 0;
    }
    Target target{session, *device, session.Settings()};
    const SettingRow *row = FindRow(id);
    if (!row || !row->set) return Fail(target, nullptr, CAMERR_PARAMETER);
    if (row->accepts) {
        const Limits limits = row->accepts(*device);
        if (value < limits.min || value > limits.max) {
            return Fail(target, nullptr, CAMERR_PARAMETER);
        }
    }
    return row->set(target, *row, value);
}

}  // namespace korvix::api
