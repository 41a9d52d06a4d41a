#include "imaging/BayerSites.h"

namespace korvix::imaging {

namespace {

using enum BayerColor;

// [mode][row parity][column parity]
constexpr BayerColor kDemosaicSites[4][2][2] = {
    {{kGreen, kBlue}, {kRed, kGreen}},
    {{kRed, kGreen}, {kGreen, kBlue}},
    {{kBlue, kGreen}, {kGreen, kRed}},
    {{kGreen, kRed}, {kBlue, kGreen}},
};

constexpr GraySite kGraySites[4][2][2] = {
    {{kSiteG1, kSiteR}, {kSiteB, kSiteG2}},
    {{kSiteB, kSiteG2}, {kSiteG1, kSiteR}},
    {{kSiteR, kSiteG1}, {kSiteG2, kSiteB}},
    {{kSiteG2, kSiteB}, {kSiteR, kSiteG1}},
};

}  // namespace

BayerColor DemosaicSiteColor(int bayerMode, int columnParity, int rowParity) {
    return kDemosaicSites[bayerMode & 3][rowParity & 1][columnParity & 1];
}

GraySite GrayGainSite(int bayerMode, int columnParity, int rowParity) {
    return kGraySites[bayerMode & 3][rowParity & 1][columnParity & 1];
}

int MirroredBayerMode(int bayerMode, bool vertical, bool horizontal) {
    int mode = bayerMode & 3;
    if (vertical) mode ^= 1;    // 0 <-> 1, 2 <-> 3
    if (horizontal) mode ^= 2;  // 0 <-> 2, 1 <-> 3
    return mode;
}

}  // namespace korvix::imaging
