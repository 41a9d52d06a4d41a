#include "imaging/GrayCorrection.h"

#include <algorithm>

#include "imaging/BayerSites.h"
#include "imaging/PixelRows.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;

// Gains and offsets are held where g x 65535 and o + g x 65535 / 128 stay inside int32;
// every value a session can set lies far inside.
constexpr int32_t kGainLimit = 32767;
constexpr int32_t kOffsetLimit = 65535;

int32_t SampleLimit(int32_t sampleDepth) {
    switch (sampleDepth) {
        case 10:
            return 1023;
        case 12:
            return 4095;
        case 14:
            return 16383;
        default:
            return 65535;
    }
}

struct SiteCorrection {
    int32_t gain;
    int32_t offset;
};

SiteCorrection CorrectionOf(const GrayGainParams &params, int columnParity, int rowParity) {
    const GraySite site = GrayGainSite(params.bayerMode, columnParity, rowParity);
    return {std::clamp(params.gain[site], -kGainLimit, kGainLimit),
            std::clamp(params.offset[site], -kOffsetLimit, kOffsetLimit)};
}

template <typename Sample>
int GrayGainOffset(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const GrayGainParams *>(first);
    if (params == nullptr) return 0;
    const int32_t limit = sizeof(Sample) == 1 ? 255 : SampleLimit(params->sampleDepth);
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    for (int64_t i = 0; i < height; ++i) {
        const int rowParity = static_cast<int>(i & 1);
        const SiteCorrection even = CorrectionOf(*params, 0, rowParity);
        const SiteCorrection odd = CorrectionOf(*params, 1, rowParity);
        const auto *in = reinterpret_cast<const Sample *>(area.SourceRow(i));
        auto *out = reinterpret_cast<Sample *>(area.DestinationRow(i));
        const auto correct = [limit](int32_t sample, SiteCorrection c) {
            return static_cast<Sample>(std::clamp(c.offset + c.gain * sample / 128, 0, limit));
        };
        int64_t j = 0;
        for (; j + 1 < width; j += 2) {
            out[j] = correct(in[j], even);
            out[j + 1] = correct(in[j + 1], odd);
        }
        if (j < width) out[j] = correct(in[j], even);
    }
    return 1;
}

}  // namespace

const PixelConverter GrayGainOffset8 = AsConverter<GrayGainOffset<uint8_t>>;
const PixelConverter GrayGainOffset16 = AsConverter<GrayGainOffset<uint16_t>>;

}  // namespace korvix::imaging
