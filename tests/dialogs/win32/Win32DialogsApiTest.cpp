// The three settings dialogs through their exports, shown by the Win32 host against a
// simulated IMX990: what the real logic puts into the real controls, and a user's change
// reaching the session. Windows (and Wine) only.

// Before <windows.h>: its macros (CreateWindow) would rename the library's own functions.
#include "dialogs/DialogsApiFixture.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "DialogScreenshot.h"
#include "DialogScript.h"

namespace korvix::test {
namespace {

using dialogs::GetDialogTemplate;
using dialogs::Language;
using dialogs::TemplateId;

std::vector<std::string> ListItems(HWND surface, int id) {
    std::vector<std::string> items;
    const LRESULT count = SendDlgItemMessageA(surface, id, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        char text[128] = {};
        SendDlgItemMessageA(surface, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::string Text(HWND surface, int id) {
    char text[128] = {};
    GetDlgItemTextA(surface, id, text, sizeof text);
    return text;
}

bool Shown(HWND surface, int id) {
    return (GetWindowLongA(GetDlgItem(surface, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND Page(HWND frame, TemplateId page) {
    return PageWindow(frame, GetDialogTemplate(page, Language::English));
}

TEST_F(DialogsApi, Win32CameraDialogShowsTheMonochromeModesAndTheFixedClock) {
    const int handle = HandleOn("imx990");
    DialogScript user([](HWND frame) {
        EXPECT_EQ(ListItems(frame, 1009),
                  (std::vector<std::string>{"Monochrome 8bit", "Monochrome 12bit *"}));
        EXPECT_EQ(SendDlgItemMessageA(frame, 1009, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(ListItems(frame, 1010), std::vector<std::string>{"Custom"});
        EXPECT_EQ(Text(frame, 1014), "High(54MHz)");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 1014)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 1039)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(frame, 1002)));  // Apply, until a change
        SaveDialogScreenshot(frame, "camera");
        SendDlgItemMessageA(frame, IDCANCEL, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Korvix_SetCameraDlg(handle, nullptr), 1);
    EXPECT_TRUE(user.Ran());
}

// Typing a brightness changes the session's setting at once; OK keeps it.
TEST_F(DialogsApi, Win32ImageDialogTakesATypedBrightness) {
    const int handle = HandleOn("imx990");
    ASSERT_EQ(Korvix_SetColorMode(handle, 16), 1);
    DialogScript user([&](HWND frame) {
        HWND filter = Page(frame, TemplateId::ImageFilterPage);
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(SendDlgItemMessageA(frame, 1001, TCM_GETITEMCOUNT, 0, 0), 2);
        HWND slider = GetDlgItem(filter, 2001);
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), -255);
        EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 255);
        EXPECT_EQ(Text(filter, 2002), "0");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(filter, 2021)));  // hue: a colour control
        SaveDialogScreenshot(frame, "image");
        SetDlgItemTextA(filter, 2002, "40");
        EXPECT_EQ(Session(handle).Settings().Image().brightness, 40);
        EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 40);
        SendDlgItemMessageA(frame, IDOK, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Korvix_SetImageDlg(handle, nullptr), 1);
    EXPECT_TRUE(user.Ran());
    EXPECT_EQ(Session(handle).Settings().Image().brightness, 40);
}

// The cooled IMX990: cooler shown, black level and gain mode hidden, the exposure as a time.
TEST_F(DialogsApi, Win32AnalogDialogOfTheCooledImx990) {
    const int handle = HandleOn("imx990c");
    const int gain = Session(handle).Core()->GetGlobalGain();
    DialogScript user([&](HWND frame) {
        HWND page = Page(frame, TemplateId::AnalogMonoPage);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Text(page, 1015), std::to_string(gain));
        EXPECT_TRUE(Shown(page, 2124));
        for (int id : {2128, 2129, 2130, 2126, 1026, 1027}) EXPECT_FALSE(Shown(page, id)) << id;
        EXPECT_EQ(ListItems(page, 2132).size(), 3u);
        SaveDialogScreenshot(frame, "analog");
        SendDlgItemMessageA(frame, IDCANCEL, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);
    EXPECT_TRUE(user.Ran());
}

}  // namespace
}  // namespace korvix::test
