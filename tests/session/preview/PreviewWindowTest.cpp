#include "session/preview/PreviewWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "PngFile.h"
#include "WindowTestSupport.h"

namespace korvix::session {
namespace {

using imaging::FrameImage;

// The six images of a session, as the workers hand them to the preview.
struct SessionImages {
    FrameImage rawImage8, rawImage16, rgbImage24, rgbImage32, rgbImage48, rgbImage64;
    PreviewSources Sources() {
        return {rawImage8, rawImage16, rgbImage24, rgbImage32, rgbImage48, rgbImage64};
    }
};

// A colour that differs in every row and column, so a flip or a shift shows.
uint32_t PatternColor(int x, int y) {
    const auto red = static_cast<uint32_t>((x * 7 + y) & 0xFF);
    const auto green = static_cast<uint32_t>((y * 5 + 3) & 0xFF);
    const auto blue = static_cast<uint32_t>((x * y + 11) & 0xFF);
    return red << 16 | green << 8 | blue;
}
uint8_t PatternGray(int x, int y) {
    return static_cast<uint8_t>((x * 3 + y * 17) & 0xFF);
}
uint32_t Gray(uint8_t level) {
    return uint32_t{level} * 0x010101u;
}

void FillGray(FrameImage &image, int width, int height) {
    ASSERT_EQ(image.Create(width, height, 8), 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.Bits()[y * image.Pitch() + x] = PatternGray(x, y);
    }
}

void FillColor(FrameImage &image, int width, int height) {
    ASSERT_EQ(image.Create(width, height, 24), 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t *pixel = image.Bits() + y * image.Pitch() + x * 3;
            const uint32_t rgb = PatternColor(x, y);
            pixel[0] = static_cast<uint8_t>(rgb);
            pixel[1] = static_cast<uint8_t>(rgb >> 8);
            pixel[2] = static_cast<uint8_t>(rgb >> 16);
        }
    }
}

// What the screen shows at (j, i) of a width x height client area for a source of
// sourceWidth x sourceHeight: nearest neighbour with 32-bit float ratios, the rows of
// the scaled image reversed into a bottom-up bitmap.
void ScaledSourcePixel(int j, int i, int width, int height, int sourceWidth, int sourceHeight,
                       int &sourceX, int &sourceY) {
    const float ratioX = static_cast<float>(sourceWidth) / static_cast<float>(width);
    const float ratioY = static_cast<float>(sourceHeight) / static_cast<float>(height);
    sourceX = std::min(static_cast<int>(static_cast<float>(j) * ratioX), sourceWidth - 1);
    const int memoryRow = height - 1 - i;
    sourceY = sourceHeight - 1 -
              std::min(static_cast<int>(static_cast<float>(memoryRow) * ratioY), sourceHeight - 1);
}

// "VideoRenderer_" followed by two groups of 8 lower-case hex digits joined by '_'.
bool IsRendererClassName(const std::string &name) {
    const std::string prefix = "VideoRenderer_";
    if (name.size() != prefix.size() + 17 || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        const bool separator = i == prefix.size() + 8;
        if (separator ? c != '_' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

TEST(SessionPreviewWindow, WantedFollowsParentAndRectangle) {
    PreviewWindow preview(nullptr);
    EXPECT_TRUE(preview.IsWanted());  // defaults: no parent, 0, 0, 1280, 1024
    EXPECT_EQ(preview.PreviewRect().right, 1280);
    EXPECT_EQ(preview.PreviewRect().bottom, 1024);
    preview.SetPreviewWindow(nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(preview.IsWanted());
    preview.SetPreviewWindow(nullptr, 0, 0, 0, 1);
    EXPECT_TRUE(preview.IsWanted());
    preview.SetPreviewWindow(platform::WindowHandleFromId(0x400001), 0, 0, 0, 0);
    EXPECT_TRUE(preview.IsWanted());
    EXPECT_EQ(preview.ParentWindow(), platform::WindowHandleFromId(0x400001));
}

TEST(SessionPreviewWindow, ClientSizeFollowsSubSampling) {
    const std::vector<std::pair<int, int>> divisors = {{0, 1},  {1, 2}, {17, 2}, {2, 4},
                                                       {18, 4}, {3, 8}, {19, 8}, {16, 1}};
    for (const auto &[mode, divisor] : divisors) {
        int32_t width = 0;
        int32_t height = 0;
        PreviewWindow::PreviewClientSize(1280, 1024, mode, width, height);
        EXPECT_EQ(width, 1280 / divisor) << "mode " << mode;
        EXPECT_EQ(height, 1024 / divisor) << "mode " << mode;
    }
}

class SessionPreviewWindowDrawn : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desktop.Available()) GTEST_SKIP() << "no display reachable";
    }

    // A shown window of the "application", parent of child previews.
    platform::WindowHandle MakeParent(int width = 640, int height = 480) {
        return desktop.MakeWindow(width, height);
    }

    // A child preview of width x height at (0, 0) of a new parent, ready to draw.
    void MakeChild(PreviewWindow &preview, int width, int height) {
        preview.SetPreviewWindow(MakeParent(), 0, 0, width, height);
        ASSERT_NE(preview.CreatePreviewWindow(1280, 1024, 0), nullptr);
        ASSERT_TRUE(preview.GetDC());
    }

    std::vector<uint32_t> Screen(const PreviewWindow &preview, int width, int height) {
        return desktop.ReadPixels(preview.Window(), width, height);
    }

    test::TestDesktop desktop;
};

// The client area has the capture size; the outer window is centred, at 0 on a screen
// smaller than it.
TEST_F(SessionPreviewWindowDrawn, DefaultTopLevelIsCentredWithTheCaptureSize) {
    const platform::ScreenSize screen = desktop.ScreenSize();
    for (const auto &[subSample, width, height] :
         std::vector<std::tuple<int, int, int>>{{0, 1280, 1024}, {1, 640, 512}}) {
        PreviewWindow preview(this);
        ASSERT_NE(preview.CreatePreviewWindow(1280, 1024, subSample), nullptr);
        const test::WindowGeometry geometry = desktop.Geometry(preview.Window());
        EXPECT_EQ(geometry.clientWidth, width);
        EXPECT_EQ(geometry.clientHeight, height);
        EXPECT_EQ(geometry.outer.left, std::max(0, (screen.width - geometry.outer.Width()) / 2));
        EXPECT_EQ(geometry.outer.top, std::max(0, (screen.height - geometry.outer.Height()) / 2));
        EXPECT_EQ(geometry.parent, nullptr);
        EXPECT_EQ(desktop.Title(preview.Window()), "Active Window");
        EXPECT_EQ(desktop.ClassName(preview.Window()), preview.WindowClassName());
    }
}

TEST_F(SessionPreviewWindowDrawn, ChildSitsAtTheRectangleOfItsParent) {
    const platform::WindowHandle parent = MakeParent();
    PreviewWindow preview(this);
    preview.SetPreviewWindow(parent, 10, 20, 320, 240);
    ASSERT_NE(preview.CreatePreviewWindow(1280, 1024, 0), nullptr);
    const test::WindowGeometry geometry = desktop.Geometry(preview.Window());
    EXPECT_EQ(geometry.parent, parent);
    EXPECT_EQ(geometry.outer.left, 10);
    EXPECT_EQ(geometry.outer.top, 20);
    EXPECT_EQ(geometry.clientWidth, 320);
    EXPECT_EQ(geometry.clientHeight, 240);
    EXPECT_EQ(desktop.Title(preview.Window()), "ActiveMovie Window");

    // Created again without removal: the same window.
    const platform::WindowHandle first = preview.Window();
    EXPECT_EQ(preview.CreatePreviewWindow(1280, 1024, 0), first);
}

TEST_F(SessionPreviewWindowDrawn, EachWindowHasAClassOfItsOwn) {
    int ownerA = 0;
    int ownerB = 0;
    PreviewWindow first(&ownerA);
    PreviewWindow second(&ownerB);
    ASSERT_NE(first.CreatePreviewWindow(64, 48, 0), nullptr);
    ASSERT_NE(second.CreatePreviewWindow(64, 48, 0), nullptr);
    EXPECT_TRUE(IsRendererClassName(first.WindowClassName())) << first.WindowClassName();
    EXPECT_TRUE(IsRendererClassName(second.WindowClassName())) << second.WindowClassName();
    EXPECT_NE(first.WindowClassName(), second.WindowClassName());
    char address[16];
    std::snprintf(address, sizeof address, "%08x",
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&ownerA)));
    EXPECT_EQ(first.WindowClassName().substr(14, 8), address);

