// korvix preview: the library's preview window for N seconds or until Ctrl-C, with the
// frame rate in the terminal.

#include <KorvixSdk_Tesslin.h>

#include <cstdio>
#include <iostream>

#include "CaptureOptions.h"
#include "Commands.h"
#include "FrameWatch.h"
#include "Output.h"
#include "StopRequest.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct PreviewArguments {
    CaptureOptions capture;
    double seconds = 0;  // 0: until Ctrl-C
};

void RunPreview(const GlobalOptions &options, const PreviewArguments &arguments) {
    ValidateCaptureOptions(arguments.capture);
    CameraSession session(options);
    const int handle = session.Handle();
    ApplyCaptureOptions(session, arguments.capture);
    InstallStopRequestHandler();
    // The library's own window, centred on the screen at the frame's size; the frames also
    // come to the tool's handler so it can show the rate.
    session.Check(Korvix_CallBackPreview(handle, MessageInbox::FrameWindow(), nullptr, 0, 1),
                  "opening the preview");
    const bool terminal = StdoutIsTerminal() && !options.json;
    FrameWatch watch(session);
    double nextReport = 1.0;
    bool interrupted = false;
    while (!watch.DeviceLost()) {
        if (!watch.Next()) {
            interrupted = true;
            break;
        }
        if (arguments.seconds > 0 && watch.Seconds() >= arguments.seconds) break;
        if (!options.json && watch.Seconds() >= nextReport) {
            char line[96];
            std::snprintf(line, sizeof line, "%6.1f s  %6.1f fps  %8llu frames", watch.Seconds(),
                          watch.Rate(), static_cast<unsigned long long>(watch.Frames()));
            std::cout << (terminal ? "\r" : "") << line << (terminal ? "" : "\n") << std::flush;
            nextReport += 1.0;
        }
    }
    Korvix_StopPreview(handle);
    Korvix_Close(handle);
    if (terminal) std::cout << '\n';
    if (watch.DeviceLost()) throw CameraError(CAMERR_DEVICE_LOST, "previewing");
    const nlohmann::json summary = {{"frames", watch.Frames()}, {"seconds", watch.Seconds()},
                                    {"fps", watch.Rate()}, {"interrupted", interrupted}};
    Emit(options, summary, [&](std::ostream &out) {
        char line[96];
        std::snprintf(line, sizeof line, "previewed %llu frames in %.1f s (%.1f fps)",
                      static_cast<unsigned long long>(watch.Frames()), watch.Seconds(), watch.Rate());
        out << line << '\n';
    });
}

}  // namespace

void AddPreviewCommand(CLI::App &app, GlobalOptions &options) {
    auto arguments = std::make_shared<PreviewArguments>();
    CLI::App *preview = app.add_subcommand(
        "preview", "Show the library's preview window (needs DISPLAY) for N seconds or until Ctrl-C");
    AddCaptureOptions(*preview, arguments->capture);
    preview->add_option("--seconds", arguments->seconds, "Close after this many seconds")
        ->check(CLI::PositiveNumber);
    RunsAs(preview, options, [&options, arguments] { RunPreview(options, *arguments); });
}

}  // namespace korvix::tool
