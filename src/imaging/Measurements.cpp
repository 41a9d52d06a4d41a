#include "imaging/Measurements.h"

#include <algorithm>

#include "imaging/BayerSites.h"
#include "imaging/PixelRows.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;

constexpr double kMaxGain = 2147483647.0;

// Sums and counts of the four cells of the 2x2 mosaic, [row parity][column parity].
struct MosaicSums {
    uint64_t sum[2][2] = {};
    uint64_t count[2][2] = {};
};

template <typename Sample, int Shift>
int MeanLevel(const ConversionArea &area, void *, void *) {
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    uint64_t total = 0;
    for (int64_t i = 0; i < height; ++i) {
        const auto *row = reinterpret_cast<const Sample *>(area.DestinationRow(i));
        uint64_t rowTotal = 0;
        for (int64_t j = 0; j < width; ++j) rowTotal += static_cast<uint32_t>(row[j] >> Shift);
        total += rowTotal;
    }
    const uint64_t samples = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return samples == 0 ? 0 : static_cast<int>(total / samples);
}

// Sums every cell of the mosaic over the area. With a nonzero Saturation, samples 0 and
// Saturation (no signal, clipped) are left out of both sum and count.
template <typename Sample, uint32_t Saturation>
MosaicSums SumMosaic(const ConversionArea &area) {
    MosaicSums sums;
    const int64_t width = area.Width();
    const int64_t height = area.Height();
    for (int64_t i = 0; i < height; ++i) {
        const auto *row = reinterpret_cast<const Sample *>(area.DestinationRow(i));
        const int rowParity = static_cast<int>(i & 1);
        for (int parity = 0; parity < 2; ++parity) {
            uint64_t sum = 0;
            uint64_t count = 0;
            for (int64_t j = parity; j < width; j += 2) {
                const uint32_t value = row[j];
                if constexpr (Saturation != 0) {
                    const bool counted = value != 0 && value != Saturation;
                    sum += counted ? value : 0;
                    count += counted ? 1 : 0;
                } else {
                    sum += value;
                }
            }
            if constexpr (Saturation == 0) count = static_cast<uint64_t>((width - parity + 1) / 2);
            sums.sum[rowParity][parity] += sum;
            sums.count[rowParity][parity] += count;
        }
    }
    return sums;
}

template <typename Sample>
int WhiteBalanceMeasure(const ConversionArea &area, void *first, void *) {
    auto *result = static_cast<WhiteBalanceResult *>(first);
    if (result == nullptr) return 0;
    const MosaicSums sums = SumMosaic<Sample, 0>(area);
    uint64_t colorSum[3] = {}, colorCount[3] = {};
    for (int rowParity = 0; rowParity < 2; ++rowParity) {
        for (int columnParity = 0; columnParity < 2; ++columnParity) {
            const auto color =
                static_cast<int>(DemosaicSiteColor(result->bayerMode, columnParity, rowParity));
            colorSum[color] += sums.sum[rowParity][columnParity];
            colorCount[color] += sums.count[rowParity][columnParity];
        }
    }
    const auto mean = [&](BayerColor color) {
        const auto index = static_cast<int>(color);
        return colorCount[index] == 0
                   ? 0.0
                   : static_cast<double>(colorSum[index]) / static_cast<double>(colorCount[index]);
    };
    const double green = mean(BayerColor::kGreen);
    const double red = mean(BayerColor::kRed);
    const double blue = mean(BayerColor::kBlue);
    const double total = green + red + blue;
    result->greenGain = 100;
    if (green > 0.0) {
        // 100 G / B and 100 G / R, computed through the channel balance k as the
        // automatic white balance has always done, so results agree to the last unit.
        // A near-black channel gives a huge quotient; it is held inside int32 so the
        // conversion stays defined (callers limit gains to 400 anyway).
        const double k = total / green / 3.0;
        const auto gain = [&](double channel) {
            return static_cast<int32_t>(std::min(total / channel / 3.0 * 100.0 / k, kMaxGain));
        };
        if (blue > 0.0) result->blueGain = gain(blue);
        if (red > 0.0) result->redGain = gain(red);
    }
    return 1;
}

template <typename Sample, uint32_t Saturation>
int GrayGainMeasure(const ConversionArea &area, void *first, void *) {
    auto *params = static_cast<GrayGainParams *>(first);
    if (params == nullptr) return 0;
    const MosaicSums sums = SumMosaic<Sample, Saturation>(area);
    uint64_t siteSum[4] = {}, siteCount[4] = {};
    for (int rowParity = 0; rowParity < 2; ++rowParity) {
        for (int columnParity = 0; columnParity < 2; ++columnParity) {
            const GraySite site = GrayGainSite(params->bayerMode, columnParity, rowParity);
            siteSum[site] += sums.sum[rowParity][columnParity];
            siteCount[site] += sums.count[rowParity][columnParity];
        }
    }
    if (siteCount[kSiteG1] == 0) return 1;
    const auto mean = [&](int site) {
        return static_cast<float>(siteSum[site]) / static_cast<float>(siteCount[site]);
    };
    const float reference = mean(kSiteG1);
    params->gain[kSiteG1] = 128;
    for (int site : {kSiteR, kSiteG2, kSiteB}) {
        if (siteCount[site] != 0) {
            params->gain[site] = static_cast<int32_t>(reference / mean(site) * 128.0f);
        }
    }
    return 1;
}

}  // namespace

const PixelConverter MeanLevel8 = AsConverter<MeanLevel<uint8_t, 0>>;
const PixelConverter MeanLevel16 = AsConverter<MeanLevel<uint16_t, 4>>;
const PixelConverter WhiteBalanceMeasure8 = AsConverter<WhiteBalanceMeasure<uint8_t>>;
const PixelConverter WhiteBalanceMeasure16 = AsConverter<WhiteBalanceMeasure<uint16_t>>;
const PixelConverter GrayGainMeasure8 = AsConverter<GrayGainMeasure<uint8_t, 255>>;
const PixelConverter GrayGainMeasure16 = AsConverter<GrayGainMeasure<uint16_t, 4095>>;

}  // namespace korvix::imaging