    const std::string name = first.WindowClassName();
    EXPECT_TRUE(platform::IsWindowClassRegistered(name));
    first.DestroyPreviewWindow();
    EXPECT_EQ(first.Window(), nullptr);
    EXPECT_TRUE(platform::IsWindowClassRegistered(name));  // until the acquisition has stopped
    first.UnregisterWindowClass();
    EXPECT_FALSE(platform::IsWindowClassRegistered(name));
    EXPECT_TRUE(first.WindowClassName().empty());
}

TEST_F(SessionPreviewWindowDrawn, EqualSizesAreDrawnOneToOneTheRightWayUp) {
    constexpr int kWidth = 96;
    constexpr int kHeight = 64;
    PreviewWindow preview(this);
    MakeChild(preview, kWidth, kHeight);
    SessionImages images;
    FillGray(images.rawImage8, kWidth, kHeight);
    FillColor(images.rgbImage24, kWidth, kHeight);

    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 0));
    std::vector<uint32_t> expected;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) expected.push_back(Gray(PatternGray(x, y)));
    }
    EXPECT_EQ(Screen(preview, kWidth, kHeight), expected);

    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 2));
    expected.clear();
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) expected.push_back(PatternColor(x, y));
    }
    EXPECT_EQ(Screen(preview, kWidth, kHeight), expected);
}

