// How many of the frames a full-rate preview makes a recording writes: the simulated
// IMX990 previews at its own frame rate (full 1280 x 1024 window, 8-bit), first with frame
// messages counted for two seconds, then recorded for two seconds; the recording's frame
// rate (frames over the time its header spans) against the preview's.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "KorvixSdk_Tesslin.h"
#include "sim/Simulator.h"

namespace {

std::atomic<int> frameMessages{0};

void CountFrames(void *, unsigned int message, uintptr_t, intptr_t, void *) {
    if (message == WM_CAMERA_FRAME) frameMessages.fetch_add(1);
}

uint32_t U32At(const std::vector<char> &bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

void BM_RecordingShareOfPreviewFrames(benchmark::State &state) {
    const char *cameras = "imx990:scene=uniform:2000";
    ::setenv("KORVIX_SIMULATE", cameras, 1);
    korvix::sim::Simulator::Instance().Configure(cameras);
    const auto path = std::filesystem::temp_directory_path() / "korvix-recording-bench.avi";
    Korvix_SetMessageHandler(&CountFrames, nullptr);
    const int handle = Korvix_Initialize(nullptr);
    Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    Korvix_SetColorMode(handle, 8);
    std::vector<uint8_t> buffer(1280 * 1024);
    auto *window = reinterpret_cast<KorvixWindow>(uintptr_t{0x77});

    for (auto _ : state) {
        frameMessages = 0;
        if (Korvix_CallBackPreview(handle, window, buffer.data(), int(buffer.size()), 1) != 1) {
            state.SkipWithError("the preview did not start");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const int previewFrames = frameMessages.load();
        const double previewSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Korvix_StopPreview(handle);

        std::filesystem::remove(path);
        if (Korvix_Record(handle, path.c_str(), 2000, 0) != 1) {
            state.SkipWithError("the recording did not start");
            break;
        }
        std::vector<char> bytes;
        for (int tries = 0; tries < 600; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::ifstream file(path, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(file), {});
            if (bytes.size() > 52 && U32At(bytes, 48) != 0) break;
        }
        Korvix_StopPreview(handle);
        const uint32_t frames = bytes.size() > 52 ? U32At(bytes, 48) : 0;
        const double recordedSeconds = frames * double(U32At(bytes, 32)) * 1e-6;
        const double previewRate = previewFrames / previewSeconds;
        const double recordedRate = recordedSeconds > 0 ? frames / recordedSeconds : 0;
        state.counters["preview_fps"] = previewRate;
        state.counters["recorded_fps"] = recordedRate;
        state.counters["recorded_frames"] = frames;
        state.counters["share_recorded"] = previewRate > 0 ? recordedRate / previewRate : 0;
    }
    Korvix_Release(handle);
    Korvix_SetMessageHandler(nullptr, nullptr);
    std::filesystem::remove(path);
}
BENCHMARK(BM_RecordingShareOfPreviewFrames)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
