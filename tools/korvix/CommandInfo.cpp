// korvix info: the selected camera's identity, limits and state.

#include <KorvixSdk_Tesslin.h>

#include <iostream>

#include "Commands.h"
#include "Output.h"

namespace korvix::tool {

namespace {

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
    return {
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
