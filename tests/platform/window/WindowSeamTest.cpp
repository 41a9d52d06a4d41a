#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "X11TestSupport.h"
#include "platform/window/Window.h"

namespace korvix::platform {
namespace {

using test::ScopedDisplay;
using test::TestConnection;

constexpr const char *kClass = "PlatformWindowTestClass";

// A registered class for the test's windows, removed afterwards.
struct ScopedClass {
    explicit ScopedClass(const char *name) : name(name) { registered = RegisterWindowClass(name); }
    ~ScopedClass() { UnregisterWindowClass(name); }
    std::string name;
    bool registered = false;
};

WindowDescription TopLevel(int32_t x, int32_t y, int32_t width, int32_t height) {
    WindowDescription description;
    description.className = kClass;
    description.title = "seam test";
    description.kind = WindowKind::kTopLevel;
    description.rect = {x, y, x + width, y + height};
    return description;
}

::Window IdOf(const Window &window) {
    return static_cast<::Window>(WindowIdFromHandle(window.Handle()));
}

class PlatformWindowX11 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (connection.display == nullptr) GTEST_SKIP() << "no X display reachable";
        ASSERT_TRUE(windowClass.registered);
        system = WindowSystem::Connect();
        ASSERT_NE(system, nullptr);
    }

    TestConnection connection;
    ScopedClass windowClass{kClass};
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

TEST(PlatformWindowConnect, FailsCleanlyWithoutADisplay) {
    {
        ScopedDisplay noDisplay(std::nullopt);
        EXPECT_EQ(WindowSystem::Connect(), nullptr);
    }
    {
        // A display number nobody serves: the connection is refused.
        ScopedDisplay nobody(std::string(":5999"));
        EXPECT_EQ(WindowSystem::Connect(), nullptr);
    }
}

TEST_F(PlatformWindowX11, TopLevelWindowHasItsRectangleNamesAndClass) {
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(30, 40, 200, 100));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Show());
    const test::Geometry geometry = test::GetGeometry(connection.display, IdOf(*window));
    EXPECT_EQ(geometry.x, 30);
    EXPECT_EQ(geometry.y, 40);
    EXPECT_EQ(geometry.width, 200u);
    EXPECT_EQ(geometry.height, 100u);
    EXPECT_EQ(geometry.parent, DefaultRootWindow(connection.display));
    EXPECT_EQ(test::ClassHintOf(connection.display, IdOf(*window)),
              std::string(kClass) + "/" + kClass);
    EXPECT_EQ(test::TitleOf(connection.display, IdOf(*window)), "seam test");

    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    const ClientArea area = context->QueryClientArea();
    EXPECT_TRUE(area.visible);
    EXPECT_EQ(area.width, 200);
    EXPECT_EQ(area.height, 100);
}

TEST_F(PlatformWindowX11, CreationRefusesWhatCannotBeMade) {
    WindowDescription unregistered = TopLevel(0, 0, 10, 10);
    unregistered.className = "PlatformWindowX11_NotRegistered";
    EXPECT_EQ(system->CreateWindow(unregistered), nullptr);

    WindowDescription orphan = TopLevel(0, 0, 10, 10);
    orphan.kind = WindowKind::kChild;
    EXPECT_EQ(system->CreateWindow(orphan), nullptr);

    // A parent id that names no window: the server's error is caught, not fatal.
    WindowDescription badParent = orphan;
    badParent.parent = WindowHandleFromId(0x7FFFFFF0);
    EXPECT_EQ(system->CreateWindow(badParent), nullptr);
}

TEST_F(PlatformWindowX11, EmptyWindowIsNeverShown) {
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(0, 0, 0, 50));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Show());
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(context->QueryClientArea().visible);
}

