// Brightness, contrast and gamma: functions of one sample.

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>

#include "imaging/Brightness.h"
#include "imaging/Contrast16.h"
#include "imaging/FilterLoops.h"
#include "imaging/Filters.h"
#include "imaging/SampleRuns.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::BrightnessFactor;
using detail::ConversionArea;
using detail::ForEachSampleRun;

template <typename Sample>
constexpr int32_t kMaximum = sizeof(Sample) == 1 ? 255 : 65535;

constexpr int32_t kNeutralGamma = 100;

const int32_t *ValueOf(void *first) {
    return static_cast<const int32_t *>(first);
}

// Builds a table of every sample value (256 or 65536 entries) from entry(x).
template <typename Sample, size_t Size, typename Entry>
void FillTable(std::array<Sample, Size> &table, Entry entry) {
    for (size_t x = 0; x < Size; ++x)
        table[x] = static_cast<Sample>(entry(static_cast<int32_t>(x)));
}

// A 16-bit lookup table kept per thread and rebuilt only when its filter value changes,
// so that a frame pays for 65536 entries once per setting rather than once per call.
// Each thread has its own, so no lock is needed.
// The key is the filter values the table was built for.
using TableKey = std::array<int32_t, 3>;

struct CachedTable16 {
    bool built = false;
    TableKey key{};
    std::array<uint16_t, 65536> table;
};

template <typename Entry>
const std::array<uint16_t, 65536> *Table16For(std::unique_ptr<CachedTable16> &cache,
                                              const TableKey &key, Entry entry) {
    if (!cache) {
        cache.reset(new (std::nothrow) CachedTable16);
        if (!cache) return nullptr;
    }
    if (!cache->built || cache->key != key) {
        FillTable(cache->table, entry);
        cache->built = true;
        cache->key = key;
    }
    return &cache->table;
}

// Applies entry(x) through a table: 256 entries on the stack for 8-bit samples, the
// thread's cached table for 16-bit samples (the call converts nothing and returns 0 if
// that table cannot be allocated).
template <typename Sample, bool Color, typename Entry>
int MapThroughTable(const ConversionArea &area, std::unique_ptr<CachedTable16> &cache,
                    const TableKey &key, Entry entry) {
    if constexpr (sizeof(Sample) == 1) {
        std::array<uint8_t, 256> table;
        FillTable(table, entry);
        return ForEachSampleRun<Sample, Color>(
            area, [&](Sample *out, const Sample *in, int64_t count, int stride) {
                detail::ApplyTable8(out, in, count, stride, table.data());
            });
    } else {
        const auto *table = Table16For(cache, key, entry);
        if (table == nullptr) return 0;
        return ForEachSampleRun<Sample, Color>(
            area, [table](Sample *out, const Sample *in, int64_t count, int stride) {
                detail::ApplyTable16(out, in, count, stride, table->data());
            });
    }
}

template <typename Sample, bool Color>
int Brightness(const ConversionArea &area, void *first, void *) {
    const int32_t *value = ValueOf(first);
    if (value == nullptr) return 0;
    const float factor = BrightnessFactor(std::clamp(*value, -255, 255));
    const detail::BrightnessKernels kernels = detail::BrightnessKernelsForThisProcessor();
    if constexpr (sizeof(Sample) == 1) {
        const detail::BrightnessScale8 scale = detail::MakeBrightnessScale8(factor);
        return ForEachSampleRun<Sample, Color>(
            area, [&kernels, &scale](Sample *out, const Sample *in, int64_t count, int stride) {
                kernels.samples8(out, in, count, stride, scale);
            });
    } else {
        return ForEachSampleRun<Sample, Color>(
            area, [&kernels, factor](Sample *out, const Sample *in, int64_t count, int stride) {
                kernels.samples16(out, in, count, stride, factor);
            });
    }
}

// Slope of the contrast line through (t, 0) and (M + 1 - t, M + 1).
template <typename Sample>
double ContrastSlope(int32_t t) {
    constexpr int32_t kMax = kMaximum<Sample>;
    return static_cast<double>(kMax + 1) / static_cast<double>(kMax + 1 - 2 * t);
}

template <typename Sample>
int32_t ContrastThreshold(int32_t contrast) {
    return sizeof(Sample) == 1 ? contrast : contrast * 256;
}

template <typename Sample>
int32_t ContrastEntry(int32_t x, int32_t contrast) {
    constexpr int32_t kMax = kMaximum<Sample>;
    const int32_t t = ContrastThreshold<Sample>(contrast);
    if (x < t) return 0;
    if (x > kMax - t) return kMax;
    return std::min(static_cast<int32_t>(ContrastSlope<Sample>(t) * (x - t)), kMax);
}

