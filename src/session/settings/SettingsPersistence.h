#pragma once

// Settings persistence of a session: every camera and image setting is kept per camera in
// the settings store (platform::RegistryKey) under the product key
// "Software\Velsor\KorvixTesslin3T2Sdk":
//
//   Size_NN                       size presets searched by SetCaptureWindow(width, height)
//   Camera_NN                     one key per device number (-1 gives "Camera_-1")
//     Size, Color, SubSample, WaitTime, Clock
//     Size_NN                     this camera's size presets: TH TV EH EV EHS EVS Buf
//     Gain                        Global ColorG1 ColorR ColorB ColorG2 Exposure V_Mirror
//                                 H_Mirror AutoIris GainMode BlackLevel, ExposureEx (binary)
//     Filter                      Brightness Contrast Hue Saturation Sharpness R_Gain G_Gain
//                                 B_Gain Gamma BayerMode
//     Gray                        Mode GainR1 GainG1 GainG2 GainB1 OffsetR1 OffsetG1 OffsetG2
//                                 OffsetB1
//
// Failures of the store are silent: an operation stops and the settings keep their values.
// All of this runs on application threads (initialisation, device selection, release).
// `core` may be null; it is asked only for the capabilities and defaults of the device.

#include <cstdint>
#include <string>
#include <vector>

#include "session/SessionSettings.h"

namespace korvix::core {
class CKorvixU3T2Base;
}

namespace korvix::persistence {

inline constexpr const char *kProductKey = "Software\\Velsor\\KorvixTesslin3T2Sdk";

// Key of a camera below the product key, "Camera_%02d" of the device number.
std::string CameraKeyPath(int deviceNumber);

// Without a product key, creates it with the camera key of `deviceNumber`, its default
// preset Size_00 (1280 x 1024 at 0, 0, 4 buffers) and the default camera entries, and
// leaves `settings` unchanged. Otherwise reads the camera's active preset ("Size") into
// the capture window; a missing key or value leaves the fields it would have set.
void LoadSizeSettings(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core);

// Reads the camera entries "Color", "SubSample", "WaitTime" and "Clock". Values out of
// range are replaced by the defaults (Color 2, SubSample 0, WaitTime 1); the colour index
// is then corrected to what the device can transfer.
void LoadCameraSettings(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core);

// The groups "Gain", "Filter" and "Gray" of a camera. A missing group loads its defaults
// (Gain: the device's defaults; Filter: neutral filters, balance 100, gamma 100, Bayer
// phase 3; Gray: mode 0, gains and offsets 128).
void LoadGainGroup(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core);
void LoadFilterGroup(SessionSettings &settings, int deviceNumber);
void LoadGrayGroup(SessionSettings &settings, int deviceNumber);
void SaveGainGroup(const SessionSettings &settings, int deviceNumber);
void SaveFilterGroup(const SessionSettings &settings, int deviceNumber);
// Writes only into an existing camera key (the other two groups create it).
void SaveGrayGroup(const SessionSettings &settings, int deviceNumber);

// The three groups together, as the session loads them after selecting a device and
// saves them before changing the device and at destruction (Gain, Filter, Gray).
void LoadSettingsGroups(SessionSettings &settings, int deviceNumber, core::CKorvixU3T2Base *core);
void SaveSettingsGroups(const SessionSettings &settings, int deviceNumber);

// The size presets directly below the product key (Size_00, Size_01, ... up to the first
// missing one, at most 100): the first whose "EH" and "EV" equal width and height.
// False when none matches or there is no product key.
bool FindSizePreset(int32_t width, int32_t height, CaptureWindow &window);

// A pair of the configuration file.
struct ConfigPair {
    int32_t first = 0;
    int32_t second = 0;
};

// Reads a configuration file: one pair per 8 bytes, two little-endian int32 values each,
// a trailing part shorter than 8 bytes ignored. False when the file cannot be read
// (`pairs` is then left alone).
bool ReadConfigFile(const std::string &path, std::vector<ConfigPair> &pairs);

}  // namespace korvix::persistence
