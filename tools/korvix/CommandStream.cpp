// korvix stream: takes frames without a window for N frames or seconds (or until Ctrl-C)
// and reports the frames, the frame rate, the failed and the lost frames, and the library's
// statistics of the transfers.

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

struct StreamArguments {
    CaptureOptions capture;
    uint64_t frames = 0;   // 0: no frame limit
    double seconds = 0;    // 0: no time limit
    int dataTimeoutMs = 0;  // 0: the library's own limit
};

// The library's counts of the session's frame transfers.
nlohmann::json LibraryStatistics(const Session &session) {
    KorvixStreamStatistics stats{};
    stats.size = sizeof stats;
    session.Check(Korvix_GetStreamStatistics(session.Handle(), &stats), "reading the statistics");
    const int dataTimeout = Korvix_GetDataTimeout(session.Handle());
    session.Check(dataTimeout, "reading the data time limit");
    return {{"delivered", stats.framesDelivered},
            {"lost", stats.framesLost},
            {"transfer_failures", stats.transferFailures},
            {"restart_pulses", stats.restartPulses},
            {"transfer_rate_mbps", stats.transferRateMBps},
            {"data_timeout_ms", dataTimeout}};
}

std::string StatisticsLine(const nlohmann::json &stats) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "library: %llu delivered  lost %llu  transfer failures %llu  restart pulses "
                  "%llu  last transfer %.1f MB/s  data time limit %d ms",
                  stats["delivered"].get<unsigned long long>(),
                  stats["lost"].get<unsigned long long>(),
                  stats["transfer_failures"].get<unsigned long long>(),
                  stats["restart_pulses"].get<unsigned long long>(),
                  stats["transfer_rate_mbps"].get<double>(), stats["data_timeout_ms"].get<int>());
    return line;
}

std::string StatusLine(const FrameWatch &watch) {
    char line[160];
    std::snprintf(line, sizeof line, "%6.1f s  %8llu frames  %6.1f fps  failed %llu  lost %llu",
                  watch.Seconds(), static_cast<unsigned long long>(watch.Frames()), watch.Rate(),
                  static_cast<unsigned long long>(watch.FailedReads()),
                  static_cast<unsigned long long>(watch.Lost()));
    return line;
}

void RunStream(const GlobalOptions &options, const StreamArguments &arguments) {
    ValidateCaptureOptions(arguments.capture);
    if (arguments.frames == 0 && arguments.seconds <= 0) {
        throw UsageError("stream needs --frames or --seconds (Ctrl-C stops it earlier)");
    }
    CameraSession session(options);
    const int handle = session.Handle();
    ApplyCaptureOptions(session, arguments.capture);
    if (arguments.dataTimeoutMs > 0) {
        session.Check(Korvix_SetDataTimeout(handle, arguments.dataTimeoutMs),
                      "setting the data time limit");
    }
    InstallStopRequestHandler();
    // No window: the frames only reach the tool's message handler.
    session.Check(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), "turning the window off");
    session.Check(Korvix_CallBackPreview(handle, MessageInbox::FrameWindow(), nullptr, 0, 1),
                  "starting the stream");
    FrameWatch watch(session);
    double nextReport = 1.0;
    bool interrupted = false;
    while (!watch.DeviceLost()) {
        if (!watch.Next()) {
            interrupted = true;
            break;
        }
        if (arguments.frames != 0 && watch.Frames() >= arguments.frames) break;
        if (arguments.seconds > 0 && watch.Seconds() >= arguments.seconds) break;
        if (!options.json && watch.Seconds() >= nextReport) {
            std::cout << StatusLine(watch) << std::endl;
            nextReport += 1.0;
        }
    }
    Korvix_StopPreview(handle);
    if (watch.DeviceLost()) throw CameraError(CAMERR_DEVICE_LOST, "streaming");
    const nlohmann::json statistics = LibraryStatistics(session);
    const nlohmann::json summary = {{"frames", watch.Frames()},  {"seconds", watch.Seconds()},
                                    {"fps", watch.Rate()},       {"failed", watch.FailedReads()},
                                    {"lost", watch.Lost()},      {"interrupted", interrupted},
                                    {"statistics", statistics}};
    Emit(options, summary, [&](std::ostream &out) {
        out << StatusLine(watch) << (interrupted ? "  (stopped)" : "") << '\n'
            << StatisticsLine(statistics) << '\n';
    });
}

}  // namespace

void AddStreamCommand(CLI::App &app, GlobalOptions &options) {
    auto arguments = std::make_shared<StreamArguments>();
    CLI::App *stream = app.add_subcommand(
        "stream", "Take frames without a window and report frames, rate, failed and lost frames");
    AddCaptureOptions(*stream, arguments->capture);
    stream->add_option("--frames", arguments->frames, "Stop after this many frames");
    stream->add_option("--seconds", arguments->seconds, "Stop after this many seconds")
        ->check(CLI::PositiveNumber);
    stream->add_option("--data-timeout", arguments->dataTimeoutMs,
                       "Time limit of each frame's data transfer, in ms")
        ->check(CLI::PositiveNumber);
    RunsAs(stream, options, [&options, arguments] { RunStream(options, *arguments); });
}

}  // namespace korvix::tool
