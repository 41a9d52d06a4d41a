#pragma once

// The session's automatic exposure: a control loop that measures five small regions of
// each raw frame and, when the frame is clearly too bright or too dark, scales the
// device's exposure (mode 1) or global gain (mode 2).

#include <cstdint>

#include "imaging/FrameImage.h"
#include "session/SessionSettings.h"

namespace korvix::core {
class CKorvixU3T2Base;
}

namespace korvix::pipeline {

inline constexpr int kExposureRegionCount = 5;

// Mean level of the five regions, each a tenth of the width and height, in the order the
// factor weighs them: (0.1, 0.1), (0.1, 0.8), (0.45, 0.45), (0.8, 0.1), (0.8, 0.8) of the
// width and height from the corner of a bottom-up surface (rectangles handed to
// imaging::ConvertImage), so the first region covers memory rows 0.8h .. 0.9h. 8-bit
// frames give the plain mean, 16-bit frames the mean of the samples shifted right by 4.
void MeasureExposureRegions(const imaging::FrameImage &raw, int means[kExposureRegionCount]);

// The correction factor of five region means, in hundredths: the first region sets the
// start value (0.85 above 200, 0.9 above 160, 1.1 below 50, 1.05 below 100, else 1), each
// other region moves it (-0.15, -0.1, +0.1, +0.05 for the same bands).
int ExposureFactorPercent(const int means[kExposureRegionCount]);

// True when a factor is too small a correction to act on (strictly between 0.6 and 1.2).
bool IsWithinDeadBand(int factorPercent);

// What one step wrote: nothing (mode 0), the exposure (mode 1) or the global gain (mode 2),
// and the value.
struct AutoExposureStep {
    int mode = 0;
    int32_t value = 0;
};

// One step of the loop on a raw frame: measures, and unless the factor lies in the dead
// band writes the scaled exposure (mode 1) or global gain (mode 2) to the device, limited
// to the device's range, and caches it in `settings`. Other modes do nothing.
AutoExposureStep RunAutoExposure(const imaging::FrameImage &raw, int mode, core::CKorvixU3T2Base &core,
                     SessionSettings &settings);

}  // namespace korvix::pipeline
