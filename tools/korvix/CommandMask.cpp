// korvix mask dark|bright|save|load|apply: the defect mask. A mask file holds a dark and a
// bright reference frame at 8 and 16 bits; the library corrects each frame between them
// (mask correction) and repairs the hot and dead pixels they reveal (defect correction).
// The references live in the library session, so every command here works on a file.

#include <KorvixSdk_Tesslin.h>

#include <filesystem>
#include <iostream>

#include "CaptureOptions.h"
#include "Commands.h"
#include "ImageFileTypes.h"
#include "Output.h"
#include "PendingFile.h"
#include "SettingTable.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

constexpr int kDarkReference = 0;
constexpr int kBrightReference = 1;

struct MaskArguments {
    std::string file;
    std::string output = "corrected.png";
    bool defects = false;
    CaptureOptions capture;
};

void LoadMask(const Session &session, const std::string &file) {
    if (!std::filesystem::exists(file)) throw FileError("cannot read '" + file + "': no such file");
    session.Check(Korvix_LoadMaskFile(session.Handle(), file.c_str()), "loading the mask file " + file);
}

void SaveMask(const Session &session, const std::string &file) {
    PendingFile pending(file);
    session.Check(Korvix_SaveMaskFile(session.Handle(), pending.TempPath().c_str()),
                  "writing the mask file " + file);
    pending.Commit();
}

// Takes a full-sensor frame at 8 and at 16 bits and stores each as the reference `which`
// of its depth, then writes the mask file (keeping the other references it held).
void RunCapture(const GlobalOptions &options, const MaskArguments &arguments, int which) {
    ValidateCaptureOptions(arguments.capture);
    CameraSession session(options);
    const int handle = session.Handle();
    if (std::filesystem::exists(arguments.file)) LoadMask(session, arguments.file);
    ApplyCaptureOptions(session, arguments.capture);
    const int bitsBefore = Korvix_GetColorMode(handle);
    KorvixCameraInfo info{};
    info.size = sizeof info;
    session.Check(Korvix_GetCameraInfo(handle, &info), "reading the sensor size");
    session.Check(Korvix_SetSubSample(handle, 0), "turning sub-sampling off");
    session.Check(Korvix_SetCaptureWindowEx(handle, info.sensorWidth, 0, info.sensorWidth,
                                            info.sensorHeight, 0, info.sensorHeight),
                  "choosing the full sensor");
    const char *what = which == kDarkReference ? "dark" : "bright";
    for (int bits : {8, 16}) {
        session.Check(Korvix_SetColorMode(handle, bits), "choosing " + std::to_string(bits) + " bits");
        session.Check(Korvix_SnapShot(handle, nullptr, 0, 1),
                      std::string("taking the ") + what + " frame at " + std::to_string(bits) + " bits");
        session.Check(Korvix_UpdateMaskData(handle, which), std::string("storing the ") + what + " reference");
    }
    Korvix_SetColorMode(handle, bitsBefore);
    SaveMask(session, arguments.file);
    Emit(options, {{"file", arguments.file}, {"reference", what}}, [&](std::ostream &out) {
        out << "stored the " << what << " reference in " << arguments.file << '\n';
    });
}

void RunSave(const GlobalOptions &options, const MaskArguments &arguments) {
    CameraSession session(options);
    SaveMask(session, arguments.file);
    Emit(options, {{"file", arguments.file}}, [&](std::ostream &out) {
        out << "wrote a neutral mask (dark 0, bright full scale) to " << arguments.file << '\n';
    });
}

void RunLoad(const GlobalOptions &options, const MaskArguments &arguments) {
    CameraSession session(options);
    LoadMask(session, arguments.file);
    Emit(options, {{"file", arguments.file}, {"valid", true}}, [&](std::ostream &out) {
        out << arguments.file << " is a valid mask file\n";
    });
}

// Takes one frame with the mask (and optionally the defect) correction and saves it.
void RunApply(const GlobalOptions &options, const MaskArguments &arguments) {
    ValidateCaptureOptions(arguments.capture);
    const int type = ImageFileType(arguments.output, "");
    CameraSession session(options);
    const int handle = session.Handle();
    LoadMask(session, arguments.file);
    ApplyCaptureOptions(session, arguments.capture);
    const Setting maskCorrection = FindSetting("mask-correction");
    const Setting defectCorrection = FindSetting("defect-correction");
    const int maskBefore = ReadSetting(session, maskCorrection);
    const int defectsBefore = ReadSetting(session, defectCorrection);
    WriteSetting(session, maskCorrection, 1);
    if (arguments.defects) WriteSetting(session, defectCorrection, 1);
    session.Check(Korvix_SnapShot(handle, nullptr, 0, 1), "taking the corrected frame");
    PendingFile file(arguments.output);
    if (!Korvix_SaveImage(handle, file.TempPath().c_str(), type)) session.Fail("saving " + arguments.output);
    file.Commit();
    // The corrections are camera settings the library keeps; leave them as they were.
    WriteSetting(session, maskCorrection, maskBefore);
    WriteSetting(session, defectCorrection, defectsBefore);
    Emit(options, {{"file", arguments.output}}, [&](std::ostream &out) {
        out << "wrote " << arguments.output << " corrected with " << arguments.file << '\n';
    });
}

}  // namespace

void AddMaskCommand(CLI::App &app, GlobalOptions &options) {
    CLI::App *mask = app.add_subcommand("mask", "Dark and bright references: capture, save, load, apply");
    mask->require_subcommand(1);
    auto arguments = std::make_shared<MaskArguments>();
    auto fileArgument = [&](CLI::App *command) {
        command->add_option("file", arguments->file, "The mask file")->required();
    };
    CLI::App *dark = mask->add_subcommand("dark", "Capture the dark reference (cover the lens) into FILE");
    fileArgument(dark);
    AddCaptureOptions(*dark, arguments->capture);
    RunsAs(dark, options, [&options, arguments] { RunCapture(options, *arguments, kDarkReference); });
    CLI::App *bright = mask->add_subcommand("bright", "Capture the bright reference (even light) into FILE");
    fileArgument(bright);
    AddCaptureOptions(*bright, arguments->capture);
    RunsAs(bright, options, [&options, arguments] { RunCapture(options, *arguments, kBrightReference); });
    CLI::App *save = mask->add_subcommand("save", "Write a neutral mask file");
    fileArgument(save);
    RunsAs(save, options, [&options, arguments] { RunSave(options, *arguments); });
    CLI::App *load = mask->add_subcommand("load", "Check that FILE is a valid mask file");
    fileArgument(load);
    RunsAs(load, options, [&options, arguments] { RunLoad(options, *arguments); });
    CLI::App *apply = mask->add_subcommand("apply", "Take a frame corrected with FILE and save it");
    fileArgument(apply);
    apply->add_option("-o,--output", arguments->output, "Image file (default corrected.png)");
    apply->add_flag("--defects", arguments->defects, "Also repair hot and dead pixels");
    AddCaptureOptions(*apply, arguments->capture);
    RunsAs(apply, options, [&options, arguments] { RunApply(options, *arguments); });
}

}  // namespace korvix::tool
