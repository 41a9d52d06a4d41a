#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "WindowTestSupport.h"
#include "platform/window/Window.h"

namespace korvix::platform {
namespace {

constexpr const char *kClass = "PlatformWindowTestClass";

WindowDescription Described(WindowKind kind, WindowHandle parent, WindowRect rect) {
    WindowDescription description;
    description.className = kClass;
    description.title = "seam test";
    description.kind = kind;
    description.parent = parent;
    description.rect = rect;
    return description;
}

void ExpectRect(const WindowRect &actual, const WindowRect &expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

class PlatformWindowSeam : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desktop.Available()) GTEST_SKIP() << "no display reachable";
        ASSERT_TRUE(windowClass.registered);
        system = WindowSystem::Connect();
        ASSERT_NE(system, nullptr);
    }

    // A shown child of width x height at (x, y) of a new application window.
    std::unique_ptr<Window> MakeChild(int32_t x, int32_t y, int32_t width, int32_t height) {
        const WindowHandle parent = desktop.MakeWindow(200, 150);
        std::unique_ptr<Window> child = system->CreateWindow(
            Described(WindowKind::kChild, parent, {x, y, x + width, y + height}));
        if (child && !child->Show()) child.reset();
        return child;
    }

    test::TestDesktop desktop;
    test::ScopedWindowClass windowClass{kClass};
    std::unique_ptr<WindowSystem> system;
};

TEST(PlatformWindowClasses, NamesAreUniqueAndBounded) {
    EXPECT_FALSE(RegisterWindowClass(""));
    EXPECT_FALSE(RegisterWindowClass(std::string(256, 'x')));
    EXPECT_TRUE(RegisterWindowClass(std::string(255, 'x')));
    EXPECT_TRUE(UnregisterWindowClass(std::string(255, 'x')));

    ASSERT_TRUE(RegisterWindowClass("PlatformWindowClasses_A"));
    EXPECT_FALSE(RegisterWindowClass("PlatformWindowClasses_A"));
    EXPECT_TRUE(IsWindowClassRegistered("PlatformWindowClasses_A"));
    EXPECT_TRUE(UnregisterWindowClass("PlatformWindowClasses_A"));
    EXPECT_FALSE(IsWindowClassRegistered("PlatformWindowClasses_A"));
    EXPECT_FALSE(UnregisterWindowClass("PlatformWindowClasses_A"));
    EXPECT_TRUE(RegisterWindowClass("PlatformWindowClasses_A"));  // free again
    EXPECT_TRUE(UnregisterWindowClass("PlatformWindowClasses_A"));
}

// The outer rectangle made from a client rectangle gives a window with that client area,
// placed where it was asked to be.
TEST_F(PlatformWindowSeam, TopLevelWindowHasItsRectangleNamesAndClass) {
    WindowRect outer{0, 0, 200, 100};
    ASSERT_TRUE(system->AdjustWindowRect(outer, WindowKind::kTopLevel));
    const WindowRect placed{30, 40, 30 + outer.Width(), 40 + outer.Height()};
    std::unique_ptr<Window> window =
        system->CreateWindow(Described(WindowKind::kTopLevel, nullptr, placed));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Show());
    const test::WindowGeometry geometry = desktop.Geometry(window->Handle());
    ExpectRect(geometry.outer, placed);
    EXPECT_EQ(geometry.clientWidth, 200);
    EXPECT_EQ(geometry.clientHeight, 100);
    EXPECT_EQ(geometry.parent, nullptr);
    EXPECT_EQ(desktop.ClassName(window->Handle()), kClass);
    EXPECT_EQ(desktop.Title(window->Handle()), "seam test");

    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    const ClientArea area = context->QueryClientArea();
    EXPECT_TRUE(area.visible);
    EXPECT_EQ(area.width, 200);
    EXPECT_EQ(area.height, 100);
}

TEST_F(PlatformWindowSeam, CreationRefusesWhatCannotBeMade) {
    WindowDescription unregistered = Described(WindowKind::kTopLevel, nullptr, {0, 0, 10, 10});
    unregistered.className = "PlatformWindowSeam_NotRegistered";
    EXPECT_EQ(system->CreateWindow(unregistered), nullptr);

    const WindowDescription orphan = Described(WindowKind::kChild, nullptr, {0, 0, 10, 10});
    EXPECT_EQ(system->CreateWindow(orphan), nullptr);

    // A parent handle that names no window: refused, not fatal.
    WindowDescription badParent = orphan;
    badParent.parent = WindowHandleFromId(0x7FFFFFF0);
    EXPECT_EQ(system->CreateWindow(badParent), nullptr);
}

TEST_F(PlatformWindowSeam, EmptyWindowIsNeverDrawnInto) {
    std::unique_ptr<Window> child = MakeChild(5, 5, 0, 40);
    ASSERT_NE(child, nullptr);
    std::unique_ptr<DrawingContext> context = child->GetDC();
    ASSERT_NE(context, nullptr);
    const ClientArea area = context->QueryClientArea();
    EXPECT_FALSE(area.visible && area.width > 0 && area.height > 0);
}

