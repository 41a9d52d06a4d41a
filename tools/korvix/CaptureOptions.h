#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace korvix::tool {

class Session;

// How frames are taken: the options snap, stream, record and preview share.
struct CaptureOptions {
    std::optional<int> bits;      // colour mode: 8, 16, 24, 32, 48 or 64 bits per pixel
    std::optional<int> exposure;  // tenths of a millisecond
    std::optional<int> gain;      // global gain
    std::string window;           // WIDTHxHEIGHT[+X+Y]
    std::optional<int> subSample; // 0 or 1
    std::optional<int> mirrorH;
    std::optional<int> mirrorV;
    std::vector<std::string> settings;  // NAME=VALUE, applied in order
};

// Adds the options to a subcommand.
void AddCaptureOptions(CLI::App &command, CaptureOptions &options);

// Checks the options that need no camera (throws a usage error).
void ValidateCaptureOptions(const CaptureOptions &options);

// Writes them to the selected camera (throws CameraError when the library refuses).
void ApplyCaptureOptions(const Session &session, const CaptureOptions &options);

}  // namespace korvix::tool
