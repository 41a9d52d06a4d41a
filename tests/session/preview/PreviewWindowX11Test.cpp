// What only X11 has: a display that may be missing, and a screen of another size started
// by the test.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "X11TestSupport.h"
#include "session/preview/PreviewWindow.h"

namespace korvix::session {
namespace {

using imaging::FrameImage;
using test::ScopedDisplay;

TEST(SessionPreviewWindowX11, NoDisplayFailsCleanly) {
    for (const std::optional<std::string> &display :
         {std::optional<std::string>(), std::optional<std::string>(":5999")}) {
        ScopedDisplay scoped(display);
        PreviewWindow preview(&display);
        EXPECT_EQ(preview.CreatePreviewWindow(1280, 1024, 0), nullptr);
        EXPECT_EQ(preview.Window(), nullptr);
        EXPECT_TRUE(preview.WindowClassName().empty());  // nothing stays registered
        EXPECT_FALSE(preview.GetDC());
        FrameImage rawImage8, rawImage16, rgbImage24, rgbImage32, rgbImage48, rgbImage64;
        ASSERT_EQ(rawImage8.Create(4, 4, 8), 1);
        EXPECT_FALSE(preview.DrawFrame(
            {rawImage8, rawImage16, rgbImage24, rgbImage32, rgbImage48, rgbImage64}, 0));
    }
}

TEST(SessionPreviewWindowX11, TopLevelStaysAtTheOriginOfASmallerScreen) {
    test::XvfbServer small(800, 600);
    if (!small.Started()) GTEST_SKIP() << "Xvfb is not available";
    ScopedDisplay display(small.Name());
    PreviewWindow preview(&small);
    ASSERT_NE(preview.CreatePreviewWindow(1280, 1024, 0), nullptr);
    Display *own = XOpenDisplay(small.Name().c_str());
    ASSERT_NE(own, nullptr);
    const test::Geometry geometry = test::GetGeometry(
        own, static_cast<::Window>(platform::WindowIdFromHandle(preview.Window())));
    XCloseDisplay(own);
    EXPECT_EQ(geometry.x, 0);
    EXPECT_EQ(geometry.y, 0);
    EXPECT_EQ(geometry.width, 1280u);
    EXPECT_EQ(geometry.height, 1024u);
}

}  // namespace
}  // namespace korvix::session
