#pragma once

// ProcessFrame: the one routine every received frame passes before it is drawn, copied
// to the application or recorded. The session calls it with frameLock held, after the
// raw image of the colour index holds the laid-out frame; it works in place on the
// session's images, which Prepare has allocated for that colour index, and allocates
// nothing.
//
// Steps, in this order, each only when its setting is not neutral:
//  1. automatic exposure (camera setting autoExposureMode 1 or 2);
//  2. under maskLock, the mask correction and the defect correction (session/mask);
//  3. the gray step of the monochrome indices 0 and 1 (gray mode 1 or 2);
//  4. the software mirror of the raw image, for each direction the device cannot mirror
//     itself;
//  5. the colour conversion of indices 2 to 5, with the Bayer phase corrected for the
//     mirrors and, when automatic balance is on, a white-balance measurement first;
//  6. the filters on the output image: hue and saturation (colour indices only), gamma,
//     contrast, sharpness (from a copy in workImage), brightness.

#include <cstdint>

#include "session/SessionImages.h"
#include "session/SessionSettings.h"
#include "session/mask/MaskReferences.h"

namespace korvix::core {
class CKorvixU3T2Base;
}

namespace korvix::pipeline {

// `core` may be null (no device): the automatic exposure is then skipped and every
// mirror is done in software. A colour index outside 0..5 or a missing raw image
// leaves everything as it is. `mask` carries the session's maskLock and the two correction
// switches; without a lock the mask step is skipped.
//
// Answers what the frame's processing stored on its own, so that the session can show it in
// an open settings dialog.
struct PipelineChanges {
    int autoExposureMode = 0;  // 1 the exposure, 2 the global gain was set to the value
    int32_t autoExposureValue = 0;
    // The automatic balance or the gray measurement stored new balance, gray gain or gray
    // offset values.
    bool imageMeasured = false;
};
PipelineChanges ProcessFrame(SessionImages &images, SessionSettings &settings,
                             core::CKorvixU3T2Base *core, int colorIndex,
                             const mask::MaskStepSwitches &mask = {});

}  // namespace korvix::pipeline
