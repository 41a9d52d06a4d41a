#pragma once

// The camera list of KORVIX_SIMULATE: comma-separated cameras in enumeration order, each a
// model name optionally followed by ":key=value" options, e.g.
//   imx990,imx990:serial=CAM-B:seed=7,imx992c:speed=3:scene=uniform:2000
// Options: serial=TEXT, fw=0xNNNN, fpga=0xNNNN, speed=3|4,
// scene=synthetic|uniform:LEVEL|ramp|counter, seed=N, noise=on|off, trigger=MS, unplug_after=N.
// Pure parsing: no globals, no I/O.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimRegisterMap.h"

namespace korvix::sim {

// What a simulated camera shows.
enum class SceneKind {
    Synthetic,  // the short-wave-infrared scene with noise and defects
    Uniform,    // every sample = uniformLevel, exactly
    Ramp,       // sample = column * 4095 / (width - 1), exactly, in every row
    Counter,    // the ramp, with the frame counter stamped into the first and last rows
    Image,      // an image supplied by a test, laid over the frame from its top-left corner
};

struct CameraConfig {
    const ModelInfo *model = nullptr;
    std::string serial;  // identity text; empty = made unique by index
    uint16_t firmwareVersion = info::kFirmwareDefault;
    uint8_t gpio25Flag = info::kGpio25Default;
    uint16_t fpgaVersion = kFpgaVersionDefault;
    uint32_t linkSpeed = kSpeedSuper;
    SceneKind scene = SceneKind::Synthetic;
    uint16_t uniformLevel = 0;  // 12-bit units
    uint64_t seed = 1;
    // false: no temporal noise and a still target, so a static scene gives identical frames.
    bool noise = true;
    // Period of the external trigger pulses the camera's trigger input receives; 0 = none.
    uint32_t triggerPeriodMs = 0;
    // The camera disappears after delivering this many frames; 0 = never.
    uint32_t unplugAfterFrames = 0;
};

// Longest trigger period the camera list accepts: one hour.
inline constexpr uint64_t kMaxTriggerPeriodMs = 3600000;

struct CameraListParseResult {
    std::vector<CameraConfig> cameras;
    std::string error;  // empty on success; names the offending part otherwise
    bool ok() const { return error.empty(); }
};

// Parses a camera list. Empty entries are errors; an empty text gives no cameras.
// Cameras without a serial option get "<MODEL>-SIM<index+1 as 4 digits>", unique per camera.
CameraListParseResult ParseCameraList(std::string_view text);

}  // namespace korvix::sim