template <typename Sample, bool Color>
int Contrast(const ConversionArea &area, void *first, void *) {
    const int32_t *value = ValueOf(first);
    if (value == nullptr) return 0;
    const int32_t contrast = std::clamp(*value, -127, 127);
    if constexpr (sizeof(Sample) == 2) {
        // The same values computed per sample where the processor allows it (a table of
        // 65536 entries is slower to build and to look up).
        if (const auto kernel = detail::ContrastKernel16ForThisProcessor()) {
            const int32_t t = ContrastThreshold<Sample>(contrast);
            const detail::ContrastLine16 line =
                detail::MakeContrastLine16(t, ContrastSlope<Sample>(t));
            return ForEachSampleRun<Sample, Color>(
                area, [kernel, &line](Sample *out, const Sample *in, int64_t count, int stride) {
                    kernel(out, in, count, stride, line);
                });
        }
    }
    thread_local std::unique_ptr<CachedTable16> cache;
    return MapThroughTable<Sample, Color>(area, cache, {contrast, 0, 0}, [contrast](int32_t x) {
        return ContrastEntry<Sample>(x, contrast);
    });
}

template <typename Sample>
int32_t GammaEntry(int32_t x, int32_t gamma) {
    constexpr double kMax = kMaximum<Sample>;
    if (x == 0) return 0;
    // Gamma 0 gives an infinite exponent: every entry but the last becomes 0.
    const double exponent = 1.0 / (static_cast<double>(gamma) / 100.0);
    return static_cast<int32_t>(std::min(kMax, std::trunc(kMax * std::pow(x / kMax, exponent))));
}

template <typename Sample, bool Color>
int Gamma(const ConversionArea &area, void *first, void *) {
    const int32_t *value = ValueOf(first);
    if (value == nullptr) return 0;
    const int32_t gamma = std::clamp(*value, 0, 200);
    thread_local std::unique_ptr<CachedTable16> cache;
    return MapThroughTable<Sample, Color>(
        area, cache, {gamma, 0, 0}, [gamma](int32_t x) { return GammaEntry<Sample>(x, gamma); });
}

// Brightness of one sample, as the brightness kernels compute it.
template <typename Sample>
int32_t BrightnessEntry(int32_t x, float factor) {
    return std::clamp(static_cast<int32_t>(static_cast<float>(x) * factor), 0, kMaximum<Sample>);
}

template <typename Sample, bool Color>
int ToneCurve(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const ToneCurveParams *>(first);
    if (params == nullptr) return 0;
    const int32_t gamma = std::clamp(params->gamma, 0, 200);
    const int32_t contrast = std::clamp(params->contrast, -127, 127);
    const int32_t brightness = std::clamp(params->brightness, -255, 255);
    if (sizeof(Sample) == 2 && gamma == kNeutralGamma && brightness == 0) {
        // Contrast alone: computed per sample where it can be, faster than a 16-bit table.
        int32_t value = contrast;
        return Contrast<Sample, Color>(area, &value, nullptr);
    }
    const float factor = BrightnessFactor(brightness);
    thread_local std::unique_ptr<CachedTable16> cache;
    return MapThroughTable<Sample, Color>(
        area, cache, {gamma, contrast, brightness}, [=](int32_t x) {
            if (gamma != kNeutralGamma) x = GammaEntry<Sample>(x, gamma);
            if (contrast != 0) x = ContrastEntry<Sample>(x, contrast);
            if (brightness != 0) x = BrightnessEntry<Sample>(x, factor);
            return x;
        });
}

}  // namespace

const PixelConverter ToneCurve8 = AsConverter<ToneCurve<uint8_t, false>>;
const PixelConverter ToneCurve16 = AsConverter<ToneCurve<uint16_t, false>>;
const PixelConverter ToneCurve24 = AsConverter<ToneCurve<uint8_t, true>>;
const PixelConverter ToneCurve48 = AsConverter<ToneCurve<uint16_t, true>>;
const PixelConverter Brightness8 = AsConverter<Brightness<uint8_t, false>>;
const PixelConverter Brightness16 = AsConverter<Brightness<uint16_t, false>>;
const PixelConverter Brightness24 = AsConverter<Brightness<uint8_t, true>>;
const PixelConverter Brightness48 = AsConverter<Brightness<uint16_t, true>>;
const PixelConverter Contrast8 = AsConverter<Contrast<uint8_t, false>>;
const PixelConverter Contrast16 = AsConverter<Contrast<uint16_t, false>>;
const PixelConverter Contrast24 = AsConverter<Contrast<uint8_t, true>>;
const PixelConverter Contrast48 = AsConverter<Contrast<uint16_t, true>>;
const PixelConverter Gamma8 = AsConverter<Gamma<uint8_t, false>>;
const PixelConverter Gamma16 = AsConverter<Gamma<uint16_t, false>>;
const PixelConverter Gamma24 = AsConverter<Gamma<uint8_t, true>>;
const PixelConverter Gamma48 = AsConverter<Gamma<uint16_t, true>>;

}  // namespace korvix::imaging
