#include <cstring>
#include <cwchar>

#include "SimulatedCameras.h"

namespace korvix::test {
namespace {

using SystemSessionDevices = SimulatedCamerasTest;

using NameTable = char[10][256];

void FillWithJunk(NameTable &names) {
    for (auto &name : names) std::memset(name, 'x', sizeof name);
}

TEST_F(SystemSessionDevices, NoCameraStillGivesAHandleAndAnEmptyList) {
    UseCameras("");
    const int handle = NewHandle();
    NameTable names;
    FillWithJunk(names);
    EXPECT_EQ(Korvix_EnumDevice(handle, names), 0);
    for (const auto &name : names) EXPECT_STREQ(name, "");
    EXPECT_EQ(Korvix_SetDeviceNumber(handle, 0), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_OPEN});
}

TEST_F(SystemSessionDevices, NamesCountPresentCamerasWhileDeviceNamesFollowTheNumber) {
    UseCameras("imx990,imx990,imx990");
    const int handle = NewHandle();  // three cameras: none selected
    ASSERT_TRUE(sim::Simulator::Instance().Unplug(1));

    NameTable names;
    FillWithJunk(names);
    EXPECT_EQ(Korvix_EnumDevice(handle, names), 2);
    EXPECT_STREQ(names[0], "KorvixTesslin_01");
    EXPECT_STREQ(names[1], "KorvixTesslin_02");
    for (int entry = 2; entry < 10; ++entry) EXPECT_STREQ(names[entry], "") << entry;

    wchar_t wideNames[10][256];
    EXPECT_EQ(Korvix_EnumDeviceW(handle, wideNames), 2);
    EXPECT_STREQ(wideNames[1], L"KorvixTesslin_02");
    EXPECT_STREQ(wideNames[2], L"");

    char name[17];
    EXPECT_EQ(Korvix_GetDeviceName(handle, 2, name, sizeof name), 1);
    EXPECT_STREQ(name, "KorvixTesslin_03");
    EXPECT_EQ(Korvix_GetDeviceName(handle, 1, name, sizeof name), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_OPEN);
    EXPECT_EQ(Korvix_SetDeviceNumber(handle, 2), 1);
    EXPECT_EQ(Korvix_SetDeviceNumber(handle, 1), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_OPEN});
}

TEST_F(SystemSessionDevices, ElevenCamerasFillTheTenNamesAndNoMore) {
    std::string list = "imx990";
    for (int i = 1; i < 11; ++i) list += ",imx990";
    UseCameras(list);
    const int handle = NewHandle();
    // One table entry more than the caller's ten, which must stay untouched.
    char names[11][256];
    std::memset(names[10], 'x', sizeof names[10]);
    EXPECT_EQ(Korvix_EnumDevice(handle, names), 10);
    EXPECT_STREQ(names[9], "KorvixTesslin_10");
    EXPECT_EQ(names[10][0], 'x');
}

TEST_F(SystemSessionDevices, DeviceNameNeedsRoomForTheWholeName) {
    UseCameras("imx990");
    const int handle = NewHandle();
    struct Case {
        int size;
        int result;
        int code;
    };
    for (const Case &c : {Case{13, 0, CAMERR_PARAMETER}, Case{16, 0, CAMERR_PARAMETER},
                          Case{17, 1, 0}}) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        EXPECT_EQ(Korvix_GetDeviceName(handle, 0, name, c.size), c.result) << c.size;
        EXPECT_EQ(Korvix_GetLastError(handle), c.code) << c.size;
        // Nothing at or past `size` is ever written.
        for (int at = c.size; at < 32; ++at) ASSERT_EQ(name[at], 'x') << c.size;
        if (c.result) {
            EXPECT_STREQ(name, "KorvixTesslin_01");
        }
    }
    EXPECT_EQ(Korvix_GetDeviceName(handle, 0, nullptr, 17), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    for (int number : {-1, 32, 1}) {
        char name[17];
        EXPECT_EQ(Korvix_GetDeviceName(handle, number, name, 17), 0);
        EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_OPEN) << number;
    }

    wchar_t wide[17];
    EXPECT_EQ(Korvix_GetDeviceNameW(handle, 0, wide, 17), 1);
    EXPECT_STREQ(wide, L"KorvixTesslin_01");
    EXPECT_EQ(Korvix_GetDeviceNameW(handle, 0, wide, 16), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_FAILED);
    // A failed lookup fails the wide call too, with the lookup's own code only.
    EXPECT_EQ(Korvix_GetDeviceNameW(handle, 1, wide, 17), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_OPEN});
}

