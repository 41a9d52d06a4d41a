#include "Camera.h"

#include <KorvixSdk_Tesslin.h>

#include <cstdlib>
#include <vector>

#include "ToolErrors.h"

namespace korvix::tool {

namespace {
// Device numbers the library knows (0 to 31).
constexpr int kDeviceNumbers = 32;
// How long a failure may take to announce its code with WM_CAMERA_ERROR: the library posts
// before it returns, so the message is only waiting for the dispatcher thread.
constexpr std::chrono::milliseconds kAnnounceWait{500};
}  // namespace

void ApplySimulation(const GlobalOptions &options) {
    if (!options.simulate.empty()) setenv("KORVIX_SIMULATE", options.simulate.c_str(), 1);
}

Session::Session() {
    handle_ = Korvix_Initialize(MessageInbox::NotifyWindow());
    if (handle_ == 0) throw CameraError(CAMERR_MEMORY, "starting a library session");
}

Session::~Session() { Korvix_Release(handle_); }

std::vector<int> Session::PresentDevices() const {
    std::vector<int> present;
    char name[64];
    for (int number = 0; number < kDeviceNumbers; ++number) {
        if (Korvix_GetDeviceName(handle_, number, name, sizeof name)) present.push_back(number);
    }
    // Looking at absent numbers records CAMERR_OPEN for each; they are not failures here.
    while (Korvix_GetLastError(handle_) != 0) {
    }
    return present;
}

void Session::SelectCamera(int deviceNumber) {
    int number = deviceNumber;
    if (number < 0) {
        const std::vector<int> present = PresentDevices();
        if (present.empty()) {
            throw CameraError(CAMERR_OPEN,
                              "no camera found; --simulate imx990 uses a simulated one");
        }
        number = present.front();
    }
    errorMark_ = PostedErrorMark();
    Check(Korvix_SetDeviceNumber(handle_, number),
          "selecting the camera at device number " + std::to_string(number));
    deviceNumber_ = number;
}

void Session::Check(int result, const std::string &action) const {
    if (result == 0) Fail(action);
    errorMark_ = PostedErrorMark();
}

void Session::Fail(const std::string &action) const {
    int code = Korvix_GetLastError(handle_);
    if (code == 0) code = inbox_.WaitForPostedError(errorMark_, kAnnounceWait);
    // Older codes of the history belong to this failure's causes, not to later calls.
    while (Korvix_GetLastError(handle_) != 0) {
    }
    throw CameraError(code, action);
}

}  // namespace korvix::tool
