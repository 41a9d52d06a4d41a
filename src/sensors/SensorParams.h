#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace korvix::sensors {

// The block of limits, current values and defaults of one sensor head. It is handed out
// whole by CSensorBase::CopyParams, so its byte layout is part of the interface: 92
// consecutive 32-bit slots, the four exposure values in seconds each taking two slots as a
// 64-bit float. Fields named *Sup are 1 when the head offers the feature, else 0. Reserved
// slots keep their place so that every named field stays at its slot.
struct SensorParams {
    int32_t sensorWidth;   // widest window in pixels
    int32_t sensorHeight;  // tallest window in lines
    int32_t defaultX;      // window used by InitSensor
    int32_t defaultY;
    int32_t defaultWidth;
    int32_t defaultHeight;   // a window of this height counts as full height
    int32_t widthVariable;   // 0: only the full width is accepted by the session
    int32_t heightVariable;  // 1: any height is accepted
    int32_t x;               // current window
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t hmaxValue;  // line length in sensor clocks (IMX990/991)
    int32_t vmaxValue;  // frame length in lines (IMX990/991)
    int32_t subsampleMode;
    int32_t reserved15;
    int32_t reserved16;  // 1 for the IMX990/991 heads; nothing reads it
    int32_t reserved17[3];
    int32_t gainMin;
    int32_t gainMax;
    int32_t gain;
    int32_t gainDefault;
    int32_t gainSup;
    int32_t expLinesMin;
    int32_t expLinesMax;
    int32_t expLines;
    int32_t expLinesDefault;
    int32_t expLinesSup;
    int32_t chGainMin;  // colour-channel gain of other heads; zero here
    int32_t chGainMax;
    int32_t chGain;
    int32_t chGainDefault;
    int32_t reserved34[16];
    int32_t expTimeMin;  // exposure time in units of 0.1 ms
    int32_t expTimeMax;
    int32_t expTime;
    int32_t expTimeDefault;
    int32_t reserved54;
    int32_t stepMin;  // stepped gain of another head; zero here
    int32_t stepMax;
    int32_t step;
    int32_t stepDefault;
    int32_t stepSup;
    int32_t blackMin;
    int32_t blackMax;
    int32_t black;
    int32_t blackDefault;
    int32_t blackSup;
    int32_t auxSup;
    int32_t auxMode;
    int32_t reserved67;
    double expSecMin;  // exposure in seconds
    double expSecMax;
    double expSec;
    double expSecDefault;
    int32_t expSecSup;
    int32_t reserved77[5];
    int32_t mirrorV;
    int32_t mirrorVDefault;
    int32_t mirrorVSup;
    int32_t mirrorH;
    int32_t mirrorHDefault;
    int32_t mirrorHSup;
    int32_t bitDepth;     // 8 or 16 bits per delivered pixel (0 until first set on some heads)
    int32_t pixelClock;   // sensor pixel clock
    int32_t orientation;  // 3 and 4 count the window's top edge from the other end
    int32_t reserved91;
};

static_assert(std::is_standard_layout_v<SensorParams> &&
              std::is_trivially_copyable_v<SensorParams>);
static_assert(sizeof(SensorParams) == 92 * 4);

