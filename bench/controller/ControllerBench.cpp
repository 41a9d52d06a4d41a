// What one controller operation costs over the simulated camera: the control round trip
// the sensor drivers make for every register, and the frame payload read in 512 KiB
// pieces. The simulator's own cost is included; it is measured separately in the sim
// benchmarks.

#include <benchmark/benchmark.h>

#include <vector>

#include "controller/KorCy3Cam.h"
#include "platform/usb/DriverRecords.h"
#include "sim/SimulatedDriverPort.h"
#include "sim/Simulator.h"

namespace {

using korvix::controller::CKorCy3Cam;
using korvix::controller::TransferRecord;

std::unique_ptr<CKorCy3Cam> OpenSimulatedCamera() {
    korvix::sim::Simulator::Instance().Configure("imx990:scene=uniform:1000");
    auto controller =
        std::make_unique<CKorCy3Cam>(korvix::sim::CreateSimulatedDriverPort(""), nullptr);
    if (controller->EnumerateDevices() < 1 || !controller->SelectDevice(0) ||
        !controller->PrepareDevice()) {
        return nullptr;
    }
    return controller;
}

void BM_FpgaRegisterRead(benchmark::State &state) {
    auto controller = OpenSimulatedCamera();
    if (!controller) {
        state.SkipWithError("no simulated camera");
        return;
    }
    uint8_t value = 0;
    for (auto _ : state) {
        if (!controller->ReadFpgaRegister(0x10, &value)) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_FpgaRegisterRead);

// 16-bit 1280 x 1024 frames; the header read (which waits for the frame period) is not
// timed, only the payload moving into the caller's buffer.
void BM_FramePayloadRead(benchmark::State &state) {
    auto controller = OpenSimulatedCamera();
    if (!controller || !controller->WriteFpgaRegister(0x3C, 2) || !controller->OpenDataHandle()) {
        state.SkipWithError("no simulated camera");
        return;
    }
    std::vector<uint8_t> frame(1280 * 1024 * 2 + 8192);
    uint64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TransferRecord record{};
        record.destination = frame.data();
        record.capacity = static_cast<uint32_t>(frame.size());
        bool header = controller->ReadFrameHeader(&record);
        state.ResumeTiming();
        if (!header || !controller->ReadFrameData(&record, 3000)) {
            state.SkipWithError("frame read failed");
            break;
        }
        bytes += korvix::platform::usb::LoadLe32(record.header + 16);
    }
    controller->CloseDataHandle();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_FramePayloadRead)->Unit(benchmark::kMillisecond);

}  // namespace
