// Times ProcessFrame, the per-frame pipeline of a session, at the IMX990 frame size
// (1280 x 1024) on one core: colour modes 24 and 48 with every step on and with every
// step neutral, and the gray path of modes 8 and 16.
//
//   build/release/bench/session/session_pipeline_bench --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "core/KorvixU3T2Base.h"
#include "session/SessionImages.h"
#include "session/SessionSettings.h"
#include "session/pipeline/FramePipeline.h"

namespace korvix::pipeline {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// A device core without a camera: the automatic exposure reads and writes its values,
// and it cannot mirror, so both mirrors run in software.
class BenchDeviceCore : public core::CKorvixU3T2Base {
public:
    int exposure = 1000;
    int SetExposureTime(unsigned value) override {
        exposure = static_cast<int>(value);
        return 1;
    }
    int GetExposureTime() override { return exposure; }
    int GetExposureTimeMin() override { return 1; }
    int GetExposureTimeMax() override { return 100000; }
    int IsMirrorHSupported() override { return 0; }
    int IsMirrorVSupported() override { return 0; }
};

void FillNoise(imaging::FrameImage &image, uint32_t mask) {
    std::mt19937 random(11);
    for (int row = 0; row < image.Height(); ++row) {
        uint8_t *bytes = image.Bits() + static_cast<int64_t>(row) * image.Pitch();
        if (image.BitCount() == 16) {
            for (int column = 0; column < image.Width(); ++column) {
                const auto word = static_cast<uint16_t>(random() & mask);
                std::memcpy(bytes + 2 * column, &word, 2);
            }
        } else {
            for (int column = 0; column < image.Width(); ++column) {
                bytes[column] = static_cast<uint8_t>(random() & mask);
            }
        }
    }
}

// The images Prepare allocates for a colour index, the raw one filled with noise.
void PrepareImages(SessionImages &images, int colorIndex) {
    images.CreateAll();
    imaging::FrameImage &raw = *images.RawImageOf(colorIndex);
    raw.Create(kWidth, kHeight, IsSixteenBitIndex(colorIndex) ? 16 : 8);
    FillNoise(raw, IsSixteenBitIndex(colorIndex) ? 0x0FFF : 0xFF);
    imaging::FrameImage &output = *images.OutputImageOf(colorIndex);
    if (&output != &raw) output.Create(kWidth, kHeight, BitsOfColorIndex(colorIndex));
    images.workImage->CopyFormat(output);
}

void Configure(SessionSettings &settings, bool allSteps) {
    ImageSettings image;
    image.balanceRed = 120;
    image.balanceGreen = 100;
    image.balanceBlue = 90;
    image.gamma = 100;
    image.bayerMode = 1;
    for (int site = 0; site < 4; ++site) image.grayGain[site] = image.grayOffset[site] = 128;
    CameraSettings camera;
    if (allSteps) {
        image.hue = 30;
        image.saturation = 40;
        image.gamma = 80;
        image.contrast = 20;
        image.sharpness = 10;
        image.brightness = 15;
        image.grayMode = 1;
        image.grayGain[0] = 140;
        image.grayOffset[1] = 0;
        camera.autoExposureMode = 1;
        camera.mirrorH = 1;
        camera.mirrorV = 1;
    }
    settings.SetImage(image);
    settings.SetCamera(camera);
}

void ProcessFrameBench(benchmark::State &state, int colorIndex, bool allSteps) {
    SessionImages images;
    PrepareImages(images, colorIndex);
    SessionSettings settings;
    Configure(settings, allSteps);
    BenchDeviceCore core;
    for (auto _ : state) {
        // The steps work in place on the last pass's result; their cost does not depend
        // on the sample values, so the frame is not refilled.
        core.exposure = 1000;
        ProcessFrame(images, settings, &core, colorIndex);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK_CAPTURE(ProcessFrameBench, Color24AllSteps, 2, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Color24Neutral, 2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Color48AllSteps, 4, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Color48Neutral, 4, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Gray8AllSteps, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Gray8Neutral, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Gray16AllSteps, 1, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProcessFrameBench, Gray16Neutral, 1, false)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvix::pipeline
