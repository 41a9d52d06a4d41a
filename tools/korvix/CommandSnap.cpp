// korvix snap: takes one or more frames and saves each in an image file.

#include <KorvixSdk_Tesslin.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "CaptureOptions.h"
#include "ImageFileTypes.h"
#include "Commands.h"
#include "Output.h"
#include "PendingFile.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct SnapArguments {
    CaptureOptions capture;
    std::string output = "frame.png";
    std::string type;
    int count = 1;
};

// The name of frame `index`: "{n}" in the pattern becomes the index; several frames
// without "{n}" are numbered before the extension (frame-0000.png, frame-0001.png, ...).
std::string FrameFileName(const std::string &pattern, int index, int count) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", index);
    const size_t marker = pattern.find("{n}");
    if (marker != std::string::npos) return std::string(pattern).replace(marker, 3, number);
    if (count == 1) return pattern;
    const std::filesystem::path path(pattern);
    return (path.parent_path() / (path.stem().string() + "-" + number + path.extension().string())).string();
}

void RunSnap(const GlobalOptions &options, const SnapArguments &arguments) {
    ValidateCaptureOptions(arguments.capture);
    const int fileType = ImageFileType(arguments.output, arguments.type);
    CameraSession session(options);
    const int handle = session.Handle();
    ApplyCaptureOptions(session, arguments.capture);
    session.Check(Korvix_Capture(handle), "preparing the camera");

    nlohmann::json written = nlohmann::json::array();
    for (int index = 0; index < arguments.count; ++index) {
        session.Check(Korvix_SnapShot(handle, nullptr, 0, 1), "taking frame " + std::to_string(index));
        PendingFile file(FrameFileName(arguments.output, index, arguments.count));
        if (!Korvix_SaveImage(handle, file.TempPath().c_str(), fileType)) {
            if (Korvix_GetLastError(handle) == 0) {
                throw FileError("cannot write '" + file.FinalPath().string() +
                                "': the image could not be saved in this file type");
            }
            session.Fail("saving " + file.FinalPath().string());
        }
        file.Commit();
        written.push_back({{"file", file.FinalPath().string()},
                           {"bytes", std::filesystem::file_size(file.FinalPath())}});
    }
    Korvix_StopPreview(handle);
    Emit(options, {{"bits", Korvix_GetColorMode(handle)}, {"files", written}}, [&](std::ostream &out) {
        for (const nlohmann::json &entry : written) {
            out << "wrote " << entry["file"].get<std::string>() << " (" << entry["bytes"] << " bytes)\n";
        }
    });
}

}  // namespace

void AddSnapCommand(CLI::App &app, GlobalOptions &options) {
    auto arguments = std::make_shared<SnapArguments>();
    CLI::App *snap = app.add_subcommand("snap", "Take frames and save them as image files");
    AddCaptureOptions(*snap, arguments->capture);
    snap->add_option("-o,--output", arguments->output,
                     "File name; {n} stands for the frame number (default frame.png)");
    snap->add_option("--type", arguments->type, "File type, else chosen by the extension")
        ->check(CLI::IsMember(ImageFileTypeNames()));
    snap->add_option("-n,--count", arguments->count, "Number of frames")->check(CLI::Range(1, 100000));
    RunsAs(snap, options, [&options, arguments] { RunSnap(options, *arguments); });
}

}  // namespace korvix::tool