// Draws a 24-bit and an 8-bit bitmap in both row orders and reads the window back.
TEST_F(PlatformWindowX11, BitmapsArriveAsTheyShowOnScreen) {
    constexpr int kWidth = 5;
    constexpr int kHeight = 3;
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(0, 0, kWidth, kHeight));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Show());
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);

    constexpr int kPitch24 = 16;  // 15 bytes rounded up to 4
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
    EXPECT_EQ(test::ReadPixels(connection.display, IdOf(*window), kWidth, kHeight), expected24);
    view.rowOrder = RowOrder::kBottomRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view));
    EXPECT_EQ(test::ReadPixels(connection.display, IdOf(*window), kWidth, kHeight),
              flipped(expected24));

    BitmapView view8 = view;
    view8.bits = bits8.data();
    view8.pitch = 8;
    view8.bitCount = 8;
    view8.palette = palette.data();
    view8.rowOrder = RowOrder::kTopRowFirst;
    ASSERT_TRUE(context->DrawBitmap(view8));
    EXPECT_EQ(test::ReadPixels(connection.display, IdOf(*window), kWidth, kHeight), expected8);

    view8.bitCount = 16;
    EXPECT_FALSE(context->DrawBitmap(view8));
}

TEST_F(PlatformWindowX11, ChildOfAVanishedParentStopsDrawingWithoutFault) {
    const ::Window parent = XCreateSimpleWindow(
        connection.display, DefaultRootWindow(connection.display), 0, 0, 100, 100, 0, 0, 0);
    XMapWindow(connection.display, parent);
    XSync(connection.display, False);
    WindowDescription description = TopLevel(5, 6, 20, 10);
    description.kind = WindowKind::kChild;
    description.parent = WindowHandleFromId(parent);
    std::unique_ptr<Window> child = system->CreateWindow(description);
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(child->Show());
    std::unique_ptr<DrawingContext> context = child->GetDC();
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(context->QueryClientArea().visible);

    XDestroyWindow(connection.display, parent);  // takes the child with it
    XSync(connection.display, False);
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

TEST(PlatformWindowX11Plain, DrawsWithoutSharedMemory) {
    test::XvfbServer server(320, 200, {"-extension", "MIT-SHM"});
    if (!server.Started()) GTEST_SKIP() << "Xvfb is not available";
    ScopedDisplay display(server.Name());
    ScopedClass windowClass(kClass);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(0, 0, 2, 2));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Show());
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);
    const std::array<uint8_t, 16> bits{0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,
                                       0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};
    BitmapView view;
    view.bits = bits.data();
    view.width = 2;
    view.height = 2;
    view.pitch = 8;
    view.bitCount = 24;
    ASSERT_TRUE(context->DrawBitmap(view));
    Display *own = XOpenDisplay(server.Name().c_str());
    ASSERT_NE(own, nullptr);
    const std::vector<uint32_t> pixels =
        test::ReadPixels(own, static_cast<::Window>(WindowIdFromHandle(window->Handle())), 2, 2);
    XCloseDisplay(own);
    EXPECT_EQ(pixels, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
}

// The server going away must not end the process: drawing fails and the objects still
// clean up.
TEST(PlatformWindowX11Lost, ServerThatDiesLeavesTheProcessRunning) {
    auto server = std::make_unique<test::XvfbServer>(320, 200);
    if (!server->Started()) GTEST_SKIP() << "Xvfb is not available";
    ScopedDisplay display(server->Name());
    ScopedClass windowClass(kClass);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(0, 0, 4, 4));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->Show());
    std::unique_ptr<DrawingContext> context = window->GetDC();
    ASSERT_NE(context, nullptr);

    server.reset();  // stops the server
    const std::array<uint8_t, 16> bits{};
    BitmapView view;
    view.bits = bits.data();
    view.width = 4;
    view.height = 1;
    view.pitch = 12;
    view.bitCount = 24;
    EXPECT_FALSE(context->DrawBitmap(view));
    EXPECT_FALSE(context->QueryClientArea().visible);
    EXPECT_EQ(system->CreateWindow(TopLevel(0, 0, 4, 4)), nullptr);
    context.reset();
    window.reset();
}

}  // namespace
}  // namespace korvix::platform
