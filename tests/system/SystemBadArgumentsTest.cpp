// Every export with bad arguments: unknown and released handles, null pointers, short
// buffers, negative sizes, out-of-range values, empty, over-long and invalid names. Each row
// states the result, what arrives through `ok`, and every code the call records (read back
// with Korvix_GetLastError) or only announces with WM_CAMERA_ERROR.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "MessageInbox.h"
#include "SimulatedCameras.h"

namespace korvix::test {
namespace {

// Tags of the inbox windows (MessageInbox::Window) of the session under test (every code
// it records or announces goes there) and of the marker session.
constexpr uintptr_t kRowTag = 0xBAD0;
constexpr uintptr_t kMarkerTag = 0xBAD2;
KorvixWindow const kFrameWindow = reinterpret_cast<KorvixWindow>(uintptr_t{0xBAD1});
// What a row's `ok` holds before the call; rows without `ok`, or whose call must not touch
// it, expect it unchanged.
constexpr int kUntouched = 0x0C0FFEE;
constexpr int kFullFrameBytes = 1280 * 1024;  // 8-bit, rows already a multiple of 4

// One code of a row: recorded in the history (and posted to the session's window) or only
// announced (posted, not recorded).
struct Code {
    int value;
    bool recorded;
};
Code Rec(int value) {
    return {value, true};
}
Code Ann(int value) {
    return {value, false};
}

using Call = double (*)(int handle, int *ok);

struct Row {
    const char *name;
    Call call;
    double result;
    int ok;                   // kUntouched, 0 or 1
    std::vector<Code> codes;  // in the order the call reports them
};

// Scratch space the calls write into; large enough for every output of the tests.
unsigned char g_bytes[kFullFrameBytes * 2];
char g_names[10][256];
wchar_t g_wideNames[10][256];
wchar_t g_wide[64];
char g_text[64];
int g_ints[6];

// 1100 wide characters do not fit the 1024-byte narrow name.
const std::wstring g_longWide = std::wstring(1100, L'w');
const std::string g_longName = std::string(5000, 'n');
// A lone surrogate and a value beyond Unicode have no narrow form. Where wchar_t holds
// UTF-16 units (Windows) no value lies beyond Unicode: a lone low surrogate stands in.
const wchar_t g_surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
const wchar_t g_beyondUnicode[] = {
    static_cast<wchar_t>(sizeof(wchar_t) >= 4 ? 0x110000 : 0xDFFF), 0};

#define CALL(expression)           \
    [](int h, int *ok) -> double { \
        (void)h, (void)ok;         \
        return (expression);       \
    }

// Every one of the 149 exports, with arguments that would be good for a live session, and
// the result an unknown handle gets.
struct NoSessionRow {
    const char *name;
    Call call;
    double result;
};
#define NS(function, result, ...) \
    { #function, CALL(function(__VA_ARGS__)), result }
const NoSessionRow kEveryExport[] = {
    // The one export without a handle: any window value gives a session that releases.
    {"Korvix_Initialize", CALL(Korvix_Release(Korvix_Initialize(kFrameWindow))), 1},
    NS(Korvix_Release, 0, h),
    NS(Korvix_GetDllVersion, 34997537),
    NS(Korvix_GetLastError, 0, h),
    NS(Korvix_EnumDevice, 0, h, g_names),
    NS(Korvix_EnumDeviceW, 0, h, g_wideNames),
    NS(Korvix_SetDeviceNumber, 0, h, 0),
    NS(Korvix_GetDeviceName, 0, h, 0, g_text, sizeof g_text),
    NS(Korvix_GetDeviceNameW, 0, h, 0, g_wide, 64),
    NS(Korvix_GetCameraInfo, 0, h, reinterpret_cast<KorvixCameraInfo *>(g_ints)),
    NS(Korvix_ReadSerialNumberA, 0, h, g_text, sizeof g_text),
    NS(Korvix_ReadSerialNumberW, 0, h, g_wide, 64),
    NS(Korvix_ReadSromID, 0, h, 0, ok),
    NS(Korvix_WriteSromID, 0, h, 0, 0),
    NS(Korvix_Width, 0, h),
    NS(Korvix_Height, 0, h),
    NS(Korvix_Capture, 0, h),
    NS(Korvix_Close, 0, h),
    NS(Korvix_Preview, 0, h),
    NS(Korvix_StartPreview, 0, h),
    NS(Korvix_StopPreview, 0, h),
    NS(Korvix_CallBackPreview, 0, h, kFrameWindow, g_bytes, sizeof g_bytes, 1),
    NS(Korvix_SnapShot, 0, h, g_bytes, sizeof g_bytes, 1),
    NS(Korvix_Trigger, 0, h, kFrameWindow, g_bytes, sizeof g_bytes, 1),
    NS(Korvix_GetImage, 0, h, g_bytes, sizeof g_bytes, 1),
    NS(Korvix_SetColorMode, 0, h, 8),
    NS(Korvix_GetColorMode, -1, h),
    NS(Korvix_SetSubSample, 0, h, 0),
    NS(Korvix_GetSubSample, -1, h),
    NS(Korvix_SetWaitTime, 0, h, 0),
    NS(Korvix_GetWaitTime, -1, h),
    NS(Korvix_SetCaptureWindow, 0, h, 1280, 1024),
    NS(Korvix_SetCaptureWindowEx, 0, h, 1280, 0, 1280, 1024, 0, 1024),
    NS(Korvix_GetCaptureWindowEx, 0, h, &g_ints[0], &g_ints[1], &g_ints[2], &g_ints[3], &g_ints[4],
       &g_ints[5]),
    NS(Korvix_SetPreviewWindow, 0, h, nullptr, 0, 0, 0, 0),
    NS(Korvix_GetStatus, 0, h),
    NS(Korvix_LoadConfigFileA, 0, h, "config.bin"),
    NS(Korvix_LoadConfigFileW, 0, h, L"config.bin"),
    NS(Korvix_SaveImage, 0, h, "frame.bmp", 0),
    NS(Korvix_SaveImageW, 0, h, L"frame.bmp", 0),
    NS(Korvix_LoadMaskFile, 0, h, "mask.msk"),
    NS(Korvix_LoadMaskFileW, 0, h, L"mask.msk"),
    NS(Korvix_SaveMaskFile, 0, h, "mask.msk"),
    NS(Korvix_SaveMaskFileW, 0, h, L"mask.msk"),
    NS(Korvix_UpdateMaskData, 0, h, 0),
    NS(Korvix_Record, 0, h, "run.avi", 100, 0),
    NS(Korvix_RecordW, 0, h, L"run.avi", 100, 0),
    NS(Korvix_SetCameraDlg, 0, h, nullptr),
    NS(Korvix_SetImageDlg, 0, h, nullptr),
    NS(Korvix_SetAnalogDlg, 0, h, nullptr),
    NS(Korvix_Fps, 0, h),
    NS(Korvix_GetHalfClock, 0, h),
    NS(Korvix_SetHalfClock, 0, h),
    NS(Korvix_SetCrossbar, 0, h),
    NS(Korvix_ReceiveText, 0, h),
    NS(Korvix_SendText, 0, h),
    NS(Korvix_GetConfigFilter, 0, h),
    NS(Korvix_SetConfigFilter, 0, h),
    NS(Korvix_GetFilterValue, 0, h, 1, ok),
    NS(Korvix_SetFilterValue, 0, h, 1, 0),
    NS(Korvix_GetBrightness, 0, h, ok),
    NS(Korvix_SetBrightness, 0, h, 0),
    NS(Korvix_GetContrast, 0, h, ok),
    NS(Korvix_SetContrast, 0, h, 0),
    NS(Korvix_GetHue, 0, h, ok),
    NS(Korvix_SetHue, 0, h, 0),
    NS(Korvix_GetSaturation, 0, h, ok),
    NS(Korvix_SetSaturation, 0, h, 0),
    NS(Korvix_GetSharpness, 0, h, ok),
    NS(Korvix_SetSharpness, 0, h, 0),
    NS(Korvix_GetBayerGainRGB, 0, h, ok),
    NS(Korvix_SetBayerGainRGB, 0, h, 0),
    NS(Korvix_GetBayerGainRed, 0, h, ok),
    NS(Korvix_SetBayerGainRed, 0, h, 100),
    NS(Korvix_GetBayerGainGreen, 0, h, ok),
    NS(Korvix_SetBayerGainGreen, 0, h, 100),
    NS(Korvix_GetBayerGainBlue, 0, h, ok),
    NS(Korvix_SetBayerGainBlue, 0, h, 100),
    NS(Korvix_GetBayerGainAuto, 0, h, ok),
    NS(Korvix_SetBayerGainAuto, 0, h, 0),
    NS(Korvix_GetGamma, 0, h, ok),
    NS(Korvix_SetGamma, 0, h, 100),
    NS(Korvix_GetBayerMode, 0, h, ok),
    NS(Korvix_SetBayerMode, 0, h, 0),
    NS(Korvix_GetGlobalGain, 0, h, ok),
    NS(Korvix_SetGlobalGain, 0, h, 0),
    NS(Korvix_GetColorGainRed, 0, h, ok),
    NS(Korvix_SetColorGainRed, 0, h, 0),
    NS(Korvix_GetColorGainGreen1, 0, h, ok),
    NS(Korvix_SetColorGainGreen1, 0, h, 0),
    NS(Korvix_GetColorGainGreen2, 0, h, ok),
    NS(Korvix_SetColorGainGreen2, 0, h, 0),
    NS(Korvix_GetColorGainBlue, 0, h, ok),
    NS(Korvix_SetColorGainBlue, 0, h, 0),
    NS(Korvix_GetExposureTime, 0, h, ok),
    NS(Korvix_SetExposureTime, 0, h, 100),
    NS(Korvix_GetGrayMode, 0, h, ok),
    NS(Korvix_SetGrayMode, 0, h, 0),
    NS(Korvix_GetGrayGainR, 0, h, ok),
    NS(Korvix_SetGrayGainR, 0, h, 0),
    NS(Korvix_GetGrayGainG1, 0, h, ok),
    NS(Korvix_SetGrayGainG1, 0, h, 0),
    NS(Korvix_GetGrayGainG2, 0, h, ok),
    NS(Korvix_SetGrayGainG2, 0, h, 0),
    NS(Korvix_GetGrayGainB, 0, h, ok),
    NS(Korvix_SetGrayGainB, 0, h, 0),
    NS(Korvix_GetGrayOffsetR, 0, h, ok),
    NS(Korvix_SetGrayOffsetR, 0, h, 0),
    NS(Korvix_GetGrayOffsetG1, 0, h, ok),
    NS(Korvix_SetGrayOffsetG1, 0, h, 0),
    NS(Korvix_GetGrayOffsetG2, 0, h, ok),
    NS(Korvix_SetGrayOffsetG2, 0, h, 0),
    NS(Korvix_GetGrayOffsetB, 0, h, ok),
    NS(Korvix_SetGrayOffsetB, 0, h, 0),
    NS(Korvix_GetPeltier, 0, h, ok),
    NS(Korvix_SetPeltier, 0, h, 0),
    NS(Korvix_GetTemperature, 0, h, ok),
    NS(Korvix_GetDotFilter, 0, h, ok),
    NS(Korvix_SetDotFilter, 0, h, 0),
    NS(Korvix_GetMaskFilter, 0, h, ok),
    NS(Korvix_SetMaskFilter, 0, h, 0),
    NS(Korvix_GetChannelGain, 0, h, 1, ok),
    NS(Korvix_SetChannelGain, 0, h, 1, 0),
    NS(Korvix_GetChannelOffset, 0, h, 1, ok),
    NS(Korvix_SetChannelOffset, 0, h, 1, 0),
    NS(Korvix_GetExposureTimeEx, 0.0, h, ok),
    NS(Korvix_SetExposureTimeEx, 0, h, 0.01),
    NS(Korvix_GetRealExposureTime, 0, h, ok),
    NS(Korvix_SetRealExposureTime, 0, h, 10000),
    NS(Korvix_GetMirrorH, 0, h),
    NS(Korvix_GetMirrorV, 0, h),
    NS(Korvix_SetMirrorH, 0, h, 1),
    NS(Korvix_SetMirrorV, 0, h, 1),
    NS(Korvix_GetAutoIris, 0, h, ok),
    NS(Korvix_SetAutoIris, 0, h, 1),
    NS(Korvix_GetTemperatureEx, 0.0, h, ok),
    NS(Korvix_GetInternalCorrection, 0, h, ok),
    NS(Korvix_SetInternalCorrection, 0, h, 1),
    NS(Korvix_GetSamplingRate, 0, h, ok),
    NS(Korvix_GetVideoFormat, 0, h, ok),
    NS(Korvix_SetSamplingRate, 0, h, 1),
    NS(Korvix_GetIOPort, 0, h, g_bytes),
    NS(Korvix_SetIOPort, 0, h, 1),
    NS(Korvix_Fpga_ReadRegister, 0, h, 0x10, ok),
    NS(Korvix_Fpga_WriteRegister, 0, h, 0x10, 0),
    NS(Korvix_ReadRegister, 0, h, 0x10, ok),
    NS(Korvix_ReadRegisterEx, 0, h, 0x3000, ok),
    NS(Korvix_WriteRegister, 0, h, 0x10, 0),
    NS(Korvix_WriteRegisterEx, 0, h, 0x3000, 0),
};
#undef NS

// Bad arguments to a session whose one camera (IMX990, identity text "AB") is selected and
// has delivered a frame in 8-bit gray.
#define ROW(name, expression, result, ok, ...) \
    Row {                                      \
        name, CALL(expression), result, ok, {  \
            __VA_ARGS__                        \
        }                                      \
    }
const Row kBadArguments[] = {
    // Device selection and identity.
    ROW("EnumDevice null table", Korvix_EnumDevice(h, nullptr), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("EnumDeviceW null table", Korvix_EnumDeviceW(h, nullptr), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetDeviceNumber -1", Korvix_SetDeviceNumber(h, -1), 0, kUntouched, Rec(CAMERR_OPEN)),
    ROW("SetDeviceNumber 32", Korvix_SetDeviceNumber(h, 32), 0, kUntouched, Rec(CAMERR_OPEN)),
    ROW("SetDeviceNumber INT_MIN", Korvix_SetDeviceNumber(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_OPEN)),
    ROW("SetDeviceNumber absent 5", Korvix_SetDeviceNumber(h, 5), 0, kUntouched, Rec(CAMERR_OPEN)),
    ROW("GetDeviceName null", Korvix_GetDeviceName(h, 0, nullptr, 17), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("GetDeviceName 16 bytes", Korvix_GetDeviceName(h, 0, g_text, 16), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("GetDeviceName size -1", Korvix_GetDeviceName(h, 0, g_text, -1), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("GetDeviceName number -1", Korvix_GetDeviceName(h, -1, g_text, 64), 0, kUntouched,
        Rec(CAMERR_OPEN)),
    ROW("GetDeviceName number INT_MAX", Korvix_GetDeviceName(h, INT_MAX, g_text, 64), 0, kUntouched,
        Rec(CAMERR_OPEN)),
    ROW("GetDeviceNameW null", Korvix_GetDeviceNameW(h, 0, nullptr, 17), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("GetDeviceNameW 16 characters", Korvix_GetDeviceNameW(h, 0, g_wide, 16), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("GetDeviceNameW size INT_MIN", Korvix_GetDeviceNameW(h, 0, g_wide, INT_MIN), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("GetDeviceNameW number 32", Korvix_GetDeviceNameW(h, 32, g_wide, 64), 0, kUntouched,
        Rec(CAMERR_OPEN)),
    ROW("GetCameraInfo null", Korvix_GetCameraInfo(h, nullptr), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("ReadSerialNumberA null", Korvix_ReadSerialNumberA(h, nullptr, 32), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("ReadSerialNumberA 31 bytes", Korvix_ReadSerialNumberA(h, g_text, 31), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("ReadSerialNumberA size INT_MIN", Korvix_ReadSerialNumberA(h, g_text, INT_MIN), 0,
        kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("ReadSerialNumberW null", Korvix_ReadSerialNumberW(h, nullptr, 32), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("ReadSerialNumberW 2 characters for AB", Korvix_ReadSerialNumberW(h, g_wide, 2), 0,
        kUntouched, Rec(CAMERR_FAILED)),
    ROW("ReadSerialNumberW size -1", Korvix_ReadSerialNumberW(h, g_wide, -1), 0, kUntouched,
        Rec(CAMERR_FAILED)),

    // Frames: null, short and negative buffers.
    // A snapshot without a buffer takes a frame for Korvix_GetImage.
    ROW("SnapShot null", Korvix_SnapShot(h, nullptr, kFullFrameBytes, 1), 1, kUntouched),
    ROW("SnapShot size -1", Korvix_SnapShot(h, g_bytes, -1, 1), 0, kUntouched, Rec(CAMERR_MEMORY),
        Rec(CAMERR_MEMORY)),
    ROW("SnapShot size INT_MIN", Korvix_SnapShot(h, g_bytes, INT_MIN, 0), 0, kUntouched,
        Rec(CAMERR_MEMORY), Rec(CAMERR_MEMORY)),
    ROW("GetImage null", Korvix_GetImage(h, nullptr, kFullFrameBytes, 1), 0, kUntouched,
        Rec(CAMERR_MEMORY)),
    ROW("GetImage one byte short", Korvix_GetImage(h, g_bytes, kFullFrameBytes - 1, 0), 0,
        kUntouched, Rec(CAMERR_MEMORY), Rec(CAMERR_MEMORY)),
    ROW("GetImage size -1", Korvix_GetImage(h, g_bytes, -1, 1), 0, kUntouched, Rec(CAMERR_MEMORY),
        Rec(CAMERR_MEMORY)),
    ROW("SetColorMode 0", Korvix_SetColorMode(h, 0), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetColorMode 12", Korvix_SetColorMode(h, 12), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetColorMode -8", Korvix_SetColorMode(h, -8), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetColorMode INT_MAX", Korvix_SetColorMode(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetSubSample 2", Korvix_SetSubSample(h, 2), 0, kUntouched),
    ROW("SetSubSample -1", Korvix_SetSubSample(h, -1), 0, kUntouched),
    ROW("SetWaitTime -1", Korvix_SetWaitTime(h, -1), 0, kUntouched),
    ROW("SetWaitTime INT_MIN", Korvix_SetWaitTime(h, INT_MIN), 0, kUntouched),
    ROW("SetCaptureWindow 0 x 0", Korvix_SetCaptureWindow(h, 0, 0), 0, kUntouched,
        Rec(CAMERR_WINDOW)),
    ROW("SetCaptureWindow -1 x -1", Korvix_SetCaptureWindow(h, -1, -1), 0, kUntouched,
        Rec(CAMERR_WINDOW)),
    ROW("SetCaptureWindow INT_MAX x INT_MIN", Korvix_SetCaptureWindow(h, INT_MAX, INT_MIN), 0,
        kUntouched, Rec(CAMERR_WINDOW)),
    ROW("GetCaptureWindowEx all null",
        Korvix_GetCaptureWindowEx(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1,
        kUntouched),

    // Files and names.
    ROW("LoadConfigFileA null", Korvix_LoadConfigFileA(h, nullptr), 0, kUntouched),
    ROW("LoadConfigFileA empty", Korvix_LoadConfigFileA(h, ""), 0, kUntouched),
    ROW("LoadConfigFileA 5000 characters", Korvix_LoadConfigFileA(h, g_longName.c_str()), 0,
        kUntouched),
    ROW("LoadConfigFileW null", Korvix_LoadConfigFileW(h, nullptr), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("LoadConfigFileW lone surrogate", Korvix_LoadConfigFileW(h, g_surrogate), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("LoadConfigFileW beyond Unicode", Korvix_LoadConfigFileW(h, g_beyondUnicode), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("LoadConfigFileW 1100 characters", Korvix_LoadConfigFileW(h, g_longWide.c_str()), 0,
        kUntouched, Rec(CAMERR_FAILED)),
    ROW("SaveImage null", Korvix_SaveImage(h, nullptr, 0), 0, kUntouched),
    ROW("SaveImage empty", Korvix_SaveImage(h, "", 0), 0, kUntouched),
    ROW("SaveImage 5000 characters", Korvix_SaveImage(h, g_longName.c_str(), 0), 0, kUntouched),
    ROW("SaveImage type 7", Korvix_SaveImage(h, "frame.bmp", 7), 0, kUntouched),
    ROW("SaveImage type -1", Korvix_SaveImage(h, "frame.bmp", -1), 0, kUntouched),
    ROW("SaveImageW null", Korvix_SaveImageW(h, nullptr, 0), 0, kUntouched, Rec(CAMERR_FAILED)),
    ROW("SaveImageW lone surrogate", Korvix_SaveImageW(h, g_surrogate, 0), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("SaveImageW 1100 characters", Korvix_SaveImageW(h, g_longWide.c_str(), 0), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("LoadMaskFile null", Korvix_LoadMaskFile(h, nullptr), 0, kUntouched, Rec(CAMERR_MASK_FILE)),
    ROW("LoadMaskFile empty", Korvix_LoadMaskFile(h, ""), 0, kUntouched, Rec(CAMERR_MASK_FILE)),
    ROW("LoadMaskFile 5000 characters", Korvix_LoadMaskFile(h, g_longName.c_str()), 0, kUntouched,
        Rec(CAMERR_MASK_FILE)),
    ROW("LoadMaskFileW null", Korvix_LoadMaskFileW(h, nullptr), 0, kUntouched, Rec(CAMERR_FAILED)),
    ROW("LoadMaskFileW beyond Unicode", Korvix_LoadMaskFileW(h, g_beyondUnicode), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("SaveMaskFile null", Korvix_SaveMaskFile(h, nullptr), 0, kUntouched, Rec(CAMERR_MASK_FILE)),
    ROW("SaveMaskFile empty", Korvix_SaveMaskFile(h, ""), 0, kUntouched, Rec(CAMERR_MASK_FILE)),
    ROW("SaveMaskFile missing folder", Korvix_SaveMaskFile(h, "no-such-folder/mask.msk"), 0,
        kUntouched, Rec(CAMERR_MASK_FILE)),
    ROW("SaveMaskFileW null", Korvix_SaveMaskFileW(h, nullptr), 0, kUntouched, Rec(CAMERR_FAILED)),
    ROW("SaveMaskFileW 1100 characters", Korvix_SaveMaskFileW(h, g_longWide.c_str()), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("UpdateMaskData 2", Korvix_UpdateMaskData(h, 2), 0, kUntouched, Rec(CAMERR_FAILED)),
    ROW("UpdateMaskData INT_MIN", Korvix_UpdateMaskData(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_FAILED)),
    ROW("Record null", Korvix_Record(h, nullptr, 100, 0), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("Record empty", Korvix_Record(h, "", 100, 0), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("Record duration -1", Korvix_Record(h, "run.avi", -1, 0), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("Record duration INT_MIN", Korvix_Record(h, "run.avi", INT_MIN, 0), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("RecordW null", Korvix_RecordW(h, nullptr, 100, 0), 0, kUntouched, Rec(CAMERR_FAILED)),
    ROW("RecordW empty", Korvix_RecordW(h, L"", 100, 0), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("RecordW lone surrogate", Korvix_RecordW(h, g_surrogate, 100, 0), 0, kUntouched,
        Rec(CAMERR_FAILED)),

    // Settings by id and the named settings at the ends of int.
    ROW("GetFilterValue id 0", Korvix_GetFilterValue(h, 0, ok), 0, 0, Rec(CAMERR_PARAMETER)),
    ROW("GetFilterValue id -1", Korvix_GetFilterValue(h, -1, ok), 0, 0, Rec(CAMERR_PARAMETER)),
    ROW("GetFilterValue id 107", Korvix_GetFilterValue(h, 107, ok), 0, 0, Rec(CAMERR_PARAMETER)),
    ROW("GetFilterValue id INT_MIN", Korvix_GetFilterValue(h, INT_MIN, ok), 0, 0,
        Rec(CAMERR_PARAMETER)),
    ROW("GetFilterValue id INT_MAX null ok", Korvix_GetFilterValue(h, INT_MAX, nullptr), 0,
        kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetFilterValue id 0", Korvix_SetFilterValue(h, 0, 0), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetFilterValue id INT_MIN", Korvix_SetFilterValue(h, INT_MIN, 1), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetFilterValue id 101", Korvix_SetFilterValue(h, 101, 1), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetBrightness INT_MIN", Korvix_SetBrightness(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetContrast INT_MAX", Korvix_SetContrast(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetHue INT_MIN", Korvix_SetHue(h, INT_MIN), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetSaturation INT_MAX", Korvix_SetSaturation(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetSharpness -1", Korvix_SetSharpness(h, -1), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetBayerGainRed INT_MIN", Korvix_SetBayerGainRed(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetBayerGainGreen INT_MAX", Korvix_SetBayerGainGreen(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetBayerGainBlue -1", Korvix_SetBayerGainBlue(h, -1), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGamma INT_MIN", Korvix_SetGamma(h, INT_MIN), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetBayerMode INT_MAX", Korvix_SetBayerMode(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGlobalGain INT_MIN", Korvix_SetGlobalGain(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGlobalGain INT_MAX", Korvix_SetGlobalGain(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetColorGainRed INT_MIN", Korvix_SetColorGainRed(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetColorGainGreen1 INT_MAX", Korvix_SetColorGainGreen1(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetColorGainGreen2 -1", Korvix_SetColorGainGreen2(h, -1), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetColorGainBlue INT_MIN", Korvix_SetColorGainBlue(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTime INT_MIN", Korvix_SetExposureTime(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTime -1", Korvix_SetExposureTime(h, -1), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTime INT_MAX", Korvix_SetExposureTime(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayMode -1", Korvix_SetGrayMode(h, -1), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetGrayGainR INT_MAX", Korvix_SetGrayGainR(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayGainG1 -1", Korvix_SetGrayGainG1(h, -1), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetGrayGainG2 256", Korvix_SetGrayGainG2(h, 256), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetGrayGainB INT_MIN", Korvix_SetGrayGainB(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayOffsetR INT_MIN", Korvix_SetGrayOffsetR(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayOffsetG1 INT_MAX", Korvix_SetGrayOffsetG1(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayOffsetG2 256", Korvix_SetGrayOffsetG2(h, 256), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetGrayOffsetB -256", Korvix_SetGrayOffsetB(h, -256), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetPeltier without a cooler", Korvix_SetPeltier(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_NOT_SUPPORTED)),
    ROW("GetPeltier without a cooler", Korvix_GetPeltier(h, ok), -1, 0, Rec(CAMERR_NOT_SUPPORTED)),
    ROW("GetTemperature", Korvix_GetTemperature(h, ok), -1, 0, Rec(CAMERR_NOT_SUPPORTED)),
    ROW("SetDotFilter 2", Korvix_SetDotFilter(h, 2), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetMaskFilter -1", Korvix_SetMaskFilter(h, -1), 0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("GetChannelGain channel 1", Korvix_GetChannelGain(h, 1, ok), 0, 0, Rec(CAMERR_PARAMETER)),
    ROW("GetChannelGain channel INT_MIN", Korvix_GetChannelGain(h, INT_MIN, ok), 0, kUntouched),
    ROW("SetChannelGain channel 0", Korvix_SetChannelGain(h, 0, 1), 0, kUntouched),
    ROW("GetChannelOffset channel 5", Korvix_GetChannelOffset(h, 5, ok), 0, kUntouched),
    ROW("SetChannelOffset channel 4", Korvix_SetChannelOffset(h, 4, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),

    // Other camera settings.
    ROW("SetExposureTimeEx NaN", Korvix_SetExposureTimeEx(h, NAN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTimeEx infinity", Korvix_SetExposureTimeEx(h, INFINITY), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTimeEx -1 s", Korvix_SetExposureTimeEx(h, -1.0), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetExposureTimeEx DBL_MAX", Korvix_SetExposureTimeEx(h, DBL_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetRealExposureTime INT_MIN", Korvix_SetRealExposureTime(h, INT_MIN), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetRealExposureTime INT_MAX", Korvix_SetRealExposureTime(h, INT_MAX), 0, kUntouched,
        Rec(CAMERR_PARAMETER)),
    ROW("SetAutoIris 3", Korvix_SetAutoIris(h, 3), 0, kUntouched, Ann(CAMERR_PARAMETER)),
    ROW("SetAutoIris INT_MIN", Korvix_SetAutoIris(h, INT_MIN), 0, kUntouched,
        Ann(CAMERR_PARAMETER)),
    ROW("GetInternalCorrection without the feature", Korvix_GetInternalCorrection(h, ok), 0, 0,
        Ann(CAMERR_NOT_SUPPORTED)),
    ROW("SetInternalCorrection without the feature", Korvix_SetInternalCorrection(h, INT_MIN), 0,
        kUntouched, Ann(CAMERR_NOT_SUPPORTED)),
    ROW("GetSamplingRate null", Korvix_GetSamplingRate(h, nullptr), 0, kUntouched),
    ROW("GetVideoFormat null", Korvix_GetVideoFormat(h, nullptr), 0, kUntouched),
    ROW("GetSamplingRate writes 0", Korvix_GetSamplingRate(h, ok), 0, 0),
    ROW("SetSamplingRate INT_MIN", Korvix_SetSamplingRate(h, INT_MIN), 0, kUntouched),
    ROW("GetIOPort null", Korvix_GetIOPort(h, nullptr), 0, kUntouched, Ann(CAMERR_PARAMETER)),

    // The capture window last: refused windows are stored.
    // This camera takes only the full width (1280): another is refused and not stored; a
    // window outside the sensor is stored and refused.
    ROW("SetCaptureWindowEx width 1281", Korvix_SetCaptureWindowEx(h, 1280, 0, 1281, 1024, 0, 1024),
        0, kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetCaptureWindowEx all -1", Korvix_SetCaptureWindowEx(h, -1, -1, -1, -1, -1, -1), 0,
        kUntouched, Rec(CAMERR_PARAMETER)),
    ROW("SetCaptureWindowEx column start 1",
        Korvix_SetCaptureWindowEx(h, 1280, 1, 1280, 1024, 0, 1024), 0, kUntouched,
        Rec(CAMERR_CAPTURE_WINDOW)),
    ROW("SetCaptureWindowEx column start INT_MAX",
        Korvix_SetCaptureWindowEx(h, 1280, INT_MAX, 1280, 1024, 0, 1024), 0, kUntouched,
        Rec(CAMERR_CAPTURE_WINDOW)),
    ROW("SetCaptureWindowEx row start INT_MAX",
        Korvix_SetCaptureWindowEx(h, 1280, 0, 1280, 1024, INT_MAX, 1024), 0, kUntouched,
        Rec(CAMERR_CAPTURE_WINDOW)),
    ROW("SetCaptureWindowEx height INT_MIN",
        Korvix_SetCaptureWindowEx(h, 1280, 0, 1280, 1024, 0, INT_MIN), 0, kUntouched,
        Rec(CAMERR_CAPTURE_WINDOW)),
    ROW("SetCaptureWindowEx starts INT_MIN",
        Korvix_SetCaptureWindowEx(h, 1280, INT_MIN, 1280, 1024, INT_MIN, 1024), 0, kUntouched,
        Rec(CAMERR_CAPTURE_WINDOW)),
    ROW("SnapShot of a refused window", Korvix_SnapShot(h, g_bytes, sizeof g_bytes, 1), 0,
        kUntouched, Rec(CAMERR_CAPTURE_WINDOW)),
};

// Without a camera: what needs one fails with its code, and nothing reaches for a device.
const Row kWithoutCamera[] = {
    ROW("SetDeviceNumber 0", Korvix_SetDeviceNumber(h, 0), 0, kUntouched, Rec(CAMERR_OPEN)),
    ROW("Capture", Korvix_Capture(h), 0, kUntouched, Rec(CAMERR_OPEN)),
    ROW("SnapShot", Korvix_SnapShot(h, g_bytes, sizeof g_bytes, 1), 0, kUntouched,
        Rec(CAMERR_OPEN)),
    ROW("GetImage before any frame", Korvix_GetImage(h, g_bytes, sizeof g_bytes, 1), 0, kUntouched,
        Rec(CAMERR_MEMORY)),
    ROW("SaveImage before any frame", Korvix_SaveImage(h, "frame.bmp", 0), 0, kUntouched,
        Rec(CAMERR_NOT_READY)),
    ROW("ReadSromID", Korvix_ReadSromID(h, 0, ok), 0, 0, Ann(CAMERR_NOT_READY)),
    ROW("WriteSromID", Korvix_WriteSromID(h, 0, 0), 0, kUntouched, Ann(CAMERR_NOT_READY)),
    ROW("ReadSerialNumberA", Korvix_ReadSerialNumberA(h, g_text, 32), 0, kUntouched),
    ROW("GetIOPort", Korvix_GetIOPort(h, g_bytes), 0, kUntouched, Ann(CAMERR_PARAMETER)),
    ROW("Fpga_ReadRegister", Korvix_Fpga_ReadRegister(h, 0, ok), 0, 0, Rec(CAMERR_IO)),
    ROW("Fpga_WriteRegister", Korvix_Fpga_WriteRegister(h, 0x10, 1), 0, kUntouched, Rec(CAMERR_IO)),
    ROW("ReadRegister", Korvix_ReadRegister(h, 0, ok), 0, 0, Rec(CAMERR_IO)),
    ROW("WriteRegister", Korvix_WriteRegister(h, 0, 0), 0, kUntouched, Rec(CAMERR_IO)),
    ROW("SetCameraDlg", Korvix_SetCameraDlg(h, nullptr), 0, kUntouched, Rec(CAMERR_NOT_READY)),
    ROW("SetImageDlg", Korvix_SetImageDlg(h, nullptr), 0, kUntouched, Rec(CAMERR_NOT_READY)),
    ROW("SetAnalogDlg", Korvix_SetAnalogDlg(h, nullptr), 0, kUntouched, Rec(CAMERR_NOT_READY)),
};
#undef ROW
#undef CALL

class SystemBadArguments : public SimulatedCamerasTest {
  protected:
    // The session under test posts to the kRowTag window; the marker session posts the one
    // message it posts, CAMERR_NOT_SUPPORTED from Korvix_Fps, to the kMarkerTag window.
    // The marker session is made before the cameras are plugged in, so it holds none.
    void Start(const std::string &cameras) {
        UseCameras("");
        marker_ = NewHandle(inbox_.Window(kMarkerTag));
        UseCameras(cameras);
        handle_ = NewHandle(inbox_.Window(kRowTag));
        Settle();
        Errors(handle_);
    }

    // Messages arrive in posting order on one thread: once the marker posted after a call
    // has arrived, every message of the call has. Returns the codes posted since the last
    // settle, in order (any window but the marker's).
    std::vector<int> Settle() {
        Korvix_Fps(marker_);
        ++markers_;
        const auto all =
            inbox_.WaitUntil([&](const auto &messages) { return Markers(messages) >= markers_; });
        std::vector<int> posted;
        size_t seen = 0;
        for (; consumed_ < all.size() && seen < 1; ++consumed_) {
            const auto &m = all[consumed_];
            if (IsMarker(m)) {
                ++seen;
            } else if (m.message == WM_CAMERA_ERROR) {
                posted.push_back(static_cast<int>(m.lParam));
            }
        }
        return posted;
    }

    void Run(const Row &row) {
        SCOPED_TRACE(row.name);
        int ok = kUntouched;
        const double result = row.call(handle_, &ok);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(ok, row.ok);
        std::vector<int> posted, recorded;
        for (const Code &code : row.codes) {
            posted.push_back(code.value);
            if (code.recorded) recorded.insert(recorded.begin(), code.value);
        }
        EXPECT_EQ(Settle(), posted) << "codes posted to the window";
        EXPECT_EQ(Errors(handle_), recorded) << "codes recorded, newest first";
    }

    bool IsMarker(const MessageInbox::Message &m) {
        return m.window == inbox_.Window(kMarkerTag) && m.message == WM_CAMERA_ERROR &&
               m.lParam == CAMERR_NOT_SUPPORTED;
    }
    size_t Markers(const std::vector<MessageInbox::Message> &messages) {
        size_t count = 0;
        for (const auto &m : messages) count += IsMarker(m);
        return count;
    }

    MessageInbox inbox_;
    int marker_ = 0;
    int handle_ = 0;
    size_t markers_ = 0;
    size_t consumed_ = 0;
};

TEST_F(SystemBadArguments, TheTableNamesEveryExportOnce) {
    std::set<std::string> names;
    for (const NoSessionRow &row : kEveryExport)
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
    EXPECT_EQ(names.size(), 149u);
}

// A released handle: every export returns its no-session value at once, touches no `ok`,
// posts nothing and records nothing in the live session beside it.
TEST_F(SystemBadArguments, ReleasedHandleGetsTheNoSessionValueFromEveryExport) {
    Start("");
    const int colorMode = Korvix_GetColorMode(handle_);
    const int released = Korvix_Initialize(inbox_.Window(kRowTag));
    ASSERT_EQ(Korvix_Release(released), 1);
    Settle();
    for (const NoSessionRow &row : kEveryExport) {
        SCOPED_TRACE(row.name);
        int ok = kUntouched;
        EXPECT_EQ(row.call(released, &ok), row.result);
        EXPECT_EQ(ok, kUntouched);
        EXPECT_EQ(Settle(), std::vector<int>{});
    }
    EXPECT_EQ(Errors(handle_), std::vector<int>{});
    EXPECT_EQ(Korvix_GetColorMode(handle_), colorMode);  // the live session is unharmed
}

TEST_F(SystemBadArguments, SelectedCameraRefusesBadArgumentsWithTheirCodes) {
    Start("imx990:serial=AB");
    ASSERT_EQ(Korvix_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Korvix_SetColorMode(handle_, 8), 1);
    ASSERT_EQ(Korvix_SnapShot(handle_, g_bytes, kFullFrameBytes, 1), 1);
    ASSERT_EQ(Settle(), std::vector<int>{});
    for (const Row &row : kBadArguments) Run(row);
}

// The record of the camera information is written up to its stated size and no further:
// a caller's allocation of exactly 36 bytes is enough.
TEST_F(SystemBadArguments, CameraInfoOfThirtySixBytesIsWrittenWithinThem) {
    Start("imx990");
    struct SizeCase {
        int32_t size;
        int result;
        std::vector<int> codes;
    };
    const SizeCase cases[] = {{35, 0, {CAMERR_MEMORY}},
                              {-1, 0, {CAMERR_MEMORY}},
                              {INT_MIN, 0, {CAMERR_MEMORY}},
                              {36, 1, {}}};
    for (const SizeCase &c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<unsigned char> record(36);
        std::memcpy(record.data(), &c.size, sizeof c.size);
        EXPECT_EQ(
            Korvix_GetCameraInfo(handle_, reinterpret_cast<KorvixCameraInfo *>(record.data())),
            c.result);
        EXPECT_EQ(Errors(handle_), c.codes);
    }
}

TEST_F(SystemBadArguments, WithoutACameraEveryDeviceCallFails) {
    Start("");
    for (const Row &row : kWithoutCamera) Run(row);
}

}  // namespace
}  // namespace korvix::test