TEST_F(SystemSessionDevices, CameraInfoFillsWhatTheRecordSizeAllows) {
    UseCameras("imx990");
    const int handle = NewHandle();  // one camera: selected at once
    for (int size : {35, 36, 56}) {
        KorvixCameraInfo info;
        std::memset(&info, 0x5A, sizeof info);
        info.size = size;
        const double untouched = info.minRealExposure;
        ASSERT_EQ(Korvix_GetCameraInfo(handle, &info), size >= 36 ? 1 : 0) << size;
        if (size < 36) {
            EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_MEMORY);
            EXPECT_EQ(info.sensorWidth, 0x5A5A5A5A);
            continue;
        }
        EXPECT_EQ(info.sensorWidth, 1280);
        EXPECT_EQ(info.sensorHeight, 1024);
        EXPECT_LT(info.minGlobalGain, info.maxGlobalGain);
        EXPECT_LT(info.minExposure, info.maxExposure);
        EXPECT_EQ(info.reserved, 0x5A5A5A5A);  // never written
        if (size == 36) {
            EXPECT_EQ(std::memcmp(&info.minRealExposure, &untouched, sizeof untouched), 0);
        } else {
            EXPECT_GT(info.minRealExposure, 0.0);
            EXPECT_LT(info.minRealExposure, info.maxRealExposure);
        }
    }
    EXPECT_EQ(Korvix_GetCameraInfo(handle, nullptr), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
}

TEST_F(SystemSessionDevices, SerialNumberIsTheIdentityText) {
    UseCameras("imx990:serial=LAB-7");
    const int handle = NewHandle();
    char serial[32];
    EXPECT_EQ(Korvix_ReadSerialNumberA(handle, serial, 31), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    EXPECT_EQ(Korvix_ReadSerialNumberA(handle, nullptr, 32), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_PARAMETER);
    ASSERT_EQ(Korvix_ReadSerialNumberA(handle, serial, sizeof serial), 1);
    EXPECT_STREQ(serial, "LAB-7");
    wchar_t wide[6];
    ASSERT_EQ(Korvix_ReadSerialNumberW(handle, wide, 6), 1);
    EXPECT_STREQ(wide, L"LAB-7");
    EXPECT_EQ(Korvix_ReadSerialNumberW(handle, wide, 5), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), CAMERR_FAILED);
}

TEST_F(SystemSessionDevices, UnreadableIdentityMemoryFailsTheWideSerialToo) {
    UseCameras("imx990");
    const int handle = NewHandle();
    Camera().InjectI2cNak(0xA2, -1);
    char serial[32] = "untouched";
    EXPECT_EQ(Korvix_ReadSerialNumberA(handle, serial, sizeof serial), 0);
    EXPECT_STREQ(serial, "untouched");
    wchar_t wide[32] = L"untouched";
    EXPECT_EQ(Korvix_ReadSerialNumberW(handle, wide, 32), 0);
    EXPECT_STREQ(wide, L"untouched");
    EXPECT_EQ(Korvix_GetLastError(handle), 0);
}

TEST_F(SystemSessionDevices, SromIdBytesAreWrittenReadBackAndAddressedBy12Bits) {
    UseCameras("imx990:serial=AB");
    const int handle = NewHandle();
    int ok = -1;
    EXPECT_EQ(Korvix_ReadSromID(handle, 0x050, &ok), 0xFF);  // erased
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Korvix_WriteSromID(handle, 0x050, 0x1234), 1);  // the low 8 bits
    EXPECT_EQ(Korvix_ReadSromID(handle, 0xF050, &ok), 0x34);   // the low 12 address bits
    EXPECT_EQ(Korvix_ReadSromID(handle, 0x050, nullptr), 0x34);
    EXPECT_EQ(Camera().SromByte(0x1040), 'A');  // 0x1040 is out of the 12-bit reach

    Camera().InjectI2cNak(0xA2, -1);
    EXPECT_EQ(Korvix_ReadSromID(handle, 0x050, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Korvix_WriteSromID(handle, 0x050, 0x56), 0);
    EXPECT_EQ(Korvix_GetLastError(handle), 0);  // announced, not recorded
}

}  // namespace
}  // namespace korvix::test
