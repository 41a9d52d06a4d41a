// korvix list: the attached cameras with their device numbers, names and serial numbers.

#include <KorvixSdk_Tesslin.h>

#include <iomanip>
#include <iostream>

#include "Commands.h"
#include "Output.h"

namespace korvix::tool {

namespace {

struct ListedCamera {
    int number;
    std::string name;
    std::string serial;
};

std::vector<ListedCamera> ListCameras(Session &session) {
    std::vector<ListedCamera> cameras;
    for (int number : session.PresentDevices()) {
        char name[64] = {};
        Korvix_GetDeviceName(session.Handle(), number, name, sizeof name);
        // The serial number is read from the camera's identity memory, which needs the
        // camera selected; one that cannot be opened is listed without it.
        char serial[64] = {};
        if (Korvix_SetDeviceNumber(session.Handle(), number)) {
            Korvix_ReadSerialNumberA(session.Handle(), serial, sizeof serial);
        }
        while (Korvix_GetLastError(session.Handle()) != 0) {
        }
        cameras.push_back({number, name, serial});
    }
    return cameras;
}

void RunList(const GlobalOptions &options) {
    Session session;
    const std::vector<ListedCamera> cameras = ListCameras(session);
    nlohmann::json data = nlohmann::json::array();
    for (const ListedCamera &camera : cameras) {
        data.push_back({{"device", camera.number}, {"name", camera.name}, {"serial", camera.serial}});
    }
    Emit(options, data, [&](std::ostream &out) {
        if (cameras.empty()) {
            out << "no camera found (--simulate imx990 uses a simulated one)\n";
            return;
        }
        out << "DEVICE  NAME               SERIAL\n";
        for (const ListedCamera &camera : cameras) {
            out << std::left << std::setw(8) << camera.number << std::setw(19) << camera.name
                << camera.serial << '\n';
        }
    });
}

}  // namespace

void AddListCommand(CLI::App &app, GlobalOptions &options) {
    RunsAs(app.add_subcommand("list", "List the attached cameras: device number, name, serial number"), options, [&options] { RunList(options); });
}

}  // namespace korvix::tool
