// Settings addressed by setting id: the generic pair, the named forwards to it and the
// channel gain and offset exports. The ids and what each does are in SettingIds.cpp.
#include "KorvixSdk_Tesslin.h"
#include "api/CallFrame.h"
#include "api/SettingIds.h"
#include "session/Korvix.h"

using korvix::CallSession;
using korvix::CKorvix;
using namespace korvix::api;

namespace {

// Channels 1 to 4 map to four consecutive ids from `firstId`; any other channel returns 0
// without calling anything.
bool ChannelId(int channel, int firstId, int *id) {
    if (channel < 1 || channel > kChannelCount) return false;
    *id = firstId + channel - 1;
    return true;
}

}  // namespace

extern "C" {

KORVIX_API int KORVIX_CALL Korvix_GetFilterValue(int handle, int id, int *ok) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return GetFilterValue(session, id, ok); });
}

KORVIX_API int KORVIX_CALL Korvix_SetFilterValue(int handle, int id, int value) {
    return CallSession(handle, 0,
                       [&](CKorvix &session) { return SetFilterValue(session, id, value); });
}

KORVIX_API int KORVIX_CALL Korvix_GetChannelGain(int handle, int channel, int *ok) {
    int id = 0;
    return ChannelId(channel, kFirstChannelGainId, &id) ? Korvix_GetFilterValue(handle, id, ok) : 0;
}
KORVIX_API int KORVIX_CALL Korvix_SetChannelGain(int handle, int channel, int value) {
    int id = 0;
    return ChannelId(channel, kFirstChannelGainId, &id) ? Korvix_SetFilterValue(handle, id, value)
                                                        : 0;
}
KORVIX_API int KORVIX_CALL Korvix_GetChannelOffset(int handle, int channel, int *ok) {
    int id = 0;
    return ChannelId(channel, kFirstChannelOffsetId, &id) ? Korvix_GetFilterValue(handle, id, ok)
                                                          : 0;
}
KORVIX_API int KORVIX_CALL Korvix_SetChannelOffset(int handle, int channel, int value) {
    int id = 0;
    return ChannelId(channel, kFirstChannelOffsetId, &id) ? Korvix_SetFilterValue(handle, id, value)
                                                          : 0;
}

KORVIX_API int KORVIX_CALL Korvix_GetBayerGainAuto(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kAutoBalance, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainBlue(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBalanceBlue, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainGreen(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBalanceGreen, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainRGB(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBalancePacked, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBayerGainRed(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBalanceRed, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBayerMode(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBayerMode, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetBrightness(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kBrightness, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetColorGainBlue(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kColorGainBlue, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetColorGainGreen1(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kColorGainGreen1, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetColorGainGreen2(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kColorGainGreen2, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetColorGainRed(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kColorGainRed, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetContrast(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kContrast, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetDotFilter(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kDotFilter, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetExposureTime(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kExposure, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGamma(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGamma, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGlobalGain(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGlobalGain, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainB(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayGainB, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainG1(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayGainG1, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainG2(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayGainG2, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayGainR(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayGainR, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayMode(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayMode, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetB(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayOffsetB, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetG1(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayOffsetG1, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetG2(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayOffsetG2, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetGrayOffsetR(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kGrayOffsetR, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetHue(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kHue, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetMaskFilter(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kMaskFilter, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetPeltier(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kCooler, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetSaturation(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kSaturation, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetSharpness(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kSharpness, ok);
}
KORVIX_API int KORVIX_CALL Korvix_GetTemperature(int handle, int *ok) {
    return Korvix_GetFilterValue(handle, kTemperature, ok);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainAuto(int handle, int value) {
    return Korvix_SetFilterValue(handle, kAutoBalance, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainBlue(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBalanceBlue, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainGreen(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBalanceGreen, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainRGB(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBalancePacked, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerGainRed(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBalanceRed, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBayerMode(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBayerMode, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetBrightness(int handle, int value) {
    return Korvix_SetFilterValue(handle, kBrightness, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetColorGainBlue(int handle, int value) {
    return Korvix_SetFilterValue(handle, kColorGainBlue, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetColorGainGreen1(int handle, int value) {
    return Korvix_SetFilterValue(handle, kColorGainGreen1, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetColorGainGreen2(int handle, int value) {
    return Korvix_SetFilterValue(handle, kColorGainGreen2, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetColorGainRed(int handle, int value) {
    return Korvix_SetFilterValue(handle, kColorGainRed, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetContrast(int handle, int value) {
    return Korvix_SetFilterValue(handle, kContrast, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetDotFilter(int handle, int value) {
    return Korvix_SetFilterValue(handle, kDotFilter, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetExposureTime(int handle, int value) {
    return Korvix_SetFilterValue(handle, kExposure, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGamma(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGamma, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGlobalGain(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGlobalGain, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainB(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayGainB, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainG1(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayGainG1, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainG2(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayGainG2, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayGainR(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayGainR, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayMode(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayMode, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetB(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayOffsetB, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetG1(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayOffsetG1, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetG2(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayOffsetG2, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetGrayOffsetR(int handle, int value) {
    return Korvix_SetFilterValue(handle, kGrayOffsetR, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetHue(int handle, int value) {
    return Korvix_SetFilterValue(handle, kHue, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetMaskFilter(int handle, int value) {
    return Korvix_SetFilterValue(handle, kMaskFilter, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetPeltier(int handle, int value) {
    return Korvix_SetFilterValue(handle, kCooler, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetSaturation(int handle, int value) {
    return Korvix_SetFilterValue(handle, kSaturation, value);
}
KORVIX_API int KORVIX_CALL Korvix_SetSharpness(int handle, int value) {
    return Korvix_SetFilterValue(handle, kSharpness, value);
}

}  // extern "C"
