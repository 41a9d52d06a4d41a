#include "imaging/Contrast16.h"

#include <cmath>

namespace korvix::imaging::detail {

namespace {

// Float f stays below the line's value: trunc(f) is the integer quotient or one less.
constexpr double kBelowTheLine = 1.0 / 32;

}  // namespace

ContrastLine16 MakeContrastLine16(int32_t threshold, double slope) {
    ContrastLine16 line;
    const int32_t divisor = 128 - threshold / 256;
    line.divisor = static_cast<uint16_t>(divisor);
    line.slope = static_cast<float>(128.0 / divisor);
    line.stretches = threshold > 0;
    if (line.stretches) {
        line.threshold = static_cast<uint16_t>(threshold);
        line.intercept = static_cast<float>(-kBelowTheLine);
    } else {
        // The sample is used as it is and -t added through the intercept and the remainder.
        line.offsetBits = static_cast<uint16_t>((-threshold * 128) & 0xFFFF);
        line.intercept = static_cast<float>(-threshold * 128.0 / divisor - kBelowTheLine);
    }
    // slope x D - 128 is exact in double (few significant bits), so delta is too.
    const double shortfall = -std::fma(slope, divisor, -128.0) / 128.0;
    if (shortfall > 0) {
        const double lambda = std::ldexp(1.0, -53) / shortfall;
        if (lambda < 2) {
            line.lowersExactQuotients = true;
            line.mantissaLimit = static_cast<int32_t>(std::floor((lambda - 1) * 8388608.0));
        }
    }
    return line;
}

ContrastKernels16 ContrastKernels16ForThisProcessor() {
    return {ContrastKernel16Avx512(), ContrastKernel16Avx2()};
}

ContrastKernel16 ContrastKernel16ForThisProcessor() {
    static const ContrastKernel16 kFastest = [] {
        const ContrastKernels16 kernels = ContrastKernels16ForThisProcessor();
        return kernels.avx512 != nullptr ? kernels.avx512 : kernels.avx2;
    }();
    return kFastest;
}

}  // namespace korvix::imaging::detail
