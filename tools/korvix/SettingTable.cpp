#include "SettingTable.h"

#include <KorvixSdk_Tesslin.h>

#include <cstdlib>

#include "Camera.h"
#include "Output.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

// Settings with exports of their own instead of a setting id.
enum OwnExport { kMirrorH = -1, kMirrorV = -2, kAutoExposure = -3 };

}  // namespace

const std::vector<Setting> &Settings() {
    static const std::vector<Setting> table = {
        {"brightness", 1, true, true, "-255 to 255"},
        {"contrast", 2, true, true, "-127 to 127"},
        {"hue", 3, true, true, "degrees, -360 to 360"},
        {"saturation", 4, true, true, "-255 to 255"},
        {"sharpness", 5, true, true, "0 to 30"},
        {"balance-rgb", 6, true, true, "colour balance packed red | green << 8 | blue << 16"},
        {"balance-red", 7, true, true, "colour balance of red in percent, 0 to 400"},
        {"balance-green", 8, true, true, "colour balance of green in percent, 0 to 400"},
        {"balance-blue", 9, true, true, "colour balance of blue in percent, 0 to 400"},
        {"balance-auto", 10, true, true, "automatic colour balance, 0 or 1"},
        {"gamma", 11, true, true, "percent, 0 to 200 (100 neutral)"},
        {"bayer-phase", 12, true, true, "Bayer phase of the sensor, 0 to 3"},
        {"gain", 13, true, true, "global gain within the camera's limits (korvix info)"},
        {"gain-red", 14, true, true, "colour gain of red within the colour-gain limits"},
        {"gain-green1", 15, true, true, "colour gain of green 1"},
        {"gain-green2", 16, true, true, "colour gain of green 2"},
        {"gain-blue", 17, true, true, "colour gain of blue"},
        {"exposure", 18, true, true, "exposure in tenths of a millisecond within the camera's limits"},
        {"gray-mode", 19, true, true, "0 off, 1 gain and offset per Bayer site, 2 through colour"},
        {"gray-gain-r", 20, true, true, "0 to 255"},
        {"gray-gain-g1", 21, true, true, "0 to 255"},
        {"gray-gain-g2", 22, true, true, "0 to 255"},
        {"gray-gain-b", 23, true, true, "0 to 255"},
        {"gray-offset-r", 24, true, true, "-255 to 255"},
        {"gray-offset-g1", 25, true, true, "-255 to 255"},
        {"gray-offset-g2", 26, true, true, "-255 to 255"},
        {"gray-offset-b", 27, true, true, "-255 to 255"},
        {"gray-one-shot", 28, false, true, "1 measures the gray gains on the next frame"},
        {"cooler", 100, true, true, "Peltier cooler on (1) or off (0); cooled cameras only"},
        {"defect-correction", 102, true, true, "hot and dead pixel correction, 0 or 1"},
        {"mask-correction", 103, true, true, "dark and bright reference correction, 0 or 1"},
        {"gain-mode", 104, true, true, "sensor gain mode, as the camera accepts"},
        {"aux-switch", 105, true, true, "auxiliary switch, 0 or 1"},
        {"black-level", 106, true, true, "sensor black level, as the camera accepts"},
        {"mirror-h", kMirrorH, true, true, "horizontal mirror, 0 or 1"},
        {"mirror-v", kMirrorV, true, true, "vertical mirror, 0 or 1"},
        {"auto-exposure", kAutoExposure, true, true, "0 off, 1 by exposure, 2 by gain"},
    };
    return table;
}

Setting FindSetting(const std::string &nameOrId) {
    for (const Setting &setting : Settings()) {
        if (nameOrId == setting.name) return setting;
    }
    char *end = nullptr;
    const long id = std::strtol(nameOrId.c_str(), &end, 0);
    if (!nameOrId.empty() && *end == '\0' && id > 0 && id < 1000) {
        for (const Setting &setting : Settings()) {
            if (setting.id == id) return setting;
        }
        return Setting{"", static_cast<int>(id), true, true, ""};
    }
    throw UsageError("unknown setting '" + nameOrId + "' (korvix settings lists them)");
}

namespace {
std::string Label(const Setting &setting) {
    return *setting.name ? std::string(setting.name) : "setting id " + std::to_string(setting.id);
}
}  // namespace

int ReadSetting(const Session &session, const Setting &setting) {
    const int handle = session.Handle();
    const std::string action = "reading " + Label(setting);
    int ok = 1;
    int value = 0;
    switch (setting.id) {
        case kMirrorH: value = Korvix_GetMirrorH(handle); break;
        case kMirrorV: value = Korvix_GetMirrorV(handle); break;
        case kAutoExposure: value = Korvix_GetAutoIris(handle, &ok); break;
        default: value = Korvix_GetFilterValue(handle, setting.id, &ok); break;
    }
    // The mirror getters answer 0 both for "off" and for a failure; a failure records or
    // announces a code, which Check then finds.
    if (!ok) session.Fail(action);
    return value;
}

void WriteSetting(const Session &session, const Setting &setting, int value) {
    const int handle = session.Handle();
    const std::string action = "setting " + Label(setting) + " to " + std::to_string(value);
    switch (setting.id) {
        case kMirrorH: session.Check(Korvix_SetMirrorH(handle, value), action); break;
        case kMirrorV: session.Check(Korvix_SetMirrorV(handle, value), action); break;
        case kAutoExposure: session.Check(Korvix_SetAutoIris(handle, value), action); break;
        default: session.Check(Korvix_SetFilterValue(handle, setting.id, value), action); break;
    }
}

}  // namespace korvix::tool
