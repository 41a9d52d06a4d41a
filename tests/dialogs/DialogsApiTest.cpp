// The three settings dialogs through their exports against simulated cameras, with the
// scripted host playing the user.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "DialogsApiFixture.h"
#include "ScriptedHost.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
#include "platform/Registry.h"

namespace korvix::test {
namespace {

constexpr int kFrame = ScriptedDialog::kFrame;
constexpr int kOk = 1, kCancel = 2, kDefault = 3;

// An IMX990 on a store without its camera key: monochrome colour modes only with the 16-bit
// one chosen, only "Custom" sizes, the clock fixed, no free horizontal window.
TEST_F(DialogsApi, CameraDialogOfAnImx990OnAnEmptyStore) {
    const int handle = HandleOn("imx990");
    ScriptedHost host([](ScriptedDialog &dialog) {
        ScriptedControls &controls = dialog.Surface(kFrame);
        EXPECT_EQ(controls.Items(1009),
                  (std::vector<std::string>{"Monochrome 8bit", "Monochrome 12bit *"}));
        EXPECT_EQ(controls.ListSelection(1009), 1);
        EXPECT_EQ(controls.Items(1010), std::vector<std::string>{"Custom"});
        EXPECT_EQ(controls.ListText(1014, controls.ListSelection(1014)), "High(54MHz)");
        EXPECT_FALSE(controls.IsEnabled(1014));
        for (int id : {1039, 1041, 1043}) EXPECT_FALSE(controls.IsEnabled(id)) << id;
        for (int id : {1040, 1042, 1044}) EXPECT_TRUE(controls.IsEnabled(id)) << id;
        dialog.Click(kFrame, kCancel);
    });
    EXPECT_EQ(Korvix_SetCameraDlg(handle, nullptr), 1);
    EXPECT_EQ(host.DialogsShown(), 1);
}

// OK stores the choices and the session reloads them: the next acquisition uses them.
TEST_F(DialogsApi, CameraDialogOkChangesTheNextAcquisition) {
    const int handle = HandleOn("imx990");
    ScriptedHost host([](ScriptedDialog &dialog) {
        dialog.Pick(kFrame, 1009, "Monochrome 8bit");
        dialog.Type(kFrame, 1042, "512");
        dialog.Click(kFrame, kOk);
    });
    ASSERT_EQ(Korvix_SetCameraDlg(handle, nullptr), 1);
    EXPECT_EQ(Korvix_GetColorMode(handle), 8);
    EXPECT_EQ(Korvix_Height(handle), 512);
    std::vector<unsigned char> frame(1280 * 512);
    EXPECT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 0), 1);
    EXPECT_TRUE(Errors(handle).empty());
}

// The size table holds 100 entries: a 101st "Custom" size is refused in the dialog, which
// stays open and saves nothing.
TEST_F(DialogsApi, CameraDialogRefusesASizeBeyondTheHundredth) {
    const int handle = HandleOn("imx990");
    const std::string camera = "Software\\Velsor\\KorvixTesslin3T2Sdk\\Camera_00";
    for (int index = 0; index < 100; ++index) {
        char name[16];
        std::snprintf(name, sizeof name, "\\Size_%02d", index);
        auto preset = platform::RegistryKey::Create(camera + name);
        ASSERT_NE(preset, nullptr);
        ASSERT_TRUE(preset->SetDword("EV", static_cast<uint32_t>(1024 - index)));
    }
    ScriptedHost host([](ScriptedDialog &dialog) {
        ASSERT_EQ(dialog.Surface(kFrame).ListCount(1010), 101);
        dialog.Pick(kFrame, 1010, "Custom");
        dialog.Type(kFrame, 1042, "100");
        dialog.Click(kFrame, kOk);
        EXPECT_FALSE(dialog.Ended());
        ASSERT_EQ(dialog.Messages().size(), 1u);
        EXPECT_NE(dialog.Messages()[0].find("100"), std::string::npos);
        EXPECT_EQ(dialog.Surface(kFrame).ListCount(1010), 101);
        EXPECT_EQ(dialog.Surface(kFrame).Items(1010)[99], "1280 x 925");
        dialog.Click(kFrame, kCancel);
    });
    EXPECT_EQ(Korvix_SetCameraDlg(handle, nullptr), 1);
    EXPECT_FALSE(platform::RegistryKey::Exists(camera + "\\Size_100"));
}

