#pragma once

// The gray step of monochrome colour indices (0 and 1): per-site gray gain and offset
// (gray mode 1, with the one-shot gray-gain measurement before it) or the round trip
// through colour back to gray (gray mode 2).

#include "session/SessionImages.h"
#include "session/SessionSettings.h"

namespace korvix::pipeline {

// The gray gain and offset are skipped when the red, green1, green2 and blue gains and
// the red, green1 and green2 offsets all equal 128. The comparison of the offsets with
// 128 (not 0) and the ignored blue offset are the rule stored settings were made under.
bool IsGrayGainOffsetSkipped(const ImageSettings &image);

// Runs the gray step on the raw image of a monochrome colour index; `image` is the
// frame's copy of the image settings and is updated with the gains a one-shot
// measurement stores (also written to `settings`). Colour indices are left alone.
void RunGrayStep(SessionImages &images, int colorIndex, ImageSettings &image,
                 SessionSettings &settings);

}  // namespace korvix::pipeline
