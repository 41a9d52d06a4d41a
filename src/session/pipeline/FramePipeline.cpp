#include "session/pipeline/FramePipeline.h"

#include <algorithm>
#include <iterator>

#include "core/KorvixU3T2Base.h"
#include "imaging/BayerSites.h"
#include "imaging/Demosaic.h"
#include "imaging/Measurements.h"
#include "session/pipeline/AutoExposure.h"
#include "session/pipeline/FilterStep.h"
#include "session/pipeline/GrayStep.h"
#include "session/pipeline/SoftwareMirror.h"

namespace korvix::pipeline {

namespace {

constexpr int32_t kMaximumBalance = 400;

bool SameSize(const imaging::FrameImage &a, const imaging::FrameImage &b) {
    return a.Width() == b.Width() && a.Height() == b.Height();
}

// The automatic balance: measures the raw frame in the frame's Bayer phase, stores the
// three balance values (each at most 400) and ends a one-shot balance.
void MeasureBalance(imaging::FrameImage &raw, int bayerPhase, ImageSettings &image,
                    SessionSettings &settings) {
    imaging::WhiteBalanceResult result{image.balanceBlue, 100, image.balanceRed, bayerPhase};
    imaging::ConvertImage(raw,
                          raw.BitCount() == 16 ? imaging::WhiteBalanceMeasure16
                                               : imaging::WhiteBalanceMeasure8,
                          raw, nullptr, 0, 0, &result);
    image.balanceRed = std::min(result.redGain, kMaximumBalance);
    image.balanceGreen = std::min(result.greenGain, kMaximumBalance);
    image.balanceBlue = std::min(result.blueGain, kMaximumBalance);
    const bool oneShot = image.autoBalanceOnceA != 0 || image.autoBalanceOnceB != 0;
    settings.UpdateImage([&image, oneShot](ImageSettings &stored) {
        stored.balanceRed = image.balanceRed;
        stored.balanceGreen = image.balanceGreen;
        stored.balanceBlue = image.balanceBlue;
        if (oneShot) {
            stored.autoBalance = 0;
            stored.autoBalanceOnceA = 0;
            stored.autoBalanceOnceB = 0;
        }
    });
}

// Demosaic of the raw frame into the colour output of indices 2 to 5.
void ConvertToColor(imaging::FrameImage &raw, imaging::FrameImage &output, int bayerPhase,
                    const ImageSettings &image) {
    if (!SameSize(raw, output)) return;
    const bool sixteenBit = raw.BitCount() == 16;
    imaging::DemosaicParams params{bayerPhase, image.balanceRed, image.balanceGreen,
                                   image.balanceBlue};
    imaging::ConvertImage(output, sixteenBit ? imaging::Demosaic16Inner : imaging::Demosaic8Inner,
                          raw, nullptr, 0, 0, &params);
    imaging::ConvertImage(output,
                          sixteenBit ? imaging::Demosaic16Border : imaging::Demosaic8Border, raw,
                          nullptr, 0, 0, &params);
}

}  // namespace

PipelineChanges ProcessFrame(SessionImages &images, SessionSettings &settings,
                             core::CKorvixU3T2Base *core, int colorIndex,
                             const mask::MaskStepSwitches &mask) {
    PipelineChanges changes;
    imaging::FrameImage *raw = images.RawImageOf(colorIndex);
    imaging::FrameImage *output = images.OutputImageOf(colorIndex);
    if (raw == nullptr || raw->IsEmpty() || output == nullptr || output->IsEmpty()) return changes;
    const CameraSettings camera = settings.Camera();
    ImageSettings image = settings.Image();

    if (core != nullptr) {
        const AutoExposureStep step = RunAutoExposure(*raw, camera.autoExposureMode, *core, settings);
        changes.autoExposureMode = step.mode;
        changes.autoExposureValue = step.value;
    }

    mask::RunMaskStep(images, colorIndex, settings.Window(), mask);

    const ImageSettings beforeGray = image;
    RunGrayStep(images, colorIndex, image, settings);
    changes.imageMeasured =
        !std::equal(std::begin(image.grayGain), std::end(image.grayGain), beforeGray.grayGain) ||
        !std::equal(std::begin(image.grayOffset), std::end(image.grayOffset), beforeGray.grayOffset);

    const bool deviceMirrorsH = core != nullptr && core->IsMirrorHSupported();
    const bool deviceMirrorsV = core != nullptr && core->IsMirrorVSupported();
    MirrorInPlace(*raw, camera.mirrorH != 0 && !deviceMirrorsH,
                  camera.mirrorV != 0 && !deviceMirrorsV);

    if (!IsMonochromeIndex(colorIndex)) {
        const int bayerPhase =
            imaging::MirroredBayerMode(image.bayerMode, camera.mirrorV != 0, camera.mirrorH != 0);
        if (image.autoBalance != 0) {
            MeasureBalance(*raw, bayerPhase, image, settings);
            changes.imageMeasured = true;
        }
        ConvertToColor(*raw, *output, bayerPhase, image);
    }

    RunFilterStep(*output, images.workImage.get(), colorIndex, image);
    return changes;
}

}  // namespace korvix::pipeline
