#pragma once

#include <cstdint>

#include "core/ProductTable.h"

namespace korvix::core {

// Size of the transfer buffer and of each ring buffer for a window: room for the window
// plus 128 pixels and 128 lines of margin, rounded up to whole 8 KiB. Zero for an empty
// or negative window.
uint32_t TransferBufferSize(int width, int height, int bytesPerPixel);

// The FPGA read-out offsets of a window: T (registers 0x48/0x49) and E, the horizontal
// start (registers 0x4C/0x4D). They depend on the head, its sub-sampling mode, whether the
// FPGA delivers 16-bit data, the horizontal mirror and whether the window is full height.
struct ReadoutOffsets {
    uint16_t t = 0;
    uint16_t e = 0;
};
ReadoutOffsets ComputeReadoutOffsets(SensorFamily family, int subsampleMode, bool canOutput16Bit,
                                     bool mirrorH, bool fullHeight);

}  // namespace korvix::core
