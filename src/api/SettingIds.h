#pragma once

// The settings that Korvix_GetFilterValue and Korvix_SetFilterValue address by a numeric id,
// and the dispatch behind them. Every id is described once, by one row of the table in
// SettingIds.cpp: the values a set accepts, where the value lives, what a set does and what
// a get returns. The named setting exports are one-line forwards with the ids below.

namespace korvix {

class CKorvix;

namespace api {

enum SettingId : int {
    kBrightness = 1,
    kContrast = 2,
    kHue = 3,
    kSaturation = 4,
    kSharpness = 5,
    kBalancePacked = 6,  // red in bits 0-7, green in 8-15, blue in 16-23
    kBalanceRed = 7,
    kBalanceGreen = 8,
    kBalanceBlue = 9,
    kAutoBalance = 10,
    kGamma = 11,
    kBayerMode = 12,
    kGlobalGain = 13,
    kColorGainRed = 14,
    kColorGainGreen1 = 15,
    kColorGainGreen2 = 16,
    kColorGainBlue = 17,
    kExposure = 18,  // device units
    kGrayMode = 19,
    kGrayGainR = 20,
    kGrayGainG1 = 21,
    kGrayGainG2 = 22,
    kGrayGainB = 23,
    kGrayOffsetR = 24,
    kGrayOffsetG1 = 25,
    kGrayOffsetG2 = 26,
    kGrayOffsetB = 27,
    kGrayOneShot = 28,  // settable, not readable
    kCooler = 100,
    kTemperature = 101,  // never available through the id: always -1
    kDotFilter = 102,
    kMaskFilter = 103,
    kGainMode = 104,
    kAuxSwitch = 105,
    kBlackLevel = 106,
};

// The ids the channel gain and offset exports map their channels 1 to 4 to. The table
// knows none of them, so those exports always fail with CAMERR_PARAMETER.
inline constexpr int kFirstChannelGainId = 29;
inline constexpr int kFirstChannelOffsetId = 33;
inline constexpr int kChannelCount = 4;

// Korvix_GetFilterValue: the value of setting `id`. Stores 1 through `ok` (may be null) on
// success and 0 on failure; a failure returns 0 (-1 where the table says so) and records
// CAMERR_NOT_READY without a device core, CAMERR_PARAMETER for an id without a getter, or
// the id's own code.
int GetFilterValue(CKorvix &session, int id, int *ok);

// Korvix_SetFilterValue: stores `value` as setting `id` and, for device settings, writes it
// to the device. 1 on success; 0 with CAMERR_NOT_READY without a device core,
// CAMERR_PARAMETER for an id without a setter or a value outside the accepted range
// (nothing changes then), or the id's own code.
int SetFilterValue(CKorvix &session, int id, int value);

}  // namespace api
}  // namespace korvix
