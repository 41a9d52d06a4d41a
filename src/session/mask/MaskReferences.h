#pragma once

// The defect mask of a session: its references and defect maps in SessionImages, read,
// written and captured under the session's maskLock, and the pipeline's mask step.
//
// Lock order: frameLock (held by the callers named below) before maskLock (taken here).
// The references and the maps change together under maskLock, so a frame is never
// corrected with half-replaced references or maps that do not match them.

#include <optional>

#include "platform/CriticalSection.h"
#include "session/SessionImages.h"
#include "session/SessionSettings.h"
#include "session/mask/MaskCorrection.h"

namespace korvix::mask {

// Reads a mask file into scratch memory, then under `maskLock` stores its references and
// rebuilds the four defect maps. False, with references and maps unchanged, when the
// file is missing, unreadable, truncated, longer than a mask file or has any header value
// other than the fixed ones.
bool LoadMaskReferences(const char *fileName, SessionImages &images,
                        platform::CriticalSection &maskLock);

// Writes the four references to a mask file under `maskLock`. False when the file cannot
// be created or any write fails or falls short.
bool SaveMaskReferences(const char *fileName, SessionImages &images,
                        platform::CriticalSection &maskLock);

// The caller holds frameLock. With `which` 0 (dark) or 1 (bright), copies the raw frame of
// the colour index into the reference of its depth and rebuilds that reference's map (hot
// or dead), both under `maskLock`; a frame of any size other than 1280 x 1024 stores
// nothing. The other depth's references stay as they are. False only for another `which`.
bool UpdateMaskReference(SessionImages &images, int colorIndex, int which,
                         platform::CriticalSection &maskLock);

// What the pipeline's mask step takes from the session besides its images and settings.
struct MaskStepSwitches {
    platform::CriticalSection *maskLock = nullptr;  // null: no mask step at all
    bool maskCorrection = false;                    // setting 103, maskFilter
    bool defectCorrection = false;                  // setting 102, dotFilter
    ReadoutTurn turn;                               // the sensor's mounting
};

// Where a raw frame taken with `window` was read on the sensor: the window's start, and
// the sub-sampling step that makes the window's size the frame's (1, 2, 4 or 8). Nothing
// when the frame matches the window at no step. A sub-sampled read-out takes every step-th
// pixel from the array's own first row and column; along an axis the upright frame turns,
// that pixel is the last of each step in the frame's (and the references') coordinates, so
// the start moves by step - 1 there.
std::optional<SensorWindow> SensorWindowOf(const CaptureWindow &window,
                                           const imaging::FrameImage &frame, ReadoutTurn turn);

// Step 2 of the frame pipeline, on the raw frame of the colour index and with frameLock
// held: under maskLock the mask correction if switched on, then the defect correction
// (threshold 30 for 8-bit, 480 for 16-bit frames, 480 x 16 once the mask correction has
// spread a 16-bit frame over the full range). A frame that does not match the capture
// window is left alone.
void RunMaskStep(SessionImages &images, int colorIndex, const CaptureWindow &window,
                 const MaskStepSwitches &switches);

}  // namespace korvix::mask
