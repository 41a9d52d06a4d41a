// The defect mask's per-frame cost at the full 1280 x 1024 sensor, 8- and 16-bit: the mask
// correction (a rescale per pixel) and the defect correction (marking pass plus repair of
// the marked pixels), on a noisy frame with realistic references and a defect rate of
// about one pixel in a thousand.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "session/mask/MaskCorrection.h"

namespace {

using korvix::imaging::FrameImage;
namespace mask = korvix::mask;

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 1024;

template <typename T>
void FillNoisy(FrameImage &image, int bits, int level, int spread, uint32_t seed) {
    image.Create(kWidth, kHeight, bits);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-spread, spread);
    for (int32_t y = 0; y < kHeight; ++y) {
        T *row = reinterpret_cast<T *>(image.Bits() + int64_t{y} * image.Pitch());
        for (int32_t x = 0; x < kWidth; ++x) row[x] = static_cast<T>(level + noise(random));
    }
}

// A frame, its references and maps, with one pixel in a thousand hot in the dark
// reference, as many dead in the bright one, and as many outliers in the frame.
struct MaskScene {
    FrameImage frame, dark, bright, hot, dead, work;

    explicit MaskScene(int bits) {
        const int scale = bits == 8 ? 1 : 16;
        if (bits == 8) {
            Fill<uint8_t>(bits, scale);
        } else {
            Fill<uint16_t>(bits, scale);
        }
        mask::BuildDefectMap(dark, hot, mask::kHotMap);
        mask::BuildDefectMap(bright, dead, mask::kDeadMap);
    }

    template <typename T>
    void Fill(int bits, int scale) {
        FillNoisy<T>(frame, bits, 100 * scale, 4 * scale, 1);
        FillNoisy<T>(dark, bits, 10 * scale, 2 * scale, 2);
        FillNoisy<T>(bright, bits, 210 * scale, 4 * scale, 3);
        hot.Create(kWidth, kHeight, bits);
        dead.Create(kWidth, kHeight, bits);
        work.Create(kWidth, kHeight, bits);
        std::mt19937 random(4);
        std::uniform_int_distribution<int32_t> column(0, kWidth - 1), row(0, kHeight - 1);
        for (int i = 0; i < kWidth * kHeight / 1000; ++i) {
            Put<T>(dark, column(random), row(random), 250 * scale);
            Put<T>(bright, column(random), row(random), 20 * scale);
            Put<T>(frame, column(random), row(random), 240 * scale);
        }
    }

    template <typename T>
    static void Put(FrameImage &image, int32_t x, int32_t y, int value) {
        reinterpret_cast<T *>(image.Bits() + int64_t{y} * image.Pitch())[x] = static_cast<T>(value);
    }
};

void BM_MaskCorrect(benchmark::State &state) {
    MaskScene scene(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        mask::MaskCorrect(scene.frame, scene.dark, scene.bright, {});
        benchmark::DoNotOptimize(scene.frame.Bits());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_MaskCorrect)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// The frame is corrected in place, so after the first pass only the mapped defects and the
// outliers the repair leaves are marked: the steady state of a preview.
void BM_DefectCorrect(benchmark::State &state) {
    const int bits = static_cast<int>(state.range(0));
    MaskScene scene(bits);
    const int threshold = bits == 8 ? mask::kDefectThreshold8 : mask::kDefectThreshold16;
    for (auto _ : state) {
        mask::DefectCorrect(scene.frame, scene.hot, scene.dead, scene.work, {}, threshold);
        benchmark::DoNotOptimize(scene.frame.Bits());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_DefectCorrect)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
