#include "session/pipeline/FilterStep.h"

#include <cstring>

#include "imaging/Filters.h"
#include "session/SessionImages.h"

namespace korvix::pipeline {

namespace {

// The filter variants of one pixel family.
struct FilterFamily {
    imaging::PixelConverter hueSaturation;
    imaging::PixelConverter gamma;
    imaging::PixelConverter contrast;
    imaging::PixelConverter sharpness;
    imaging::PixelConverter brightness;
};

constexpr int kNeutralGamma = 100;

const FilterFamily &FamilyOf(int colorIndex) {
    static const FilterFamily kGray8{nullptr, imaging::Gamma8, imaging::Contrast8,
                                     imaging::Sharpness8, imaging::Brightness8};
    static const FilterFamily kGray16{nullptr, imaging::Gamma16, imaging::Contrast16,
                                      imaging::Sharpness16, imaging::Brightness16};
    static const FilterFamily kColor24{imaging::HueSaturation24, imaging::Gamma24,
                                       imaging::Contrast24, imaging::Sharpness24,
                                       imaging::Brightness24};
    static const FilterFamily kColor48{imaging::HueSaturation48, imaging::Gamma48,
                                       imaging::Contrast48, imaging::Sharpness48,
                                       imaging::Brightness48};
    switch (colorIndex) {
    case 0: return kGray8;
    case 1: return kGray16;
    case 2:
    case 3: return kColor24;
    default: return kColor48;
    }
}

void RunInPlace(imaging::FrameImage &output, imaging::PixelConverter filter, int32_t value) {
    imaging::ConvertImage(output, filter, output, nullptr, 0, 0, &value);
}

}  // namespace

void RunFilterStep(imaging::FrameImage &output, imaging::FrameImage *work, int colorIndex,
                   const ImageSettings &image) {
    if (BitsOfColorIndex(colorIndex) == 0) return;
    const FilterFamily &family = FamilyOf(colorIndex);
    if (family.hueSaturation != nullptr && (image.hue != 0 || image.saturation != 0)) {
        imaging::HueSaturationParams params{image.hue, image.saturation};
        imaging::ConvertImage(output, family.hueSaturation, output, nullptr, 0, 0, &params);
    }
    if (image.gamma != kNeutralGamma) RunInPlace(output, family.gamma, image.gamma);
    if (image.contrast != 0) RunInPlace(output, family.contrast, image.contrast);
    if (image.sharpness != 0 && work != nullptr && work->SizeBytes() == output.SizeBytes() &&
        work->BitCount() == output.BitCount()) {
        std::memcpy(work->Bits(), output.Bits(), output.SizeBytes());
        int32_t value = image.sharpness;
        imaging::ConvertImage(output, family.sharpness, *work, nullptr, 0, 0, &value);
    }
    if (image.brightness != 0) RunInPlace(output, family.brightness, image.brightness);
}

}  // namespace korvix::pipeline
