#include "imaging/Brightness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace korvix::imaging::detail {
namespace {

// The brightness as defined: a float factor from double, the product in single precision,
// truncated (the conversion to int truncates toward zero) and limited.
int ReferenceBrightness(int x, int b, int maximum) {
    double factor = 1.0;
    if (b < 0) factor = 1.0 - std::abs(b) * 0.00392156862745098;
    if (b > 0) factor = 1.0 + b * 0.0392156862745098;
    const float product = static_cast<float>(x) * static_cast<float>(factor);
    return std::clamp(static_cast<int>(product), 0, maximum);
}

struct NamedKernels {
    const char *name;
    BrightnessKernels kernels;
};

std::vector<NamedKernels> KernelsOfThisProcessor() {
    std::vector<NamedKernels> available{{"portable", BrightnessKernelsPortable()}};
    const NamedKernels vectors[] = {{"AVX-512", BrightnessKernelsAvx512()},
                                    {"AVX2", BrightnessKernelsAvx2()}};
    for (const NamedKernels &named : vectors) {
        if (named.kernels.samples8 != nullptr || named.kernels.samples16 != nullptr) {
            available.push_back(named);
        }
    }
    return available;
}

// The index of the first sample where `out` differs from `expected`, or -1.
template <typename Sample>
int64_t FirstDifference(const std::vector<Sample> &out, const std::vector<Sample> &expected) {
    const auto difference = std::mismatch(out.begin(), out.end(), expected.begin());
    return difference.first == out.end() ? -1 : difference.first - out.begin();
}

// Runs `kernel` over `in` (stride 1, then stride 4 over `pixels`) into `out`, filled with
// the guard and one sample longer than `in`, and expects `expected` (which ends with the
// guard) and `expectedPixels` (which holds the guard at every fourth sample).
template <typename Sample, typename Kernel, typename Constants>
void ExpectKernel(const char *name, int b, Kernel kernel, const Constants &constants,
                  const std::vector<Sample> &in, const std::vector<Sample> &expected,
                  const std::vector<Sample> &pixels, const std::vector<Sample> &expectedPixels,
                  Sample guard, std::vector<Sample> &out) {
    if (kernel == nullptr) return;
    out.assign(in.size() + 1, guard);
    kernel(out.data(), in.data(), static_cast<int64_t>(in.size()), 1, constants);
    const int64_t at = FirstDifference(out, expected);
    ASSERT_EQ(at, -1) << name << ", " << sizeof(Sample) * 8 << " bits, brightness " << b
                      << ": sample " << at << " gives " << +out[at] << " instead of "
                      << +expected[at];
    if (pixels.empty()) return;
    out.assign(pixels.size(), guard);
    kernel(out.data(), pixels.data(), static_cast<int64_t>(pixels.size()), 4, constants);
    const int64_t pixelAt = FirstDifference(out, expectedPixels);
    ASSERT_EQ(pixelAt, -1) << name << ", " << sizeof(Sample) * 8 << " bits, stride 4, brightness "
                           << b << ": at " << pixelAt << " " << +out[pixelAt] << " instead of "
                           << +expectedPixels[pixelAt];
}

// Every kernel of this processor, for every brightness value, on every sample value in one
// run whose last step is partial (a guard sample after it must stay); and with a stride of
// 4, where every fourth sample must stay, for a few values of each kind.
TEST(ImagingBrightness, KernelsGiveTheSinglePrecisionProductForEveryValueAndSample) {
    const std::vector<NamedKernels> kernels = KernelsOfThisProcessor();
    constexpr uint8_t kGuard8 = 0xA5;
    constexpr uint16_t kGuard16 = 0xBEEF;
    std::vector<uint8_t> bytes(3 * 256 + 5);
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(k * 7);
    std::vector<uint16_t> words(65536 + 7);
    for (size_t k = 0; k < words.size(); ++k) words[k] = static_cast<uint16_t>(k);
    std::vector<uint8_t> bytePixels(4 * 67);
    std::vector<uint16_t> wordPixels(4 * 16387);
    for (size_t k = 0; k < bytePixels.size(); ++k) {
        bytePixels[k] = (k & 3) == 3 ? 0x12 : static_cast<uint8_t>(k * 5);
    }
    for (size_t k = 0; k < wordPixels.size(); ++k) {
        wordPixels[k] = (k & 3) == 3 ? 0x1234 : static_cast<uint16_t>(k * 7919);
    }
    std::vector<uint8_t> expectedBytes(bytes.size() + 1), expectedBytePixels(bytePixels.size());
    std::vector<uint16_t> expectedWords(words.size() + 1), expectedWordPixels(wordPixels.size());
    const std::vector<uint8_t> noBytePixels;
    const std::vector<uint16_t> noWordPixels;
    std::vector<uint8_t> outBytes;
    std::vector<uint16_t> outWords;
    for (int b = -255; b <= 255; ++b) {
        for (size_t k = 0; k < bytes.size(); ++k) {
            expectedBytes[k] = static_cast<uint8_t>(ReferenceBrightness(bytes[k], b, 255));
        }
        expectedBytes.back() = kGuard8;
        for (size_t k = 0; k < words.size(); ++k) {
            expectedWords[k] = static_cast<uint16_t>(ReferenceBrightness(words[k], b, 65535));
        }
        expectedWords.back() = kGuard16;
        const bool strided = b == -255 || b == -100 || b == -1 || b == 1 || b == 60 || b == 255;
        for (size_t k = 0; strided && k < bytePixels.size(); ++k) {
            expectedBytePixels[k] =
                (k & 3) == 3 ? kGuard8
                             : static_cast<uint8_t>(ReferenceBrightness(bytePixels[k], b, 255));
        }
        for (size_t k = 0; strided && k < wordPixels.size(); ++k) {
            expectedWordPixels[k] =
                (k & 3) == 3 ? kGuard16
                             : static_cast<uint16_t>(ReferenceBrightness(wordPixels[k], b, 65535));
        }
        const float factor = BrightnessFactor(b);
        const BrightnessScale8 scale = MakeBrightnessScale8(factor);
        for (const NamedKernels &named : kernels) {
            ExpectKernel(named.name, b, named.kernels.samples8, scale, bytes, expectedBytes,
                         strided ? bytePixels : noBytePixels, expectedBytePixels, kGuard8, outBytes);
            ExpectKernel(named.name, b, named.kernels.samples16, factor, words, expectedWords,
                         strided ? wordPixels : noWordPixels, expectedWordPixels, kGuard16, outWords);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace korvix::imaging::detail