TEST_F(SessionPreviewWindowDrawn, OtherSizesAreScaledTheRightWayUp) {
    constexpr int kWidth = 150;
    constexpr int kHeight = 100;
    PreviewWindow preview(this);
    MakeChild(preview, kWidth, kHeight);
    for (const auto &[sourceWidth, sourceHeight] :
         std::vector<std::pair<int, int>>{{75, 50}, {61, 43}, {320, 240}}) {
        SessionImages images;
        FillGray(images.rawImage8, sourceWidth, sourceHeight);
        FillColor(images.rgbImage24, sourceWidth, sourceHeight);
        std::vector<uint32_t> expectedGray;
        std::vector<uint32_t> expectedColor;
        for (int i = 0; i < kHeight; ++i) {
            for (int j = 0; j < kWidth; ++j) {
                int x = 0;
                int y = 0;
                ScaledSourcePixel(j, i, kWidth, kHeight, sourceWidth, sourceHeight, x, y);
                expectedGray.push_back(Gray(PatternGray(x, y)));
                expectedColor.push_back(PatternColor(x, y));
            }
        }
        ASSERT_TRUE(preview.DrawFrame(images.Sources(), 0));
        EXPECT_EQ(Screen(preview, kWidth, kHeight), expectedGray) << sourceWidth;
        ASSERT_TRUE(preview.DrawFrame(images.Sources(), 2));
        EXPECT_EQ(Screen(preview, kWidth, kHeight), expectedColor) << sourceWidth;
    }
}

TEST_F(SessionPreviewWindowDrawn, DeepImagesAreReducedBeforeDrawing) {
    constexpr int kWidth = 40;
    constexpr int kHeight = 30;
    PreviewWindow preview(this);
    MakeChild(preview, kWidth, kHeight);
    SessionImages images;
    ASSERT_EQ(images.rawImage8.Create(kWidth, kHeight, 8), 1);
    ASSERT_EQ(images.rgbImage24.Create(kWidth, kHeight, 24), 1);
    ASSERT_EQ(images.rawImage16.Create(kWidth, kHeight, 16), 1);
    ASSERT_EQ(images.rgbImage32.Create(kWidth, kHeight, 32), 1);
    ASSERT_EQ(images.rgbImage48.Create(kWidth, kHeight, 48), 1);
    ASSERT_EQ(images.rgbImage64.Create(kWidth, kHeight, 64), 1);
    std::vector<uint32_t> gray16;
    std::vector<uint32_t> color32;
    std::vector<uint32_t> color48;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto word = static_cast<uint16_t>((x * 1500 + y * 700) & 0xFFFF);
            uint8_t *sample = images.rawImage16.Bits() + y * images.rawImage16.Pitch() + x * 2;
            sample[0] = static_cast<uint8_t>(word);
            sample[1] = static_cast<uint8_t>(word >> 8);
            gray16.push_back(Gray(static_cast<uint8_t>(word >> 8)));

            const uint32_t rgb = PatternColor(x, y);
            uint8_t *pixel32 = images.rgbImage32.Bits() + y * images.rgbImage32.Pitch() + x * 4;
            pixel32[0] = static_cast<uint8_t>(rgb);
            pixel32[1] = static_cast<uint8_t>(rgb >> 8);
            pixel32[2] = static_cast<uint8_t>(rgb >> 16);
            pixel32[3] = 0x5A;
            color32.push_back(rgb);

            // 12-bit samples in 16-bit words: shown as (v >> 4) & 0xFF.
            for (FrameImage *deep : {&images.rgbImage48, &images.rgbImage64}) {
                uint8_t *pixel = deep->Bits() + y * deep->Pitch() + x * deep->BytesPerPixel();
                const uint16_t words[3] = {static_cast<uint16_t>((rgb & 0xFF) << 4 | 0xF),
                                           static_cast<uint16_t>((rgb >> 8 & 0xFF) << 4),
                                           static_cast<uint16_t>((rgb >> 16 & 0xFF) << 4 | 0x7)};
                for (int c = 0; c < 3; ++c) {
                    pixel[c * 2] = static_cast<uint8_t>(words[c]);
                    pixel[c * 2 + 1] = static_cast<uint8_t>(words[c] >> 8);
                }
            }
            color48.push_back(rgb);
        }
    }
    // The 16-bit mode always goes the scaling way, also at equal size; it shows the same.
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 1));
    EXPECT_EQ(Screen(preview, kWidth, kHeight), gray16);
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 3));
    EXPECT_EQ(Screen(preview, kWidth, kHeight), color32);
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 4));
    EXPECT_EQ(Screen(preview, kWidth, kHeight), color48);
    std::fill_n(images.rgbImage24.Bits(), images.rgbImage24.SizeBytes(), 0);
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 5));
    EXPECT_EQ(Screen(preview, kWidth, kHeight), color48);

    EXPECT_FALSE(preview.DrawFrame(images.Sources(), 6));
    EXPECT_FALSE(preview.DrawFrame(images.Sources(), -1));
}

