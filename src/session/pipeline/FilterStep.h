#pragma once

// The image filters of the frame pipeline, on the output image of a colour index.

#include "imaging/FrameImage.h"
#include "session/SessionSettings.h"

namespace korvix::pipeline {

// Runs, each only when its value is not neutral: hue and saturation (colour indices
// only; skipped when both are 0), gamma (skipped at 100), contrast (0), sharpness (0;
// the output is first copied to `work`, which must have the output's geometry, and
// read from there), brightness (0). Gamma, contrast and, without sharpness, brightness
// run as one composed table (imaging::ToneCurve), with the values of the single filters.
void RunFilterStep(imaging::FrameImage &output, imaging::FrameImage *work, int colorIndex,
                   const ImageSettings &image);

}  // namespace korvix::pipeline
