// The three settings dialogs shown by the GTK host through the exported functions, against
// a simulated camera on a private X server: pictures of each in English and Japanese for
// a person to look at, and one user action travelling from a real widget to the setting.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// Before Xlib, whose macros (None, ...) would rename the simulator's names.
#include "system/SimulatedCameras.h"

#include "GtkTestSupport.h"
#include "X11TestSupport.h"

namespace korvix::test {
namespace {

class DialogsGtk : public SimulatedCamerasTest {
  protected:
    void SetUp() override {
        if (display_.display == nullptr) GTEST_SKIP() << "no X server";
        UseCameras("imx990");
        handle_ = NewHandle();
    }

    // The locale the dialogs take their language from.
    static void UseLanguage(const std::string &locale) {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", locale.c_str(), 1);
    }

    TestConnection display_;
    int handle_ = 0;
};

// What a watcher saw of one dialog, keyed by picture name: whether the picture was written
// and how many glyphs of its texts no font could draw.
struct Pictures {
    std::map<std::string, bool> written;
    std::map<std::string, int> missingGlyphs;

    void Take(GtkWidget *window, const std::string &name) {
        written[name] = SavePicture(window, ScreenshotDirectory() / (name + ".png"));
        missingGlyphs[name] = MissingGlyphs(window);
    }
};

void TakePictures(const std::string &language, int handle) {
    Pictures pictures;
    std::string dialog;
    ASSERT_TRUE(WatchDialogs([&](GtkWidget *window) {
        WhenDrawn(window, [&, window] {
            pictures.Take(window, dialog + "-" + language);
            if (dialog != "image") {
                ClickFrameButton(window, 2);
                return;
            }
            // The gray filter tab too.
            gtk_notebook_set_current_page(GTK_NOTEBOOK(FindControl(window, -1, 1001)), 1);
            WhenDrawn(window, [&, window] {
                pictures.Take(window, "image-gray-" + language);
                ClickFrameButton(window, 2);
            });
        });
    }));
    dialog = "camera";
    EXPECT_EQ(Korvix_SetCameraDlg(handle, nullptr), 1);
    dialog = "image";
    EXPECT_EQ(Korvix_SetImageDlg(handle, nullptr), 1);
    dialog = "analog";
    EXPECT_EQ(Korvix_SetAnalogDlg(handle, nullptr), 1);

    for (const std::string name : {"camera", "image", "image-gray", "analog"}) {
        const std::string picture = name + "-" + language;
        EXPECT_TRUE(pictures.written[picture]) << picture;
        EXPECT_EQ(pictures.missingGlyphs[picture], 0) << picture;
    }
}

TEST_F(DialogsGtk, PicturesOfTheThreeDialogsInEnglish) {
    UseLanguage("en_US.UTF-8");
    TakePictures("en", handle_);
}

TEST_F(DialogsGtk, PicturesOfTheThreeDialogsInJapanese) {
    UseLanguage("ja_JP.UTF-8");
    TakePictures("ja", handle_);
}

TEST_F(DialogsGtk, MovingTheBrightnessSliderSetsTheBrightnessWhichOkKeeps) {
    UseLanguage("en_US.UTF-8");
    std::string editText;
    ASSERT_TRUE(WatchDialogs([&](GtkWidget *window) {
        gtk_range_set_value(GTK_RANGE(FindControl(window, 0, 2001)), 50);
        editText = gtk_entry_get_text(GTK_ENTRY(FindControl(window, 0, 2002)));
        ClickFrameButton(window, 1);
    }));
    EXPECT_EQ(Korvix_SetImageDlg(handle_, nullptr), 1);
    EXPECT_EQ(editText, "50");
    int ok = 0;
    EXPECT_EQ(Korvix_GetBrightness(handle_, &ok), 50);
    EXPECT_EQ(ok, 1);
}

}  // namespace
}  // namespace korvix::test