// A monochrome mode disables the colour controls and adds the Gray Filter page.
TEST_F(DialogsApi, ImageDialogInAMonochromeMode) {
    const int handle = HandleOn("imx990");
    ASSERT_EQ(Korvix_SetColorMode(handle, 16), 1);
    ScriptedHost host([](ScriptedDialog &dialog) {
        EXPECT_EQ(dialog.Surface(kFrame).Items(1001),
                  (std::vector<std::string>{"Image Filter", "Gray Filter"}));
        ScriptedControls &image = dialog.Surface(0);
        for (int id : {2021, 2022, 2024, 2031, 2032, 2034, 2051, 2052, 2054, 2061, 2062,
                       2063, 2071, 2072, 2073, 2074, 1035, 1030, 1031, 1032, 1033}) {
            EXPECT_FALSE(image.IsEnabled(id)) << id;
        }
        for (int id : {2001, 2011, 2041, 2081}) EXPECT_TRUE(image.IsEnabled(id)) << id;
        dialog.SwitchTab(1);
        EXPECT_TRUE(dialog.PageShown(1));
        EXPECT_FALSE(dialog.PageShown(0));
        dialog.Click(kFrame, kCancel);
    });
    EXPECT_EQ(Korvix_SetImageDlg(handle, nullptr), 1);
}

// Live changes reach the session at once; Cancel restores every one of them.
TEST_F(DialogsApi, ImageDialogCancelRestoresLiveChanges) {
    const int handle = HandleOn("imx990");
    ASSERT_EQ(Korvix_SetColorMode(handle, 8), 1);
    const ImageSettings before = Session(handle).Settings().Image();
    ScriptedHost host([&](ScriptedDialog &dialog) {
        dialog.MoveSlider(0, 2001, 77);
        dialog.Type(0, 2082, "150");
        dialog.SwitchTab(1);
        dialog.MoveSlider(1, 2100, 300);
        dialog.Type(1, 2116, "-40");
        dialog.Click(1, 1047);
        dialog.Click(1, 1031);
        dialog.Click(1, 1035);
        const ImageSettings live = Session(handle).Settings().Image();
        EXPECT_EQ(live.brightness, 77);
        EXPECT_EQ(live.gamma, 150);
        EXPECT_EQ(live.grayGain[0], 300);
        EXPECT_EQ(live.grayOffset[1], -40);
        EXPECT_EQ(live.grayMode, 1);
        EXPECT_EQ(live.bayerMode, 1);
        EXPECT_EQ(live.grayOneShot, -1);
        dialog.Click(kFrame, kCancel);
    });
    ASSERT_EQ(Korvix_SetImageDlg(handle, nullptr), 1);
    const ImageSettings after = Session(handle).Settings().Image();
    EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0);
}

// Default puts the gray offsets at 128 (not 0), and OK keeps what Default set.
TEST_F(DialogsApi, ImageDialogDefaultSetsGrayOffsetsTo128) {
    const int handle = HandleOn("imx990");
    ASSERT_EQ(Korvix_SetColorMode(handle, 8), 1);
    Session(handle).Settings().UpdateImage([](ImageSettings &s) {
        for (int32_t &offset : s.grayOffset) offset = -7;
        s.brightness = 12;
    });
    ScriptedHost host([](ScriptedDialog &dialog) {
        dialog.Click(kFrame, kDefault);
        EXPECT_EQ(dialog.Surface(1).GetText(2113), "128");
        EXPECT_EQ(dialog.Surface(1).GetSliderPosition(2121), 128);
        dialog.Click(kFrame, kOk);
    });
    ASSERT_EQ(Korvix_SetImageDlg(handle, nullptr), 1);
    const ImageSettings after = Session(handle).Settings().Image();
    for (int32_t offset : after.grayOffset) EXPECT_EQ(offset, 128);
    EXPECT_EQ(after.brightness, 0);
}

// The Peltier-cooled IMX990 (second model code): cooler shown, black level and gain mode
// hidden, exposure as a time with its range 20 us to 2 sec.
TEST_F(DialogsApi, AnalogDialogOfTheCooledImx990) {
    const int handle = HandleOn("imx990c");
    ScriptedHost host([](ScriptedDialog &dialog) {
        ScriptedControls &page = dialog.Surface(0);
        EXPECT_TRUE(page.IsShown(2124));
        for (int id : {2127, 2128, 2129, 2130, 2126, 2125}) EXPECT_FALSE(page.IsShown(id)) << id;
        for (int id : {1026, 1027, 1043, 2135, 1049}) EXPECT_FALSE(page.IsShown(id)) << id;
        EXPECT_EQ(page.Items(2132), (std::vector<std::string>{"\xCE\xBCs", "ms", "sec"}));
        EXPECT_EQ(page.GetText(2133), "range: 20\xCE\xBCs - 2sec");
        dialog.Click(kFrame, kCancel);
    });
    EXPECT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);
}