// A window scaled to 8 bits for one acquisition and to 24 bits for the next one keeps
// its client size; the display image must follow the depth, not only the size.
TEST_F(SessionPreviewWindowDrawn, DisplayImageFollowsAColourModeChange) {
    PreviewWindow preview(this);
    MakeChild(preview, 20, 10);
    SessionImages images;
    FillGray(images.rawImage8, 40, 20);
    FillColor(images.rgbImage24, 40, 20);
    ASSERT_TRUE(preview.PrepareDisplayImage(0));
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 0));
    ASSERT_TRUE(preview.PrepareDisplayImage(2));
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 2));
    std::vector<uint32_t> expected;
    for (int i = 0; i < 10; ++i) {
        for (int j = 0; j < 20; ++j) {
            int x = 0;
            int y = 0;
            ScaledSourcePixel(j, i, 20, 10, 40, 20, x, y);
            expected.push_back(PatternColor(x, y));
        }
    }
    EXPECT_EQ(Screen(preview, 20, 10), expected);
}

TEST_F(SessionPreviewWindowDrawn, HiddenOrEmptyWindowsAreNotDrawnInto) {
    PreviewWindow preview(this);
    const platform::WindowHandle parent = MakeParent();
    preview.SetPreviewWindow(parent, 0, 0, 32, 16);
    ASSERT_NE(preview.CreatePreviewWindow(1280, 1024, 0), nullptr);
    SessionImages images;
    FillGray(images.rawImage8, 32, 16);
    EXPECT_FALSE(preview.DrawFrame(images.Sources(), 0));  // no drawing context yet
    ASSERT_TRUE(preview.GetDC());
    EXPECT_TRUE(preview.DrawFrame(images.Sources(), 0));

    desktop.SetShown(parent, false);  // the child is no longer visible
    EXPECT_FALSE(preview.DrawFrame(images.Sources(), 0));
    desktop.SetShown(parent, true);
    EXPECT_TRUE(preview.DrawFrame(images.Sources(), 0));

    desktop.SetShown(preview.Window(), false);
    EXPECT_FALSE(preview.DrawFrame(images.Sources(), 0));

    // An empty image draws nothing either.
    desktop.SetShown(preview.Window(), true);
    SessionImages empty;
    EXPECT_FALSE(preview.DrawFrame(empty.Sources(), 0));

    // A child with an empty rectangle exists but is never shown or drawn into.
    PreviewWindow flat(&images);
    flat.SetPreviewWindow(parent, 5, 5, 0, 40);
    ASSERT_NE(flat.CreatePreviewWindow(1280, 1024, 0), nullptr);
    ASSERT_TRUE(flat.GetDC());
    EXPECT_FALSE(flat.DrawFrame(images.Sources(), 0));
}

