// Cost of one simulated frame: the scene render alone, and the whole camera path (arm,
// header, payload in 512 KiB reads) for a 1280 x 1024 frame.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "sim/SimulatedCamera.h"
#include "sim/SyntheticScene.h"

namespace korvix::sim {
namespace {

RenderRequest FullImx990Frame() {
    RenderRequest request;
    request.width = 1280;
    request.height = 1024;
    request.signalScale = 0.7;
    request.blackLevel = 60;
    request.noiseSigma = 1.5;
    return request;
}

void BM_SceneRenderWide(benchmark::State &state) {
    SyntheticScene scene(1280, 1024, 1);
    RenderRequest request = FullImx990Frame();
    std::vector<uint16_t> out(1280 * 1024);
    scene.RenderWide(request, out);  // builds the tables
    for (auto _ : state) {
        ++request.frameIndex;
        request.timeMs += 14;
        scene.RenderWide(request, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 1280 * 1024);
}
BENCHMARK(BM_SceneRenderWide)->Unit(benchmark::kMicrosecond);

void BM_SceneRenderNarrow(benchmark::State &state) {
    SyntheticScene scene(1280, 1024, 1);
    RenderRequest request = FullImx990Frame();
    std::vector<uint8_t> out(1280 * 1024);
    scene.RenderNarrow(request, out);
    for (auto _ : state) {
        ++request.frameIndex;
        request.timeMs += 14;
        scene.RenderNarrow(request, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 1280 * 1024);
}
BENCHMARK(BM_SceneRenderNarrow)->Unit(benchmark::kMicrosecond);

// Arm, header and payload through the camera model, as the acquisition thread reads them.
void BM_CameraFrame16Bit(benchmark::State &state) {
    auto parsed = ParseCameraList("imx990");
    SimulatedCamera camera(parsed.cameras.at(0), 0);
    std::array<uint8_t, 64> data{};
    data[0] = fpga::kDataWidth;
    data[2] = fpga::kDataWidth16;
    camera.Control(SetupPacket{request::kTypeVendorOut, request::kI2cWrite, 3, i2c::kFpga}, data,
                   0);
    std::vector<uint8_t> header(64), payload(1280 * 1024 * 2);
    uint64_t now = 0;
    for (auto _ : state) {
        now += 15;  // one frame period
        camera.Control(SetupPacket{request::kTypeVendorOutEndpoint, request::kArmStream, 0, 0},
                       data, now);
        camera.BulkRead(endpoint::kFrameIn, header, now);
        for (size_t done = 0; done < payload.size();) {
            const size_t piece = std::min<size_t>(524288, payload.size() - done);
            done +=
                camera.BulkRead(endpoint::kFrameIn, std::span(payload).subspan(done, piece), now)
                    .bytes;
        }
        benchmark::DoNotOptimize(payload.data());
    }
}
BENCHMARK(BM_CameraFrame16Bit)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvix::sim
