// korvix info: the selected camera's identity, limits and state.

#include <KorvixSdk_Tesslin.h>

#include <iostream>

#include "Commands.h"
#include "Output.h"

namespace korvix::tool {

namespace {

// What a camera may not offer (a temperature sensor, say) is left out, not an error.
nlohmann::json ReadState(const Session &session) {
    const int handle = session.Handle();
    nlohmann::json state;
    int okLow = 1;
    int okHigh = 1;
    const int low = Korvix_Fpga_ReadRegister(handle, 0x10, &okLow);
    const int high = Korvix_Fpga_ReadRegister(handle, 0x11, &okHigh);
    if (okLow && okHigh) state["fpgaVersion"] = Hex(static_cast<unsigned>((high & 0xFF) << 8 | (low & 0xFF)), 4);
    int ok = 0;
    const double temperature = Korvix_GetTemperatureEx(handle, &ok);
    if (ok) state["temperature"] = temperature;
    const int exposure = Korvix_GetExposureTime(handle, &ok);
    if (ok) state["exposureNow"] = exposure;
    const int gain = Korvix_GetGlobalGain(handle, &ok);
    if (ok) state["gainNow"] = gain;
    state["colorBits"] = Korvix_GetColorMode(handle);
    while (Korvix_GetLastError(handle) != 0) {
    }
    return state;
}

nlohmann::json ReadInfo(const Session &session) {
    const int handle = session.Handle();
    char name[64] = {};
    session.Check(Korvix_GetDeviceName(handle, session.DeviceNumber(), name, sizeof name),
                  "reading the device name");
    char serial[64] = {};
    session.Check(Korvix_ReadSerialNumberA(handle, serial, sizeof serial),
                  "reading the serial number");
    KorvixCameraInfo info{};
    info.size = sizeof info;
    session.Check(Korvix_GetCameraInfo(handle, &info), "reading the camera information");
    nlohmann::json state = ReadState(session);
    nlohmann::json result = {
        {"device", session.DeviceNumber()},
        {"name", name},
        {"serial", serial},
        {"library", LibraryVersion()},
        {"sensor", {{"width", info.sensorWidth}, {"height", info.sensorHeight}}},
        {"captureWindow", {{"width", Korvix_Width(handle)}, {"height", Korvix_Height(handle)}}},
        {"globalGain", {{"min", info.minGlobalGain}, {"max", info.maxGlobalGain}}},
        {"colorGain", {{"min", info.minColorGain}, {"max", info.maxColorGain}}},
        {"exposure", {{"min", info.minExposure}, {"max", info.maxExposure}}},
        {"exposureSeconds", {{"min", info.minRealExposure}, {"max", info.maxRealExposure}}},
    };
    result.update(state);
    return result;
}

void PrintInfo(std::ostream &out, const nlohmann::json &info) {
    auto range = [](const nlohmann::json &limits) {
        return limits["min"].dump() + " to " + limits["max"].dump();
    };
    out << "device          " << info["device"] << '\n'
        << "name            " << info["name"].get<std::string>() << '\n'
        << "serial          " << info["serial"].get<std::string>() << '\n'
        << "library         " << info["library"].get<std::string>() << '\n'
        << "sensor          " << info["sensor"]["width"] << " x " << info["sensor"]["height"] << '\n'
        << "capture window  " << info["captureWindow"]["width"] << " x "
        << info["captureWindow"]["height"] << '\n'
        << "global gain     " << range(info["globalGain"]) << '\n'
        << "colour gain     " << range(info["colorGain"]) << '\n'
        << "exposure        " << range(info["exposure"]) << " (device units)\n"
        << "exposure        " << range(info["exposureSeconds"]) << " s\n";
    auto line = [&](const char *label, const char *key, const char *unit) {
        if (info.contains(key)) {
            const nlohmann::json &value = info[key];
            out << label << (value.is_string() ? value.get<std::string>() : value.dump()) << unit << '\n';
        }
    };
    line("exposure now    ", "exposureNow", " (device units)");
    line("gain now        ", "gainNow", "");
    line("colour mode     ", "colorBits", " bits per pixel");
    line("FPGA version    ", "fpgaVersion", "");
    line("temperature     ", "temperature", " degrees C");
}

void RunInfo(const GlobalOptions &options) {
    CameraSession session(options);
    const nlohmann::json info = ReadInfo(session);
    Emit(options, info, [&](std::ostream &out) { PrintInfo(out, info); });
}

}  // namespace

void AddInfoCommand(CLI::App &app, GlobalOptions &options) {
    RunsAs(app.add_subcommand("info", "Print the camera's identity, limits and state"), options,
           [&options] { RunInfo(options); });
}

}  // namespace korvix::tool
