#include "session/pipeline/GrayStep.h"

#include <algorithm>

#include "imaging/Demosaic.h"
#include "imaging/FormatConverters.h"
#include "imaging/GrayCorrection.h"
#include "imaging/Measurements.h"

namespace korvix::pipeline {

namespace {

constexpr int32_t kNeutralGrayValue = 128;

// The gray gain measurement of a one-shot request: measures the raw frame, stores the new
// gains (the offsets are not measured and stay) and counts the request down; a negative
// count asks for a measurement on every frame and is left as it is.
void MeasureGrayGains(imaging::FrameImage &raw, bool sixteenBit, ImageSettings &image,
                      SessionSettings &settings) {
    imaging::GrayGainParams params;
    params.bayerMode = image.bayerMode;
    std::copy(std::begin(image.grayGain), std::end(image.grayGain), params.gain);
    std::copy(std::begin(image.grayOffset), std::end(image.grayOffset), params.offset);
    imaging::ConvertImage(raw, sixteenBit ? imaging::GrayGainMeasure16 : imaging::GrayGainMeasure8,
                          raw, nullptr, 0, 0, &params);
    std::copy(std::begin(params.gain), std::end(params.gain), image.grayGain);
    settings.UpdateImage([&params](ImageSettings &stored) {
        std::copy(std::begin(params.gain), std::end(params.gain), stored.grayGain);
        if (stored.grayOneShot > 0) --stored.grayOneShot;
    });
    image.grayOneShot = image.grayOneShot > 0 ? image.grayOneShot - 1 : image.grayOneShot;
}

void ApplyGainOffset(imaging::FrameImage &raw, bool sixteenBit, const ImageSettings &image) {
    imaging::GrayGainParams params;
    params.bayerMode = image.bayerMode;
    std::copy(std::begin(image.grayGain), std::end(image.grayGain), params.gain);
    std::copy(std::begin(image.grayOffset), std::end(image.grayOffset), params.offset);
    params.sampleDepth = sixteenBit ? 12 : 8;
    imaging::ConvertImage(raw, sixteenBit ? imaging::GrayGainOffset16 : imaging::GrayGainOffset8,
                          raw, nullptr, 0, 0, &params);
}

// A colour sensor's 8-bit frame shown as gray: demosaiced into rgbImage24, then reduced
// back into the raw image.
void ColorRoundTrip(SessionImages &images, const ImageSettings &image) {
    imaging::FrameImage &raw = *images.rawImage8;
    imaging::FrameImage *color = images.rgbImage24.get();
    if (color == nullptr || color->Width() != raw.Width() || color->Height() != raw.Height()) {
        return;
    }
    imaging::DemosaicParams params{image.bayerMode, image.balanceRed, image.balanceGreen,
                                   image.balanceBlue};
    imaging::ConvertImage(*color, imaging::Demosaic8Inner, raw, nullptr, 0, 0, &params);
    imaging::ConvertImage(*color, imaging::Demosaic8Border, raw, nullptr, 0, 0, &params);
    imaging::ConvertImage(raw, imaging::ColorToGray24, *color, nullptr, 0, 0);
}

}  // namespace

bool IsGrayGainOffsetSkipped(const ImageSettings &image) {
    for (int32_t gain : image.grayGain) {
        if (gain != kNeutralGrayValue) return false;
    }
    for (int site : {imaging::kSiteR, imaging::kSiteG1, imaging::kSiteG2}) {
        if (image.grayOffset[site] != kNeutralGrayValue) return false;
    }
    return true;
}

void RunGrayStep(SessionImages &images, int colorIndex, ImageSettings &image,
                 SessionSettings &settings) {
    if (!IsMonochromeIndex(colorIndex)) return;
    const bool sixteenBit = colorIndex == 1;
    imaging::FrameImage *raw = images.RawImageOf(colorIndex);
    if (raw == nullptr || raw->IsEmpty()) return;
    if (image.grayMode == 1) {
        if (image.grayOneShot != 0) MeasureGrayGains(*raw, sixteenBit, image, settings);
        if (!IsGrayGainOffsetSkipped(image)) ApplyGainOffset(*raw, sixteenBit, image);
    } else if (image.grayMode == 2 && !sixteenBit) {
        ColorRoundTrip(images, image);
    }
}

}  // namespace korvix::pipeline
