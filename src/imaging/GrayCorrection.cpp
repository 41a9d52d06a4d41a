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
Sample Corrected(int32_t sample, SiteCorrection c, int32_t limit) {
    return static_cast<Sample>(std::clamp(c.offset + c.gain * sample / 128, 0, limit));
}

// 8-bit samples: each row alternates two sites, so each row parity gets two 256-entry
// tables of Corrected() and a row is a run of alternating look-ups.
KORVIX_SCALAR_LOOP void CorrectRow8(uint8_t *out, const uint8_t *in, int64_t width,
                                    const uint8_t *__restrict even,
                                    const uint8_t *__restrict odd) {
    int64_t j = 0;
    for (; j + 1 < width; j += 2) {
        const uint8_t first = in[j], second = in[j + 1];
        out[j] = even[first];
        out[j + 1] = odd[second];
    }
    if (j < width) out[j] = even[in[j]];
}

int GrayGainOffset8Tables(const ConversionArea &area, const GrayGainParams &params) {
    uint8_t tables[2][2][256];  // [row parity][column parity][sample]
    for (int rowParity = 0; rowParity < 2; ++rowParity) {
        for (int columnParity = 0; columnParity < 2; ++columnParity) {
            const SiteCorrection c = CorrectionOf(params, columnParity, rowParity);
            for (int32_t x = 0; x < 256; ++x) {
                tables[rowParity][columnParity][x] = Corrected<uint8_t>(x, c, 255);
            }
        }
    }
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    for (int64_t i = 0; i < height; ++i) {
        const auto &row = tables[i & 1];
        CorrectRow8(area.DestinationRow(i), area.SourceRow(i), width, row[0], row[1]);
    }
    return 1;
}

template <typename Sample>
int GrayGainOffset(const ConversionArea &area, void *first, void *) {
    const auto *params = static_cast<const GrayGainParams *>(first);
    if (params == nullptr) return 0;
    if constexpr (sizeof(Sample) == 1) {
        return GrayGainOffset8Tables(area, *params);
    } else {
        const int32_t limit = SampleLimit(params->sampleDepth);
        const int64_t width = area.Width();
        const int64_t height = area.Height();
        for (int64_t i = 0; i < height; ++i) {
            const int rowParity = static_cast<int>(i & 1);
            const SiteCorrection even = CorrectionOf(*params, 0, rowParity);
            const SiteCorrection odd = CorrectionOf(*params, 1, rowParity);
            const auto *in = reinterpret_cast<const Sample *>(area.SourceRow(i));
            auto *out = reinterpret_cast<Sample *>(area.DestinationRow(i));
            int64_t j = 0;
            for (; j + 1 < width; j += 2) {
                out[j] = Corrected<Sample>(in[j], even, limit);
                out[j + 1] = Corrected<Sample>(in[j + 1], odd, limit);
            }
            if (j < width) out[j] = Corrected<Sample>(in[j], even, limit);
        }
        return 1;
    }
}

}  // namespace

const PixelConverter GrayGainOffset8 = AsConverter<GrayGainOffset<uint8_t>>;
const PixelConverter GrayGainOffset16 = AsConverter<GrayGainOffset<uint16_t>>;

}  // namespace korvix::imaging
