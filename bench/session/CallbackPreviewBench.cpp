// A callback preview of the simulated IMX990 at its full 1280 x 1024 window and full frame
// rate with every pipeline step on that a monochrome head runs: how many of the frames the
// sensor makes reach the application, and the process CPU time per frame.
//
// Steps on: automatic exposure (gain mode, so the sensor's frame period stays that of the
// full window), mask and defect corrections, gray gain and offset, both mirrors (done by the
// sensor itself, so no software mirror runs), gamma, contrast, sharpness and brightness. The
// colour steps (demosaic, balance, hue and saturation) do not run: the IMX99x heads are
// monochrome and the colour modes are refused for them. The application's handler reads
// every pixel of each frame it is given (a sum), as a consumer of the buffer would.
//
//   build/release/bench/session/session_preview_bench
//
// Counters: made = frames the simulated sensor made during the run, processed = frames the
// worker processed (its frame rate times the run), delivered = frame messages the handler
// got, cpu_ms_per_frame = process CPU time over the run per frame made (simulator included:
// it renders every frame in the same process).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "KorvixSdk_Tesslin.h"
#include "sim/Simulator.h"

namespace {

struct Consumer {
    const uint8_t *buffer = nullptr;
    size_t bytes = 0;
    std::atomic<int> frames{0};
    std::atomic<int> rate10{0};
    std::atomic<uint64_t> checksum{0};
};

void ReadFrame(void *, unsigned int message, uintptr_t wParam, intptr_t lParam, void *context) {
    auto *consumer = static_cast<Consumer *>(context);
    if (message != WM_CAMERA_FRAME || lParam != 0 || wParam == 0) return;
    uint64_t sum = 0;
    for (size_t k = 0; k < consumer->bytes; ++k) sum += consumer->buffer[k];
    consumer->checksum.fetch_add(sum);
    consumer->rate10 = reinterpret_cast<const KorvixFrameInfo *>(wParam)->frameRate10;
    consumer->frames.fetch_add(1);
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void EveryMonochromeStepOn(int handle) {
    Korvix_SetAutoIris(handle, 2);
    Korvix_SetMaskFilter(handle, 1);
    Korvix_SetDotFilter(handle, 1);
    Korvix_SetGrayMode(handle, 1);
    Korvix_SetGrayGainR(handle, 140);
    Korvix_SetGrayOffsetB(handle, 120);
    Korvix_SetMirrorH(handle, 1);
    Korvix_SetMirrorV(handle, 1);
    Korvix_SetGamma(handle, 70);
    Korvix_SetContrast(handle, 20);
    Korvix_SetSharpness(handle, 15);
    Korvix_SetBrightness(handle, 30);
}

// Argument: bits per pixel (8 or 16). Argument 2: the worker's wait time in milliseconds.
void BM_CallbackPreviewEveryStep(benchmark::State &state) {
    const int bits = static_cast<int>(state.range(0));
    const char *cameras = "imx990";
    ::setenv("KORVIX_SIMULATE", cameras, 1);
    auto &simulator = korvix::sim::Simulator::Instance();
    simulator.Configure(cameras);
    Consumer consumer;
    Korvix_SetMessageHandler(&ReadFrame, &consumer);
    const int handle = Korvix_Initialize(nullptr);
    Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    Korvix_SetColorMode(handle, bits);
    Korvix_SetWaitTime(handle, static_cast<int>(state.range(1)));
    EveryMonochromeStepOn(handle);
    const int pitch = (1280 * bits / 8 + 3) & ~3;
    std::vector<uint8_t> buffer(static_cast<size_t>(pitch) * 1024);
    consumer.buffer = buffer.data();
    consumer.bytes = buffer.size();
    auto *window = reinterpret_cast<KorvixWindow>(uintptr_t{0x77});
    constexpr auto kRun = std::chrono::seconds(4);

    for (auto _ : state) {
        if (Korvix_CallBackPreview(handle, window, buffer.data(), static_cast<int>(buffer.size()),
                                   1) != 1) {
            state.SkipWithError("the preview did not start");
            break;
        }
        // The first second settles the automatic exposure and the frame-rate window.
        std::this_thread::sleep_for(std::chrono::seconds(1));
        korvix::sim::SimulatedCamera &camera = *simulator.Camera(0);
        const uint32_t madeBefore = camera.FrameCounter(korvix::sim::Simulator::NowMs());
        const int deliveredBefore = consumer.frames.load();
        const double cpuBefore = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(kRun);
        const uint32_t made = camera.FrameCounter(korvix::sim::Simulator::NowMs()) - madeBefore;
        const int delivered = consumer.frames.load() - deliveredBefore;
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double processed = consumer.rate10.load() / 10.0 * seconds;
        Korvix_StopPreview(handle);
        state.counters["made"] = made;
        state.counters["processed"] = processed;
        state.counters["delivered"] = delivered;
        state.counters["sensor_fps"] = made / seconds;
        state.counters["cpu_ms_per_frame"] = made > 0 ? cpu * 1e3 / made : 0;
    }
    benchmark::DoNotOptimize(consumer.checksum.load());
    Korvix_Release(handle);
    Korvix_SetMessageHandler(nullptr, nullptr);
}
BENCHMARK(BM_CallbackPreviewEveryStep)
    ->ArgNames({"bits", "wait_ms"})
    ->Args({8, 10})
    ->Args({16, 10})
    ->Args({8, 0})
    ->Args({16, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
