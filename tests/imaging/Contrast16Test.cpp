#include "imaging/Contrast16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvix::imaging::detail {
namespace {

// The 16-bit contrast line as defined: limits, then the product in double precision.
int ReferenceContrast16(int x, int m) {
    const int t = 256 * m;
    if (x < t) return 0;
    if (x > 65535 - t) return 65535;
    return static_cast<int>(65536.0 / (65536 - 2 * t) * (x - t));
}

struct NamedKernel {
    const char *name;
    ContrastKernel16 kernel;
};

std::vector<NamedKernel> KernelsOfThisProcessor() {
    const ContrastKernels16 kernels = ContrastKernels16ForThisProcessor();
    std::vector<NamedKernel> available;
    if (kernels.avx512 != nullptr) available.push_back({"AVX-512", kernels.avx512});
    if (kernels.avx2 != nullptr) available.push_back({"AVX2", kernels.avx2});
    return available;
}

// The index of the first sample where `out` differs from `expected`, or -1.
int64_t FirstDifference(const std::vector<uint16_t> &out, const std::vector<uint16_t> &expected) {
    const auto difference = std::mismatch(out.begin(), out.end(), expected.begin());
    return difference.first == out.end() ? -1 : difference.first - out.begin();
}

// Every kernel the processor runs, for every contrast value, on every sample value in one
// run whose last step is partial (a guard sample after it must stay); and with a stride of
// 4, where every fourth sample must stay, for values with and without lowered quotients.
TEST(ImagingContrast16, KernelsGiveTheDoubleProductForEveryValueAndSample) {
    const std::vector<NamedKernel> kernels = KernelsOfThisProcessor();
    if (kernels.empty()) GTEST_SKIP() << "no contrast kernel on this processor";
    constexpr int64_t kCount = 65536 + 7;
    constexpr uint16_t kGuard = 0xBEEF;
    std::vector<uint16_t> samples(kCount);
    for (int64_t k = 0; k < kCount; ++k) samples[k] = static_cast<uint16_t>(k);
    std::vector<uint16_t> pixels(4 * 16387);
    for (size_t k = 0; k < pixels.size(); ++k) {
        pixels[k] = (k & 3) == 3 ? 0x1234 : static_cast<uint16_t>(k * 7919);
    }
    std::vector<uint16_t> expected(kCount + 1), expectedPixels(pixels.size());
    for (int m = -127; m <= 127; ++m) {
        for (int64_t k = 0; k < kCount; ++k) {
            expected[k] = static_cast<uint16_t>(ReferenceContrast16(samples[k], m));
        }
        expected[kCount] = kGuard;
        const bool strided = m == -127 || m == -68 || m == -1 || m == 1 || m == 30 || m == 127;
        for (size_t k = 0; strided && k < pixels.size(); ++k) {
            expectedPixels[k] = (k & 3) == 3 ? kGuard : expected[pixels[k]];
        }
        const ContrastLine16 line = MakeContrastLine16(256 * m, 65536.0 / (65536 - 512 * m));
        for (const NamedKernel &kernel : kernels) {
            std::vector<uint16_t> out(kCount + 1, kGuard);
            kernel.kernel(out.data(), samples.data(), kCount, 1, line);
            const int64_t at = FirstDifference(out, expected);
            ASSERT_EQ(at, -1) << kernel.name << ", contrast " << m << ": sample " << at << " gives "
                              << out[at] << " instead of " << expected[at];
            if (!strided) continue;
            out.assign(pixels.size(), kGuard);
            kernel.kernel(out.data(), pixels.data(), static_cast<int64_t>(pixels.size()), 4, line);
            const int64_t pixelAt = FirstDifference(out, expectedPixels);
            ASSERT_EQ(pixelAt, -1)
                << kernel.name << ", stride 4, contrast " << m << ": at " << pixelAt << " "
                << out[pixelAt] << " instead of " << expectedPixels[pixelAt];
        }
    }
}

}  // namespace
}  // namespace korvix::imaging::detail
