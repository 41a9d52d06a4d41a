// What only Windows has: the styles, control id and class lookup applications see.

#include <gtest/gtest.h>
#include <windows.h>
#undef CreateWindow

#include <thread>

#include "WindowTestSupport.h"
#include "platform/window/Window.h"

namespace korvix::platform {
namespace {

constexpr const char *kClass = "PlatformWindowWin32TestClass";

TEST(PlatformWindowWin32, WindowsCarryTheStylesAndIdApplicationsExpect) {
    test::TestDesktop desktop;
    test::ScopedWindowClass windowClass(kClass);
    ASSERT_TRUE(windowClass.registered);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);

    WindowDescription description;
    description.className = kClass;
    description.title = "top";
    description.rect = {0, 0, 160, 120};
    std::unique_ptr<Window> topLevel = system->CreateWindow(description);
    ASSERT_NE(topLevel, nullptr);
    HWND top = static_cast<HWND>(topLevel->Handle());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(top, GWL_STYLE)), 0x16CF0000u);
    EXPECT_EQ(GetParent(top), nullptr);

    description.kind = WindowKind::kChild;
    description.parent = desktop.MakeWindow(100, 80);
    description.rect = {1, 2, 33, 18};
    std::unique_ptr<Window> child = system->CreateWindow(description);
    ASSERT_NE(child, nullptr);
    HWND hwnd = static_cast<HWND>(child->Handle());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), 0x52000000u);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_ID), 6540);
    EXPECT_EQ(GetParent(hwnd), static_cast<HWND>(description.parent));

    // The system's own classes are not the library's.
    EXPECT_FALSE(IsWindowClassRegistered("BUTTON"));
}

// A window released on a thread that did not make it cannot be destroyed there; it
// closes once its own thread handles its messages.
TEST(PlatformWindowWin32, AWindowReleasedOnAnotherThreadClosesOnItsOwnThread) {
    test::ScopedWindowClass windowClass(kClass);
    ASSERT_TRUE(windowClass.registered);
    std::unique_ptr<WindowSystem> system = WindowSystem::Connect();
    ASSERT_NE(system, nullptr);
    WindowDescription description;
    description.className = kClass;
    description.rect = {0, 0, 64, 48};
    std::unique_ptr<Window> window = system->CreateWindow(description);
    ASSERT_NE(window, nullptr);
    HWND hwnd = static_cast<HWND>(window->Handle());

    std::thread([&] { window.reset(); }).join();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
}  // namespace korvix::platform
