// What the acquisition engine sustains from the simulated camera at 1280 x 1024: frames per
// second delivered to a session thread, and the process CPU time spent per frame (the
// acquisition thread, the session's copy out of the ring, and the simulator rendering the
// frame in-process). Beside it, the engine's own per-frame copies in isolation.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "core/FrameCopy.h"
#include "core/FrameRing.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "sim/Simulator.h"

namespace {

using korvix::core::CKorvixUSB3T2SimpleSdk;

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::unique_ptr<CKorvixUSB3T2SimpleSdk> OpenSimulatedCamera() {
    // A uniform scene keeps the simulator's rendering cost small beside the engine's.
    const char *cameraList = "imx990:scene=uniform:2000";
    ::setenv("KORVIX_SIMULATE", cameraList, 1);
    korvix::sim::Simulator::Instance().Configure(cameraList);
    auto core = std::make_unique<CKorvixUSB3T2SimpleSdk>();
    core->SetProductCode(0x3260);
    core->CreateController(nullptr, nullptr);
    core->CountDevices(0x3260);
    if (!core->Open(0)) return nullptr;
    return core;
}

// One iteration = one frame waited for and copied out of the ring, as a preview worker does.
void BM_ContinuousAcquisition(benchmark::State &state) {
    const int bitMode = static_cast<int>(state.range(0));
    auto core = OpenSimulatedCamera();
    if (!core) {
        state.SkipWithError("the simulated camera did not open");
        return;
    }
    core->SetBitMode(bitMode);
    core->SetExposureTime(10);  // 1 ms: the frame period is the read-out time alone
    std::vector<uint8_t> frame(
        static_cast<size_t>(core->FrameBytes() > 0 ? core->FrameBytes() : 1280 * 1024 * 2));
    core->StartTransfer(0);
    core->WaitFrame(5000);

    int64_t frames = 0;
    double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        // A 2 can be the event of a frame the previous copy already took: wait again.
        int result = 2;
        for (int attempt = 0; attempt < 10 && result == 2; ++attempt)
            result = core->WaitFrame(5000);
        if (result != 3) {
            state.SkipWithError("no frame within the wait");
            break;
        }
        core->GetFrame(frame.data(), static_cast<uint32_t>(frame.size()), 1, nullptr);
        benchmark::DoNotOptimize(frame.data());
        ++frames;
    }
    double cpuSeconds = ProcessCpuSeconds() - cpuStart;
    core->StopTransfer(1);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["cpu_ms_per_frame"] = frames ? cpuSeconds * 1000.0 / frames : 0.0;
    state.SetBytesProcessed(frames * static_cast<int64_t>(core->FrameBytes()));
}
BENCHMARK(BM_ContinuousAcquisition)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("bitMode")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300);

// The acquisition thread's one copy per frame: transfer buffer into the ring.
void BM_RingPublish(benchmark::State &state) {
    const uint32_t bytes = 1280 * 1024 * static_cast<uint32_t>(state.range(0));
    korvix::core::FrameRing ring;
    ring.SetBufferCount(4);
    ring.Allocate(bytes);
    std::vector<uint8_t> transfer(bytes, 0x5A);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ring.Publish(transfer.data(), bytes, 1, {}));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_RingPublish)->Arg(1)->Arg(2)->ArgName("bytesPerPixel")->Unit(benchmark::kMicrosecond);

// The session's copy out of the ring, as is (orientation 1) and turned (orientation 4).
void BM_OrientedCopy(benchmark::State &state) {
    const uint32_t bytesPerPixel = static_cast<uint32_t>(state.range(0));
    const int orientation = static_cast<int>(state.range(1));
    const size_t bytes = size_t{1280} * 1024 * bytesPerPixel;
    std::vector<uint8_t> source(bytes, 0x33), destination(bytes);
    for (auto _ : state) {
        korvix::core::CopyOrientedFrame(source.data(), destination.data(), 1280, 1024,
                                        bytesPerPixel,
                                        korvix::core::OrientationFor(orientation, 1));
        benchmark::DoNotOptimize(destination.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_OrientedCopy)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 4})
    ->Args({2, 4})
    ->ArgNames({"bytesPerPixel", "orientation"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
