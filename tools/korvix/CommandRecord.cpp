// korvix record: records the camera into an AVI file for a given time, with a progress bar
// on a terminal and plain progress lines otherwise. Ctrl-C ends the recording early; the
// file is finished either way.

#include <KorvixSdk_Tesslin.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "CaptureOptions.h"
#include "Commands.h"
#include "FrameWatch.h"
#include "Output.h"
#include "StopRequest.h"
#include "PendingFile.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

constexpr int kBarWidth = 30;

struct RecordArguments {
    CaptureOptions capture;
    std::string output;
    double seconds = 10;
};

std::string ProgressBar(const FrameWatch &watch, double seconds) {
    const double done = std::min(1.0, watch.SecondsSinceFirstFrame() / seconds);
    const int filled = static_cast<int>(done * kBarWidth);
    char line[160];
    std::snprintf(line, sizeof line, "\r[%s%s] %3d%%  %5.1f/%.1f s  %6llu frames  %5.1f fps",
                  std::string(static_cast<size_t>(filled), '#').c_str(),
                  std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(),
                  static_cast<int>(done * 100), watch.SecondsSinceFirstFrame(), seconds,
                  static_cast<unsigned long long>(watch.Frames()), watch.Rate());
    return line;
}

std::string ProgressLine(const FrameWatch &watch, double seconds) {
    char line[128];
    std::snprintf(line, sizeof line, "recording: %.1f of %.1f s, %llu frames, %.1f fps",
                  watch.SecondsSinceFirstFrame(), seconds,
                  static_cast<unsigned long long>(watch.Frames()), watch.Rate());
    return line;
}

void RunRecord(const GlobalOptions &options, const RecordArguments &arguments) {
    ValidateCaptureOptions(arguments.capture);
    PendingFile file(arguments.output);
    CameraSession session(options);
    const int handle = session.Handle();
    ApplyCaptureOptions(session, arguments.capture);
    InstallStopRequestHandler();
    const int durationMs = static_cast<int>(arguments.seconds * 1000);
    session.Check(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), "turning the window off");
    session.Check(Korvix_Record(handle, file.TempPath().c_str(), durationMs, 0), "starting the recording");
    // The recording's preview announces no frames; pointing it at the tool's handler lets
    // the tool follow the recording.
    session.Check(Korvix_CallBackPreview(handle, MessageInbox::FrameWindow(), nullptr, 0, 1),
                  "following the recording");

    const bool bar = StdoutIsTerminal() && !options.json;
    FrameWatch watch(session);
    double nextLine = 1.0;
    bool interrupted = false;
    uint64_t framesAtEnd = 0;
    while (!watch.DeviceLost()) {
        if (!watch.Next()) {
            interrupted = true;
            break;
        }
        // The recorder ends with the first frame after its time; once one more frame came,
        // the file holds all it will.
        if (watch.SecondsSinceFirstFrame() * 1000 >= durationMs) {
            if (framesAtEnd == 0) {
                framesAtEnd = watch.Frames();
            } else if (watch.Frames() > framesAtEnd) {
                break;
            }
        }
        if (bar) {
            std::cout << ProgressBar(watch, arguments.seconds) << std::flush;
        } else if (!options.json && watch.SecondsSinceFirstFrame() >= nextLine) {
            std::cout << ProgressLine(watch, arguments.seconds) << std::endl;
            nextLine += 1.0;
        }
    }
    // Stopping the preview finishes the file, also when the recording was cut short.
    Korvix_StopPreview(handle);
    if (bar) std::cout << ProgressBar(watch, arguments.seconds) << '\n';
    if (watch.DeviceLost()) throw CameraError(CAMERR_DEVICE_LOST, "recording");
    file.Commit();
    const nlohmann::json summary = {{"file", file.FinalPath().string()},
                                    {"bytes", std::filesystem::file_size(file.FinalPath())},
                                    {"seconds", std::min(watch.SecondsSinceFirstFrame(), arguments.seconds)},
                                    {"fps", watch.Rate()},
                                    {"interrupted", interrupted}};
    Emit(options, summary, [&](std::ostream &out) {
        char line[96];
        std::snprintf(line, sizeof line, " (%.1f s, camera at %.1f fps%s)", summary["seconds"].get<double>(),
                      watch.Rate(), interrupted ? ", stopped early" : "");
        out << "wrote " << file.FinalPath().string() << line << '\n';
    });
}

}  // namespace

void AddRecordCommand(CLI::App &app, GlobalOptions &options) {
    auto arguments = std::make_shared<RecordArguments>();
    CLI::App *record = app.add_subcommand("record", "Record an AVI file (Ctrl-C ends it early)");
    AddCaptureOptions(*record, arguments->capture);
    record->add_option("-o,--output", arguments->output, "The AVI file")->required();
    record->add_option("--seconds", arguments->seconds, "Length of the recording (default 10)")
        ->check(CLI::Range(0.1, 3600.0));
    RunsAs(record, options, [&options, arguments] { RunRecord(options, *arguments); });
}

}  // namespace korvix::tool
