#pragma once

#include <cstdint>

namespace korvix::core {

// How a frame leaves the ring: pixels of each row reversed (horizontal mirror) and/or rows
// in reverse order.
struct CopyOrientation {
    bool mirror = false;
    bool reverseRows = false;
};

// The copy orientation for the sensor's orientation value (SensorParams orientation) and the
// caller's orientation flag. Orientations 2 and 4 mirror the rows; the rows keep their ring
// order when the flag is 1 for orientations other than 3 and 4, or 0 for orientations 3
// and 4, and are reversed otherwise.
CopyOrientation OrientationFor(int sensorOrientation, int orientationFlag);

// Copies a frame of height rows of width pixels (bytesPerPixel 1 or 2; 2-byte pixels move
// as units) from source to destination in one pass, oriented as asked. The buffers must not
// overlap.
void CopyOrientedFrame(const uint8_t *source, uint8_t *destination, uint32_t width, uint32_t height,
                       uint32_t bytesPerPixel, CopyOrientation orientation);

}  // namespace korvix::core
