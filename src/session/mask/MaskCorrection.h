#pragma once

// The two per-frame corrections of the defect mask and the defect maps they use.
//
// Mask correction: every pixel is rescaled between its dark and its bright reference, so
// that the sensor's non-uniform response becomes flat. Defect correction: hot pixels (too
// bright in the dark reference), dead pixels (too dark in the bright reference) and
// isolated outliers of the frame are replaced by the mean of their nearest good
// neighbours along the row and the column.
//
// References and maps cover the whole 1280 x 1024 sensor; a frame covers its capture
// window, possibly sub-sampled. Frame pixel (x, y) is paired with the reference and map
// pixel at the sensor position it was read from, (startX + x * step, startY + y * step),
// and frame rows are addressed with the frame's own row pitch.
//
// Pure code: in place, allocation-free, single pass over the frame (the defect repair then
// visits only the marked pixels). Reentrant; the caller holds the lock that guards the
// references and maps (the session's maskLock) and the one that guards the frame.

#include <cstdint>

#include "imaging/FrameImage.h"

namespace korvix::mask {

// Where a frame was read on the sensor: the capture window's start and the sub-sampling
// step (1 for full read-out, 2 for 2 x 2 sub-sampling).
struct SensorWindow {
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t step = 1;
};

// Which axes of the sensor's read-out the upright frame reverses: the sensor's orientation
// value 4 turns both, 2 only the columns, 3 only the rows.
struct ReadoutTurn {
    bool columns = false;
    bool rows = false;

    static ReadoutTurn OfOrientation(int orientation) {
        return {orientation == 2 || orientation == 4, orientation == 3 || orientation == 4};
    }
};

// Limits of BuildDefectMap: a dark-reference pixel above the hot limit is hot, a
// bright-reference pixel below the dead limit is dead.
inline constexpr int kHotLimit8 = 192;
inline constexpr int kDeadLimit8 = 64;
inline constexpr int kHotLimit16 = 3072;
inline constexpr int kDeadLimit16 = 1024;
// Outlier thresholds of DefectCorrect for 8- and 16-bit frames (12-bit samples).
inline constexpr int kDefectThreshold8 = 30;
inline constexpr int kDefectThreshold16 = 480;
// The 16-bit mask correction's result is 12 bits shifted this far, to the full 16-bit range.
inline constexpr int kMaskRangeShift16 = 4;

enum DefectMapKind : int {
    kHotMap = 0,   // from the dark reference
    kDeadMap = 1,  // from the bright reference
};

// Rebuilds `map` (same size and bit count as `reference`, 8 or 16 bits) from the
// reference: 1 where the pixel is hot (kHotMap) or dead (kDeadMap), else 0. A border of
// two pixels is never marked. False, with the map unchanged, when the geometries differ.
bool BuildDefectMap(const imaging::FrameImage &reference, imaging::FrameImage &map,
                    DefectMapKind kind);

// Rescales the frame between the references at each pixel's sensor position:
//   8 bits:  where D != B, P becomes (P - D) x 256 / (B - D), limited to 0..255;
//   16 bits: where D < B,  P becomes ((P - D) x 4096 / (B - D), limited to 0..4095) << 4,
//            so a corrected 12-bit frame uses the full 16-bit range.
// Other pixels keep their value. False, with the frame unchanged, when the bit counts
// differ or the window does not lie inside the references.
bool MaskCorrect(imaging::FrameImage &frame, const imaging::FrameImage &dark,
                 const imaging::FrameImage &bright, SensorWindow window);

// Marks, in `workMap` (addressed at frame coordinates, at least the frame's size), every
// pixel at least 4 pixels inside the frame that is set in the hot or dead map at its
// sensor position, or that differs from the mean of its four direct neighbours by at
// least `threshold`; then replaces each marked pixel by the integer mean of the nearest
// unmarked pixels to its left, right, top and bottom (those that exist; a pixel with none
// keeps its value). Repaired values never feed other repairs. False, with the frame
// unchanged, when the bit counts differ or the window does not fit the maps.
bool DefectCorrect(imaging::FrameImage &frame, const imaging::FrameImage &hotMap,
                   const imaging::FrameImage &deadMap, imaging::FrameImage &workMap,
                   SensorWindow window, int threshold);

}  // namespace korvix::mask
