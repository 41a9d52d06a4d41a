#include "session/pipeline/FilterStep.h"

#include <cstring>

#include "imaging/Filters.h"
#include "session/SessionImages.h"

namespace korvix::pipeline {

namespace {

// The filter variants of one pixel family.
struct FilterFamily {
    imaging::PixelConverter hueSaturation;
    imaging::PixelConverter toneCurve;  // gamma, contrast (and brightness) in one pass
    imaging::PixelConverter sharpness;
    imaging::PixelConverter brightness;
};

constexpr int kNeutralGamma = 100;

const FilterFamily &FamilyOf(int colorIndex) {
    static const FilterFamily kGray8{nullptr, imaging::ToneCurve8, imaging::Sharpness8,
                                     imaging::Brightness8};
    static const FilterFamily kGray16{nullptr, imaging::ToneCurve16, imaging::Sharpness16,
                                      imaging::Brightness16};
    static const FilterFamily kColor24{imaging::HueSaturation24, imaging::ToneCurve24,
                                       imaging::Sharpness24, imaging::Brightness24};
    static const FilterFamily kColor48{imaging::HueSaturation48, imaging::ToneCurve48,
                                       imaging::Sharpness48, imaging::Brightness48};
    switch (colorIndex) {
    case 0: return kGray8;
    case 1: return kGray16;
    case 2:
    case 3: return kColor24;
    default: return kColor48;
    }
}

void RunInPlace(imaging::FrameImage &output, imaging::PixelConverter filter, void *parameter) {
    imaging::ConvertImage(output, filter, output, nullptr, 0, 0, parameter);
}

bool CanSharpen(const imaging::FrameImage &output, const imaging::FrameImage *work) {
    return work != nullptr && work->Width() == output.Width() &&
           work->Height() == output.Height() && work->BitCount() == output.BitCount();
}

}  // namespace

void RunFilterStep(imaging::FrameImage &output, imaging::FrameImage *work, int colorIndex,
                   const ImageSettings &image) {
    if (BitsOfColorIndex(colorIndex) == 0) return;
    const FilterFamily &family = FamilyOf(colorIndex);
    if (family.hueSaturation != nullptr && (image.hue != 0 || image.saturation != 0)) {
        imaging::HueSaturationParams params{image.hue, image.saturation};
        RunInPlace(output, family.hueSaturation, &params);
    }
    const bool sharpen = image.sharpness != 0 && CanSharpen(output, work);
    // Gamma and contrast are one table pass; brightness joins it when no sharpness runs
    // between them (alone it is a multiply, cheaper than a table).
    const bool toneTable = image.gamma != kNeutralGamma || image.contrast != 0;
    int32_t brightness = image.brightness;
    if (toneTable) {
        imaging::ToneCurveParams tone{image.gamma, image.contrast, sharpen ? 0 : brightness};
        RunInPlace(output, family.toneCurve, &tone);
        if (!sharpen) brightness = 0;
    }
    if (sharpen) {
        std::memcpy(work->Bits(), output.Bits(), output.SizeBytes());
        int32_t value = image.sharpness;
        imaging::ConvertImage(output, family.sharpness, *work, nullptr, 0, 0, &value);
    }
    if (brightness != 0) RunInPlace(output, family.brightness, &brightness);
}

}  // namespace korvix::pipeline
