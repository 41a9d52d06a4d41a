#pragma once

// The 2x2 Bayer mosaic of a colour sensor and the parameter records of the routines that
// work on raw Bayer frames. The site of a pixel follows from the parity of its column and
// row counted from the top-left corner of the converted rectangle (memory row 0 first)
// and the Bayer mode (0..3; other values use their two low bits).

#include <cstdint>

namespace korvix::imaging {

enum class BayerColor : uint8_t { kRed, kGreen, kBlue };

// Sites of the per-site gray gain and offset; also the index into the gain and offset
// arrays of GrayGainParams.
enum GraySite : int { kSiteR = 0, kSiteG1 = 1, kSiteG2 = 2, kSiteB = 3 };

// Colour of a site as the Bayer interpolation and the white-balance measurement see it:
// mode 0 = G B / R G, 1 = R G / G B, 2 = B G / G R, 3 = G R / B G (row 0 / row 1).
BayerColor DemosaicSiteColor(int bayerMode, int columnParity, int rowParity);

// Site for the gray gain and offset: mode 0 = G1 R / B G2, 1 = B G2 / G1 R,
// 2 = R G1 / G2 B, 3 = G2 B / R G1.
GraySite GrayGainSite(int bayerMode, int columnParity, int rowParity);

// The Bayer mode of a raw frame after mirroring: vertical mirroring exchanges 0 with 1
// and 2 with 3, then horizontal mirroring exchanges 0 with 2 and 1 with 3.
int MirroredBayerMode(int bayerMode, bool vertical, bool horizontal);

// Parameters of the Bayer interpolation. Gains in percent (100 = unity, used range
// 0..400); the green gain is carried but not applied.
struct DemosaicParams {
    int32_t bayerMode = 0;
    int32_t redGain = 100;
    int32_t greenGain = 100;
    int32_t blueGain = 100;
};

// Parameters of the per-site gray gain and offset and of the gray-gain measurement.
// Gains: 128 = unity, indexed by GraySite. Offsets: added after the gain. Sample depth:
// 10, 12 or 14 limit 16-bit results to 1023, 4095 or 16383; anything else to 65535.
struct GrayGainParams {
    int32_t bayerMode = 0;
    int32_t gain[4] = {128, 128, 128, 128};
    int32_t offset[4] = {0, 0, 0, 0};
    int32_t sampleDepth = 8;
};

// Record of the white-balance measurement: three results, then the Bayer mode to use.
struct WhiteBalanceResult {
    int32_t blueGain = 100;   // 100 x green mean / blue mean
    int32_t greenGain = 100;  // always 100
    int32_t redGain = 100;    // 100 x green mean / red mean
    int32_t bayerMode = 0;
};

}  // namespace korvix::imaging
