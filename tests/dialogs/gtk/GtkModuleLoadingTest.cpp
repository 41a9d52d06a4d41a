// An application that never opens a dialog never loads GTK. This test program does not
// link GTK itself, so every GTK library in the process came in with the dialog module.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"
#include "system/SimulatedCameras.h"

namespace korvix::test {
namespace {

bool GtkIsLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find("libgtk-3.so") != std::string::npos;
}

class DialogsGtkLoading : public SimulatedCamerasTest {};

TEST_F(DialogsGtkLoading, GtkArrivesWithTheFirstDialogAndNotBefore) {
    UseCameras("imx990");
    setenv("KORVIX_DIALOG_MODULE", KORVIX_TEST_DIALOG_MODULE, 1);
    const int handle = NewHandle();
    std::vector<unsigned char> frame(1280 * 1024 * 2);
    ASSERT_EQ(Korvix_SnapShot(handle, frame.data(), static_cast<int>(frame.size()), 1), 1);
    EXPECT_FALSE(GtkIsLoaded());

    // Without a display the dialog cannot be shown, but the module has been loaded to try.
    unsetenv("DISPLAY");
    EXPECT_EQ(Korvix_SetCameraDlg(handle, nullptr), 0);
    EXPECT_EQ(Errors(handle), std::vector<int>{CAMERR_WINDOW});
    EXPECT_TRUE(GtkIsLoaded());
}

}  // namespace
}  // namespace korvix::test
