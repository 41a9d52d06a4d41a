#include "ToolErrors.h"

#include <KorvixSdk_Tesslin.h>

#include <array>

namespace korvix::tool {

namespace {

struct CodeText {
    int code;
    const char *name;
    const char *meaning;
};

constexpr std::array kCodes{
    CodeText{CAMERR_NONE, "CAMERR_NONE", "no error"},
    CodeText{CAMERR_NOT_READY, "CAMERR_NOT_READY",
             "no camera is selected, or the call is not allowed in the current acquisition mode"},
    CodeText{CAMERR_OPEN, "CAMERR_OPEN", "the camera could not be opened"},
    CodeText{CAMERR_THREAD, "CAMERR_THREAD", "a worker thread could not be created"},
    CodeText{CAMERR_WINDOW, "CAMERR_WINDOW",
             "the preview window could not be created (is DISPLAY set?)"},
    CodeText{CAMERR_MEMORY, "CAMERR_MEMORY", "out of memory, or a buffer is too small"},
    CodeText{CAMERR_IO, "CAMERR_IO", "the camera refused a register access or transfer"},
    CodeText{CAMERR_CAPTURE_WINDOW, "CAMERR_CAPTURE_WINDOW",
             "the capture window lies outside the sensor or was refused"},
    CodeText{CAMERR_FRAME, "CAMERR_FRAME", "no frame arrived from the camera"},
    CodeText{CAMERR_PARAMETER, "CAMERR_PARAMETER", "an argument is out of range or missing"},
    CodeText{CAMERR_NOT_SUPPORTED, "CAMERR_NOT_SUPPORTED",
             "the camera does not offer this function"},
    CodeText{CAMERR_FAILED, "CAMERR_FAILED", "the operation failed"},
    CodeText{CAMERR_DEVICE_LOST, "CAMERR_DEVICE_LOST", "the camera was lost"},
    CodeText{CAMERR_MASK_FILE, "CAMERR_MASK_FILE",
             "the mask file could not be opened, read or written"},
};

const CodeText *FindCode(int code) {
    for (const CodeText &entry : kCodes) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

std::string CameraMessage(int code, const std::string &action) {
    if (code == CAMERR_NONE) return action + " failed (the library recorded no reason)";
    std::string message = ErrorCodeName(code) + " (" + std::to_string(code) + ")";
    const std::string meaning = ErrorCodeMeaning(code);
    if (!meaning.empty()) message += ": " + meaning;
    return message + " [" + action + "]";
}

ExitCode ExitCodeOf(int code) {
    return code == CAMERR_OPEN || code == CAMERR_DEVICE_LOST ? kExitNoCamera
           : code == CAMERR_MASK_FILE                         ? kExitFile
                                                              : kExitCameraError;
}

}  // namespace

const char *ExitCodeHelp() {
    return "Exit codes:\n"
           "  0  done (a stream, preview or recording stopped with Ctrl-C included)\n"
           "  1  the library refused a call; the message names its error code\n"
           "  2  bad command line: unknown option, setting name or value\n"
           "  3  no camera at the device number, the camera could not be opened, or it was lost\n"
           "  4  a file could not be read or written (nothing half-written is left behind)\n";
}

CameraError::CameraError(int code, const std::string &action)
    : ToolError(ExitCodeOf(code), CameraMessage(code, action)), code_(code) {}

ToolError UsageError(const std::string &message) { return ToolError(kExitUsage, message); }

ToolError FileError(const std::string &message) { return ToolError(kExitFile, message); }

std::string ErrorCodeName(int code) {
    const CodeText *entry = FindCode(code);
    return entry ? entry->name : "CAMERR_" + std::to_string(code);
}

std::string ErrorCodeMeaning(int code) {
    const CodeText *entry = FindCode(code);
    return entry ? entry->meaning : "";
}

}  // namespace korvix::tool
