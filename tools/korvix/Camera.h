#pragma once

#include <functional>
#include <string>
#include <vector>

#include "MessageInbox.h"

namespace korvix::tool {

// The options every subcommand shares.
struct GlobalOptions {
    std::string simulate;  // --simulate: KORVIX_SIMULATE for this run
    int device = -1;       // --device: the device number; -1 picks the first camera
    bool json = false;     // --json: machine-readable output
    // What the chosen subcommand does; set while parsing, run after it (so --simulate is
    // applied before the first library call whatever the order on the command line).
    std::function<void()> action;
};

// Sets KORVIX_SIMULATE from --simulate; must run before the first library call.
void ApplySimulation(const GlobalOptions &options);

// One library session (Korvix_Initialize ... Korvix_Release) with the tool's message
// handler, optionally with a camera selected.
class Session {
public:
    Session();
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    int Handle() const { return handle_; }
    const MessageInbox &Inbox() const { return inbox_; }

    // Selects the camera of `deviceNumber`, or the first present one for -1; throws
    // CameraError (CAMERR_OPEN, exit code 3) when there is none.
    void SelectCamera(int deviceNumber);
    int DeviceNumber() const { return deviceNumber_; }
    // Present device numbers, in order (at most 32).
    std::vector<int> PresentDevices() const;

    // Throws CameraError with the library's reason when `result` is 0 (`action` says what
    // failed). The reason is the newest recorded code, or else the code the library
    // announced with WM_CAMERA_ERROR during the call.
    void Check(int result, const std::string &action) const;
    // The failure of the newest call, as Check reports it.
    [[noreturn]] void Fail(const std::string &action) const;
    // Remember how many errors were announced before a call whose failure only posts.
    uint64_t PostedErrorMark() const { return inbox_.Counts().postedErrors; }

private:
    MessageInbox inbox_;
    int handle_ = 0;
    int deviceNumber_ = -1;
    mutable uint64_t errorMark_ = 0;
};

// Runs a subcommand's body with a session and its camera selected.
struct CameraSession : Session {
    explicit CameraSession(const GlobalOptions &options) { SelectCamera(options.device); }
};

}  // namespace korvix::tool
