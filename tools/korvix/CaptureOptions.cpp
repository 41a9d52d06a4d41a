#include "CaptureOptions.h"

#include <KorvixSdk_Tesslin.h>

#include <climits>
#include <cstdio>

#include "Camera.h"
#include "Output.h"
#include "SettingTable.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct Window {
    int width, height, x, y;
};

Window ParseWindow(const std::string &text) {
    Window window{0, 0, 0, 0};
    int used = 0;
    const int fields = std::sscanf(text.c_str(), "%dx%d%n+%d+%d%n", &window.width, &window.height,
                                   &used, &window.x, &window.y, &used);
    const bool whole = static_cast<size_t>(used) == text.size();
    if (!whole || (fields != 2 && fields != 4) || window.width <= 0 || window.height <= 0 ||
        window.x < 0 || window.y < 0) {
        throw UsageError("--window takes WIDTHxHEIGHT or WIDTHxHEIGHT+X+Y, not '" + text + "'");
    }
    return window;
}

std::pair<Setting, int> ParseAssignment(const std::string &text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) throw UsageError("--set takes NAME=VALUE, not '" + text + "'");
    const Setting setting = FindSetting(text.substr(0, equals));
    const int value =
        static_cast<int>(ParseInteger(text.substr(equals + 1), INT_MIN, INT_MAX, "the value of --set"));
    return {setting, value};
}

}  // namespace

void AddCaptureOptions(CLI::App &command, CaptureOptions &options) {
    command.add_option("--bits", options.bits, "Colour mode in bits per pixel")
        ->check(CLI::IsMember({8, 16, 24, 32, 48, 64}));
    command.add_option("--exposure", options.exposure, "Exposure in tenths of a millisecond");
    command.add_option("--gain", options.gain, "Global gain");
    command.add_option("--window", options.window, "Capture window WIDTHxHEIGHT[+X+Y]");
    command.add_option("--subsample", options.subSample, "Sub-sampling: 1 halves width and height")
        ->check(CLI::Range(0, 1));
    command.add_option("--mirror-h", options.mirrorH, "Horizontal mirror, 0 or 1")->check(CLI::Range(0, 1));
    command.add_option("--mirror-v", options.mirrorV, "Vertical mirror, 0 or 1")->check(CLI::Range(0, 1));
    command.add_option("--set", options.settings,
                       "Any setting before the frames, NAME=VALUE (repeatable; korvix settings)");
}

void ValidateCaptureOptions(const CaptureOptions &options) {
    if (!options.window.empty()) ParseWindow(options.window);
    for (const std::string &assignment : options.settings) ParseAssignment(assignment);
}

void ApplyCaptureOptions(const Session &session, const CaptureOptions &options) {
    const int handle = session.Handle();
    if (options.bits) {
        session.Check(Korvix_SetColorMode(handle, *options.bits),
                      "choosing " + std::to_string(*options.bits) + " bits per pixel");
    }
    if (options.subSample) {
        session.Check(Korvix_SetSubSample(handle, *options.subSample), "setting the sub-sampling");
    }
    if (!options.window.empty()) {
        const Window window = ParseWindow(options.window);
        KorvixCameraInfo info{};
        info.size = sizeof info;
        session.Check(Korvix_GetCameraInfo(handle, &info), "reading the sensor size");
        session.Check(Korvix_SetCaptureWindowEx(handle, info.sensorWidth, window.x, window.width,
                                                info.sensorHeight, window.y, window.height),
                      "setting the capture window " + options.window);
    }
    if (options.exposure) WriteSetting(session, FindSetting("exposure"), *options.exposure);
    if (options.gain) WriteSetting(session, FindSetting("gain"), *options.gain);
    if (options.mirrorH) WriteSetting(session, FindSetting("mirror-h"), *options.mirrorH);
    if (options.mirrorV) WriteSetting(session, FindSetting("mirror-v"), *options.mirrorV);
    for (const std::string &assignment : options.settings) {
        const auto [setting, value] = ParseAssignment(assignment);
        WriteSetting(session, setting, value);
    }
}

}  // namespace korvix::tool
