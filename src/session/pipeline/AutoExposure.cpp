#include "session/pipeline/AutoExposure.h"

#include <algorithm>
#include <cstdint>

#include "core/KorvixU3T2Base.h"
#include "imaging/Measurements.h"

namespace korvix::pipeline {

namespace {

// Regions as fractions of width and height: left, top, right, bottom.
constexpr double kRegions[kExposureRegionCount][4] = {
    {0.10, 0.10, 0.20, 0.20}, {0.10, 0.80, 0.20, 0.90}, {0.45, 0.45, 0.55, 0.55},
    {0.80, 0.10, 0.90, 0.20}, {0.80, 0.80, 0.90, 0.90},
};

// The smallest gain the gain loop scales from, so that a gain of 0..3 can still grow.
constexpr int64_t kLowestScaledGain = 4;

// The factor is kept in hundredths, so that sums such as 0.85 - 4 x 0.15 are exactly 0.25
// and a product with it truncates as the decimal factor says (1000 x 0.25 = 250, not the
// 249 of a binary 0.2499...).
int StartValue(int mean) {
    if (mean > 200) return 85;
    if (mean > 160) return 90;
    if (mean < 50) return 110;
    if (mean < 100) return 105;
    return 100;
}

int Adjustment(int mean) {
    if (mean > 200) return -15;
    if (mean > 160) return -10;
    if (mean < 50) return 10;
    if (mean < 100) return 5;
    return 0;
}

int64_t Limit(int64_t value, int minimum, int maximum) {
    return std::max<int64_t>(minimum, std::min<int64_t>(maximum, value));
}

// value x factor, truncated toward zero.
int64_t Scaled(int64_t value, int factorPercent) { return value * factorPercent / 100; }

int32_t ScaleGain(int factorPercent, core::CKorvixU3T2Base &core, SessionSettings &settings) {
    int64_t gain = Scaled(std::max<int64_t>(core.GetGlobalGain(), kLowestScaledGain), factorPercent);
    if (factorPercent > 100) gain = std::max(gain, kLowestScaledGain);
    const auto limited =
        static_cast<int32_t>(Limit(gain, core.GetGlobalGainMin(), core.GetGlobalGainMax()));
    core.SetGlobalGain(static_cast<unsigned>(limited));
    settings.UpdateCamera([limited](CameraSettings &camera) {
        camera.globalGain = limited;
        camera.colorGainGreen1 = limited;
        camera.colorGainRed = limited;
        camera.colorGainBlue = limited;
        camera.colorGainGreen2 = limited;
    });
    return limited;
}

int32_t ScaleExposure(int factorPercent, core::CKorvixU3T2Base &core, SessionSettings &settings) {
    // The whole product is limited to the device's range; exposures of 65536 units and
    // more are kept as they are, not cut to their low 16 bits.
    const int64_t exposure = std::max<int64_t>(Scaled(core.GetExposureTime(), factorPercent), 1);
    const auto limited = static_cast<int32_t>(
        Limit(exposure, core.GetExposureTimeMin(), core.GetExposureTimeMax()));
    core.SetExposureTime(static_cast<unsigned>(limited));
    double seconds = 0.0;
    const bool haveSeconds = core.IsExposureTimeExSupported() && core.GetExposureTimeEx(&seconds);
    settings.UpdateCamera([&](CameraSettings &camera) {
        camera.exposure = limited;
        if (haveSeconds) camera.exposureSeconds = seconds;
    });
    return limited;
}

}  // namespace

void MeasureExposureRegions(const imaging::FrameImage &raw, int means[kExposureRegionCount]) {
    const bool sixteenBit = raw.BitCount() == 16;
    // The measurement reads the destination image only, so the same image is passed twice.
    auto &image = const_cast<imaging::FrameImage &>(raw);
    const double width = raw.Width(), height = raw.Height();
    for (int region = 0; region < kExposureRegionCount; ++region) {
        const double *fraction = kRegions[region];
        const imaging::PixelRect rect{static_cast<int32_t>(fraction[0] * width),
                                      static_cast<int32_t>(fraction[1] * height),
                                      static_cast<int32_t>(fraction[2] * width),
                                      static_cast<int32_t>(fraction[3] * height)};
        means[region] = static_cast<int>(imaging::ConvertImage(
            image, sixteenBit ? imaging::MeanLevel16 : imaging::MeanLevel8, image, &rect,
            rect.left, rect.top));
    }
}

int ExposureFactorPercent(const int means[kExposureRegionCount]) {
    int factor = StartValue(means[0]);
    for (int region = 1; region < kExposureRegionCount; ++region) factor += Adjustment(means[region]);
    return factor;
}

bool IsWithinDeadBand(int factorPercent) { return factorPercent > 60 && factorPercent < 120; }

AutoExposureStep RunAutoExposure(const imaging::FrameImage &raw, int mode,
                                 core::CKorvixU3T2Base &core, SessionSettings &settings) {
    if ((mode != 1 && mode != 2) || raw.IsEmpty()) return {};
    int means[kExposureRegionCount];
    MeasureExposureRegions(raw, means);
    const int factor = ExposureFactorPercent(means);
    if (IsWithinDeadBand(factor)) return {};
    if (mode == 2) return {2, ScaleGain(factor, core, settings)};
    return {1, ScaleExposure(factor, core, settings)};
}

}  // namespace korvix::pipeline
