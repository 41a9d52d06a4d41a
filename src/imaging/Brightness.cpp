#include "imaging/Brightness.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "imaging/SampleRuns.h"

namespace korvix::imaging::detail {

float BrightnessFactor(int32_t brightness) {
    if (brightness < 0) return static_cast<float>(1.0 - std::abs(brightness) * 0.00392156862745098);
    if (brightness > 0) return static_cast<float>(1.0 + brightness * 0.0392156862745098);
    return 1.0f;
}

BrightnessScale8 MakeBrightnessScale8(float factor) {
    BrightnessScale8 scale;
    scale.factor = factor;
    for (int32_t x = 0; x < 256; ++x) {
        const auto product = static_cast<int32_t>(static_cast<float>(x) * factor);
        scale.table[x] = static_cast<uint8_t>(std::clamp(product, 0, 255));
    }
    return scale;
}

namespace {

void PortableSamples8(uint8_t *out, const uint8_t *in, int64_t count, int stride,
                      const BrightnessScale8 &scale) {
    ScaleSamples8(out, in, count, stride, scale.factor);
}

}  // namespace

BrightnessKernels BrightnessKernelsPortable() {
    return {PortableSamples8, ScaleSamples16};
}

BrightnessKernels BrightnessKernelsForThisProcessor() {
    static const BrightnessKernels kFastest = [] {
        BrightnessKernels fastest = BrightnessKernelsPortable();
        for (const BrightnessKernels &faster : {BrightnessKernelsAvx2(), BrightnessKernelsAvx512()}) {
            if (faster.samples8 != nullptr) fastest.samples8 = faster.samples8;
            if (faster.samples16 != nullptr) fastest.samples16 = faster.samples16;
        }
        return fastest;
    }();
    return kFastest;
}

}  // namespace korvix::imaging::detail