// Draws a 24-bit and an 8-bit bitmap in both row orders and reads the window back.
TEST_F(PlatformWindowSeam, BitmapsArriveAsTheyShowOnScreen) {
    constexpr int kWidth = 5;
    constexpr int kHeight = 3;
    std::unique_ptr<Window> window = MakeChild(0, 0, kWidth, kHeight);
    ASSERT_NE(window, nullptr);
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    auto screen = [&] { return desktop.ReadPixels(window->Handle(), kWidth, kHeight); };

    // Rows padded beyond the 4-byte alignment of the system's own bitmaps.
    constexpr int kPitch24 = 20;
    std::array<uint8_t, kPitch24 * kHeight> bits24{};
    std::array<uint8_t, 8 * kHeight> bits8{};
    std::array<uint8_t, 256 * 4> palette{};
    for (int i = 0; i < 256; ++i) {  // a non-gray palette, to catch a palette that is ignored
        palette[i * 4] = static_cast<uint8_t>(i);
        palette[i * 4 + 1] = static_cast<uint8_t>(i * 3);
        palette[i * 4 + 2] = static_cast<uint8_t>(255 - i);
    }
    std::vector<uint32_t> expected24;
    std::vector<uint32_t> expected8;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto red = static_cast<uint8_t>(40 * x + 10);
            const auto green = static_cast<uint8_t>(70 * y + 5);
            const auto blue = static_cast<uint8_t>(x * y * 20);
            bits24[y * kPitch24 + x * 3] = blue;
            bits24[y * kPitch24 + x * 3 + 1] = green;
            bits24[y * kPitch24 + x * 3 + 2] = red;
            expected24.push_back(uint32_t{red} << 16 | uint32_t{green} << 8 | blue);
            const auto index = static_cast<uint8_t>(17 * (y * kWidth + x));
            bits8[y * 8 + x] = index;
            expected8.push_back(uint32_t{palette[index * 4 + 2]} << 16 |
                                uint32_t{palette[index * 4 + 1]} << 8 | palette[index * 4]);
        }
    }
    auto flipped = [](const std::vector<uint32_t> &rows) {
        std::vector<uint32_t> result;
        for (int y = kHeight - 1; y >= 0; --y) {
            result.insert(result.end(), rows.begin() + y * kWidth, rows.begin() + (y + 1) * kWidth);
        }
        return result;
    };

    BitmapView view;
    view.bits = bits24.data();
    view.width = kWidth;
    view.height = kHeight;
    view.pitch = kPitch24;
    view.bitCount = 24;
    view.rowOrder = RowOrder::kTopRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view));
    EXPECT_EQ(screen(), expected24);
    view.rowOrder = RowOrder::kBottomRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view));
    EXPECT_EQ(screen(), flipped(expected24));

    BitmapView view8 = view;
    view8.bits = bits8.data();
    view8.pitch = 8;
    view8.bitCount = 8;
    view8.palette = palette.data();
    view8.rowOrder = RowOrder::kTopRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view8));
    EXPECT_EQ(screen(), expected8);
    view8.rowOrder = RowOrder::kBottomRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view8));
    EXPECT_EQ(screen(), flipped(expected8));

    view8.bitCount = 16;
    EXPECT_FALSE(context->DrawBitmap(view8));
    view8.bitCount = 8;
    view8.palette = nullptr;
    EXPECT_FALSE(context->DrawBitmap(view8));
    view.pitch = kWidth * 3 - 1;  // shorter than a row
    EXPECT_FALSE(context->DrawBitmap(view));
}

// The window's thread does nothing while another thread draws (it pumps no messages):
// the drawing still completes and shows.
TEST_F(PlatformWindowSeam, WorkerDrawsWithoutTheWindowsThread) {
    std::unique_ptr<Window> window = MakeChild(0, 0, 2, 1);
    ASSERT_NE(window, nullptr);
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    const std::array<uint8_t, 8> bits{0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0};
    bool drawn = false;
    ClientArea area;
    std::thread worker([&] {
        area = context->QueryClientArea();
        BitmapView view;
        view.bits = bits.data();
        view.width = 2;
        view.height = 1;
        view.pitch = 8;
        view.bitCount = 24;
        drawn = context->DrawBitmap(view);
    });
    worker.join();
    EXPECT_TRUE(area.visible);
    EXPECT_EQ(area.width, 2);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(desktop.ReadPixels(window->Handle(), 2, 1),
              (std::vector<uint32_t>{0x102030, 0x405060}));
}

TEST_F(PlatformWindowSeam, ChildOfAVanishedParentStopsDrawingWithoutFault) {
    const WindowHandle parent = desktop.MakeWindow(100, 100);
    std::unique_ptr<Window> child =
        system->CreateWindow(Described(WindowKind::kChild, parent, {5, 6, 25, 16}));
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(child->Show());
    std::unique_ptr<DrawingContext> context = child->GetDC();
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(context->QueryClientArea().visible);

    desktop.DestroyWindow(parent);  // takes the child with it
    const ClientArea area = context->QueryClientArea();
    EXPECT_FALSE(area.visible);
    EXPECT_EQ(area.width, 0);
    const std::array<uint8_t, 4> pixel{1, 2, 3, 0};
    BitmapView view;
    view.bits = pixel.data();
    view.width = 1;
    view.height = 1;
    view.pitch = 4;
    view.bitCount = 24;
    EXPECT_FALSE(context->DrawBitmap(view));
}

}  // namespace
}  // namespace korvix::platform
