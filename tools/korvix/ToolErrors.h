#pragma once

#include <stdexcept>
#include <string>

namespace korvix::tool {

// Exit codes of the korvix tool; `korvix --help` lists them.
enum ExitCode : int {
    kExitOk = 0,           // done (also a stream, preview or recording stopped with Ctrl-C)
    kExitCameraError = 1,  // the library refused a call; the message names its error code
    kExitUsage = 2,        // bad command line: unknown option, setting name or value
    kExitNoCamera = 3,     // no camera at the device number, or it could not be opened
    kExitFile = 4,         // a file could not be read or written
};

// The text of the exit codes for the help screen.
const char *ExitCodeHelp();

// A failure the tool reports with one line on the standard error stream and an exit code.
class ToolError : public std::runtime_error {
public:
    ToolError(ExitCode exitCode, const std::string &message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    ExitCode Exit() const { return exitCode_; }
    // The library's error code behind the failure, or -1 when there is none.
    virtual int CameraCode() const { return -1; }

private:
    ExitCode exitCode_;
};

// A library call that failed: `code` is what Korvix_GetLastError gave (0 when the
// library recorded no reason), `action` says what the tool was doing.
class CameraError : public ToolError {
public:
    CameraError(int code, const std::string &action);
    int CameraCode() const override { return code_; }

private:
    int code_;
};

// Bad input on the command line.
ToolError UsageError(const std::string &message);
// A file that cannot be written or read.
ToolError FileError(const std::string &message);

// "CAMERR_OPEN" and "the camera could not be opened" for code 2; "CAMERR_<n>" and an
// empty meaning for a code the header does not define.
std::string ErrorCodeName(int code);
std::string ErrorCodeMeaning(int code);

}  // namespace korvix::tool