// Every named field sits at its slot (slot number x 4 bytes).
#define KORVIX_SENSOR_PARAMS_SLOT(field, slot) \
    static_assert(offsetof(SensorParams, field) == (slot)*4, #field " is not at slot " #slot)
KORVIX_SENSOR_PARAMS_SLOT(sensorWidth, 0);
KORVIX_SENSOR_PARAMS_SLOT(sensorHeight, 1);
KORVIX_SENSOR_PARAMS_SLOT(defaultX, 2);
KORVIX_SENSOR_PARAMS_SLOT(defaultY, 3);
KORVIX_SENSOR_PARAMS_SLOT(defaultWidth, 4);
KORVIX_SENSOR_PARAMS_SLOT(defaultHeight, 5);
KORVIX_SENSOR_PARAMS_SLOT(widthVariable, 6);
KORVIX_SENSOR_PARAMS_SLOT(heightVariable, 7);
KORVIX_SENSOR_PARAMS_SLOT(x, 8);
KORVIX_SENSOR_PARAMS_SLOT(y, 9);
KORVIX_SENSOR_PARAMS_SLOT(width, 10);
KORVIX_SENSOR_PARAMS_SLOT(height, 11);
KORVIX_SENSOR_PARAMS_SLOT(hmaxValue, 12);
KORVIX_SENSOR_PARAMS_SLOT(vmaxValue, 13);
KORVIX_SENSOR_PARAMS_SLOT(subsampleMode, 14);
KORVIX_SENSOR_PARAMS_SLOT(reserved16, 16);
KORVIX_SENSOR_PARAMS_SLOT(gainMin, 20);
KORVIX_SENSOR_PARAMS_SLOT(gainMax, 21);
KORVIX_SENSOR_PARAMS_SLOT(gain, 22);
KORVIX_SENSOR_PARAMS_SLOT(gainDefault, 23);
KORVIX_SENSOR_PARAMS_SLOT(gainSup, 24);
KORVIX_SENSOR_PARAMS_SLOT(expLinesMin, 25);
KORVIX_SENSOR_PARAMS_SLOT(expLinesMax, 26);
KORVIX_SENSOR_PARAMS_SLOT(expLines, 27);
KORVIX_SENSOR_PARAMS_SLOT(expLinesDefault, 28);
KORVIX_SENSOR_PARAMS_SLOT(expLinesSup, 29);
KORVIX_SENSOR_PARAMS_SLOT(chGainMin, 30);
KORVIX_SENSOR_PARAMS_SLOT(chGainDefault, 33);
KORVIX_SENSOR_PARAMS_SLOT(expTimeMin, 50);
KORVIX_SENSOR_PARAMS_SLOT(expTimeMax, 51);
KORVIX_SENSOR_PARAMS_SLOT(expTime, 52);
KORVIX_SENSOR_PARAMS_SLOT(expTimeDefault, 53);
KORVIX_SENSOR_PARAMS_SLOT(stepMin, 55);
KORVIX_SENSOR_PARAMS_SLOT(stepSup, 59);
KORVIX_SENSOR_PARAMS_SLOT(blackMin, 60);
KORVIX_SENSOR_PARAMS_SLOT(blackMax, 61);
KORVIX_SENSOR_PARAMS_SLOT(black, 62);
KORVIX_SENSOR_PARAMS_SLOT(blackDefault, 63);
KORVIX_SENSOR_PARAMS_SLOT(blackSup, 64);
KORVIX_SENSOR_PARAMS_SLOT(auxSup, 65);
KORVIX_SENSOR_PARAMS_SLOT(auxMode, 66);
KORVIX_SENSOR_PARAMS_SLOT(expSecMin, 68);
KORVIX_SENSOR_PARAMS_SLOT(expSecMax, 70);
KORVIX_SENSOR_PARAMS_SLOT(expSec, 72);
KORVIX_SENSOR_PARAMS_SLOT(expSecDefault, 74);
KORVIX_SENSOR_PARAMS_SLOT(expSecSup, 76);
KORVIX_SENSOR_PARAMS_SLOT(mirrorV, 82);
KORVIX_SENSOR_PARAMS_SLOT(mirrorVDefault, 83);
KORVIX_SENSOR_PARAMS_SLOT(mirrorVSup, 84);
KORVIX_SENSOR_PARAMS_SLOT(mirrorH, 85);
KORVIX_SENSOR_PARAMS_SLOT(mirrorHDefault, 86);
KORVIX_SENSOR_PARAMS_SLOT(mirrorHSup, 87);
KORVIX_SENSOR_PARAMS_SLOT(bitDepth, 88);
KORVIX_SENSOR_PARAMS_SLOT(pixelClock, 89);
KORVIX_SENSOR_PARAMS_SLOT(orientation, 90);
KORVIX_SENSOR_PARAMS_SLOT(reserved91, 91);
#undef KORVIX_SENSOR_PARAMS_SLOT

// The four colour-channel gains of a Bayer head (setting ids 14 to 17 of the session).
enum class ColorGainChannel : int { Red = 0, Green1 = 1, Green2 = 2, Blue = 3 };

}  // namespace korvix::sensors