// Typing a time in a unit sets it on the device at once; OK keeps it.
TEST_F(DialogsApi, AnalogDialogTakesATimeInItsUnit) {
    const int handle = HandleOn("imx990c");
    core::CKorvixU3T2Base &device = *Session(handle).Core();
    ScriptedHost host([&](ScriptedDialog &dialog) {
        dialog.Pick(0, 2132, "ms");
        dialog.Type(0, 2131, "1.5");
        double seconds = 0.0;
        ASSERT_NE(device.GetExposureTimeEx(&seconds), 0);
        EXPECT_NEAR(seconds, 0.0015, 0.0000005);
        EXPECT_EQ(dialog.Surface(0).GetText(1049), "=1.50ms");
        dialog.Click(kFrame, kOk);
    });
    ASSERT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);
    EXPECT_NEAR(Session(handle).Settings().Camera().exposureSeconds, 0.0015, 1e-12);
}

// Cancel puts gain and mirror back on the device but leaves the cooler as the dialog set it.
TEST_F(DialogsApi, AnalogDialogCancelKeepsTheNewCoolerState) {
    const int handle = HandleOn("imx990c");
    core::CKorvixU3T2Base &device = *Session(handle).Core();
    const int coolerBefore = device.GetPeltier();
    const int gainBefore = device.GetGlobalGain();
    ScriptedHost host([&](ScriptedDialog &dialog) {
        dialog.Click(0, 2124);
        dialog.MoveSlider(0, 1013, gainBefore + 40);
        dialog.Click(0, 1028);
        EXPECT_EQ(device.GetGlobalGain(), gainBefore + 40);
        dialog.Click(kFrame, kCancel);
    });
    ASSERT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);
    EXPECT_EQ(device.GetPeltier(), coolerBefore == 0 ? 1 : 0);
    EXPECT_EQ(Session(handle).Settings().Camera().cooler, coolerBefore == 0 ? 1 : 0);
    EXPECT_EQ(device.GetGlobalGain(), gainBefore);
    EXPECT_EQ(device.GetMirrorV(), 0);
}

// The automatic exposure of a frame taken on another thread reaches the open dialog's
// exposure edit through the dialog's queue, and sets the device as a user's change would.
TEST_F(DialogsApi, AnalogDialogShowsTheAutomaticExposure) {
    const int handle = HandleOn("imx990:scene=uniform:4000");
    core::CKorvixU3T2Base &device = *Session(handle).Core();
    ScriptedHost host([&](ScriptedDialog &dialog) {
        dialog.Click(0, 1037);
        const std::string shownBefore = dialog.Surface(0).GetText(1027);
        std::thread snapshot([handle] {
            std::vector<unsigned char> frame(1280 * 1024 * 2);
            EXPECT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 0), 1);
        });
        snapshot.join();
        EXPECT_EQ(dialog.Surface(0).GetText(1027), shownBefore);
        dialog.RunPosted();
        const int exposure = device.GetExposureTime();
        EXPECT_EQ(dialog.Surface(0).GetText(1027), std::to_string(exposure));
        EXPECT_EQ(dialog.Surface(0).GetSliderPosition(1026), exposure);
        EXPECT_LT(exposure, std::stoi(shownBefore));
        dialog.Click(kFrame, kOk);
    });
    ASSERT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);
    EXPECT_EQ(Session(handle).Settings().Camera().autoExposureMode, 1);
}

// Without an open camera nothing is shown.
TEST_F(DialogsApi, ExportsFailWithoutCamera) {
    using Export = int (*)(int, KorvixWindow);
    const Export exports[] = {Korvix_SetCameraDlg, Korvix_SetImageDlg, Korvix_SetAnalogDlg};
    UseCameras("");
    const int idle = NewHandle();
    for (Export open : exports) {
        EXPECT_EQ(open(idle, nullptr), 0);
        EXPECT_EQ(Errors(idle), Codes(CAMERR_NOT_READY));
    }
}

}  // namespace
}  // namespace korvix::test