TEST_F(SessionPreviewWindowDrawn, ClosedOrOrphanedWindowsStopDrawing) {
    SessionImages images;
    FillColor(images.rgbImage24, 64, 48);

    // The user closes a top-level preview.
    PreviewWindow topLevel(this);
    ASSERT_NE(topLevel.CreatePreviewWindow(64, 48, 0), nullptr);
    ASSERT_TRUE(topLevel.GetDC());
    EXPECT_TRUE(topLevel.DrawFrame(images.Sources(), 2));
    desktop.RequestClose(topLevel.Window());
    EXPECT_FALSE(topLevel.DrawFrame(images.Sources(), 2));
    EXPECT_NE(topLevel.Window(), nullptr);  // the session keeps its handle

    // The application destroys the parent of a child preview.
    const platform::WindowHandle parent = MakeParent();
    PreviewWindow child(&images);
    child.SetPreviewWindow(parent, 0, 0, 64, 48);
    ASSERT_NE(child.CreatePreviewWindow(1280, 1024, 0), nullptr);
    ASSERT_TRUE(child.GetDC());
    EXPECT_TRUE(child.DrawFrame(images.Sources(), 2));
    desktop.DestroyWindow(parent);
    EXPECT_FALSE(child.DrawFrame(images.Sources(), 2));
    child.DestroyPreviewWindow();  // harmless although the window is already gone
}

TEST_F(SessionPreviewWindowDrawn, RemovalWhileAWorkerDrawsIsSafe) {
    PreviewWindow preview(this);
    MakeChild(preview, 64, 48);
    SessionImages images;
    FillColor(images.rgbImage24, 128, 96);
    std::atomic<int> drawn{0};
    std::atomic<bool> running{true};
    std::thread worker([&] {
        // Each frame gets fresh images, as the acquisition worker's would.
        while (running.load()) {
            if (preview.DrawFrame(images.Sources(), 2)) drawn.fetch_add(1);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (drawn.load() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_GE(drawn.load(), 3);  // the worker was drawing when the window went
    preview.DestroyPreviewWindow();
    preview.UnregisterWindowClass();
    const int atRemoval = drawn.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    running.store(false);
    worker.join();
    EXPECT_LE(drawn.load(), atRemoval + 1);  // at most the frame in flight at removal
    EXPECT_FALSE(preview.DrawFrame(images.Sources(), 2));
}

// Draws a test card scaled into a preview window and saves what the server shows as a
// PNG beside the tests, for a person to look at: colour bars in the top half, a gray
// ramp below, a white bar along the top edge and a red square at the top left.
TEST_F(SessionPreviewWindowDrawn, ScreenshotOfATestCard) {
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;
    PreviewWindow preview(this);
    MakeChild(preview, kWidth, kHeight);
    SessionImages images;
    ASSERT_EQ(images.rgbImage24.Create(640, 480, 24), 1);
    const uint32_t bars[8] = {0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00,
                              0xFF00FF, 0xFF0000, 0x0000FF, 0x000000};
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            uint32_t rgb = y < 240 ? bars[x / 80] : Gray(static_cast<uint8_t>(x * 255 / 639));
            if (y < 16) rgb = 0xFFFFFF;
            if (x >= 32 && x < 96 && y >= 32 && y < 96) rgb = 0xFF0000;
            uint8_t *pixel = images.rgbImage24.Bits() + y * images.rgbImage24.Pitch() + x * 3;
            pixel[0] = static_cast<uint8_t>(rgb);
            pixel[1] = static_cast<uint8_t>(rgb >> 8);
            pixel[2] = static_cast<uint8_t>(rgb >> 16);
        }
    }
    ASSERT_TRUE(preview.DrawFrame(images.Sources(), 2));
    const std::vector<uint32_t> screen = Screen(preview, kWidth, kHeight);
    ASSERT_EQ(screen.size(), static_cast<size_t>(kWidth * kHeight));
    EXPECT_EQ(screen[2 * kWidth + 200], 0xFFFFFFu);                       // white top edge
    EXPECT_EQ(screen[30 * kWidth + 30], 0xFF0000u);                       // red square, top left
    EXPECT_EQ(screen[100 * kWidth + 45], 0xFFFF00u);                      // second bar
    EXPECT_EQ(screen[230 * kWidth + 0], 0x000000u);                       // ramp starts black
    EXPECT_EQ(screen[230 * kWidth + kWidth - 1], Gray(638 * 255 / 639));  // nearly white
    const std::filesystem::path path =
        std::filesystem::path(KORVIX_TEST_OUTPUT_DIR) / "preview_window_test_card.png";
    EXPECT_TRUE(test::WritePng(path, kWidth, kHeight, screen)) << path;
}

}  // namespace
}  // namespace korvix::session
