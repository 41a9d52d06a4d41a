// The camera list of KORVIX_SIMULATE: any text parses to cameras or to an error naming
// the offending part, never both, and every camera it gives is one the simulator can build
// (a known model, an identity text that fits the EEPROM, a trigger period it accepts).

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/CameraList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const korvix::sim::CameraListParseResult parsed = korvix::sim::ParseCameraList(text);
    if (!parsed.ok()) {
        if (!parsed.cameras.empty()) std::abort();
        return 0;
    }
    if (text.empty() && !parsed.cameras.empty()) std::abort();
    for (const korvix::sim::CameraConfig &camera : parsed.cameras) {
        if (camera.model == nullptr) std::abort();
        if (camera.serial.empty() || camera.serial.size() > 31) std::abort();
        if (camera.serial.find('\xFF') != std::string::npos) std::abort();  // the end mark
        if (camera.triggerPeriodMs > korvix::sim::kMaxTriggerPeriodMs) std::abort();
        if (camera.linkSpeed != 3 && camera.linkSpeed != 4) std::abort();
        if (camera.uniformLevel > 4095) std::abort();
    }
    return 0;
}
