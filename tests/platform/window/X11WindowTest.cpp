// What only X11 has: a display that may be missing or may go away, and servers without
// shared memory.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "WindowTestSupport.h"
#include "X11TestSupport.h"
#include "platform/window/Window.h"

namespace korvix::platform {
namespace {

using test::ScopedDisplay;

constexpr const char *kClass = "PlatformWindowX11TestClass";

WindowDescription TopLevel(int32_t width, int32_t height) {
    WindowDescription description;
    description.className = kClass;
    description.title = "seam test";
    description.rect = {0, 0, width, height};
    return description;
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

TEST(PlatformWindowX11Plain, DrawsWithoutSharedMemory) {
    test::XvfbServer server(320, 200, {"-extension", "MIT-SHM"});
    if (!server.Started()) GTEST_SKIP() << "Xvfb is not available";
    ScopedDisplay display(server.Name());
    test::ScopedWindowClass windowClass(kClass);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(2, 2));
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
    test::ScopedWindowClass windowClass(kClass);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);
    std::unique_ptr<Window> window = system->CreateWindow(TopLevel(4, 4));
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
    EXPECT_EQ(system->CreateWindow(TopLevel(4, 4)), nullptr);
    context.reset();
    window.reset();
}

}  // namespace
}  // namespace korvix::platform
