// The window system and windows on Windows: a window handle is the HWND. The desktop is
// always there, so connecting cannot fail; the connection carries no state.

#include "platform/window/Window.h"

#include <windows.h>
#undef CreateWindow  // the seam's method, not the ANSI/wide macro

#include <algorithm>

namespace korvix::platform {

// Nothing to share: every window call goes straight to the system.
struct WindowConnection {};

namespace {

// WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN
constexpr DWORD kChildStyle = 0x52000000;
// WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN
constexpr DWORD kTopLevelStyle = 0x16CF0000;
// The child's control id, which the application sees in WM_PARENTNOTIFY and GetDlgItem.
constexpr UINT_PTR kChildControlId = 6540;

DWORD StyleOf(WindowKind kind) {
    return kind == WindowKind::kChild ? kChildStyle : kTopLevelStyle;
}

HWND HwndOf(uintptr_t id) {
    return reinterpret_cast<HWND>(id);
}

}  // namespace

std::unique_ptr<WindowSystem> WindowSystem::Connect() {
    return std::unique_ptr<WindowSystem>(new WindowSystem(std::make_shared<WindowConnection>()));
}

WindowSystem::WindowSystem(std::shared_ptr<WindowConnection> connection)
    : connection_(std::move(connection)) {}

WindowSystem::~WindowSystem() = default;

ScreenSize WindowSystem::PrimaryScreenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool WindowSystem::AdjustWindowRect(WindowRect &rect, WindowKind kind) const {
    RECT outer{rect.left, rect.top, rect.right, rect.bottom};
    if (!AdjustWindowRectEx(&outer, StyleOf(kind), FALSE, 0)) return false;
    rect = {outer.left, outer.top, outer.right, outer.bottom};
    return true;
}

std::unique_ptr<Window> WindowSystem::CreateWindow(const WindowDescription &description) {
    if (!IsWindowClassRegistered(description.className)) return nullptr;
    const bool child = description.kind == WindowKind::kChild;
    HWND parent = nullptr;
    if (child) {
        parent = static_cast<HWND>(description.parent);
        if (parent == nullptr || !IsWindow(parent)) return nullptr;
    }
    const WindowRect &rect = description.rect;
    const auto width = static_cast<int>(std::max<int64_t>(int64_t{rect.right} - rect.left, 0));
    const auto height = static_cast<int>(std::max<int64_t>(int64_t{rect.bottom} - rect.top, 0));
    // The styles include WS_VISIBLE: the window appears as it is created.
    HWND window =
        CreateWindowExA(0, description.className.c_str(), description.title.c_str(),
                        StyleOf(description.kind), rect.left, rect.top, width, height, parent,
                        child ? reinterpret_cast<HMENU>(kChildControlId) : nullptr,
                        GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    return std::make_unique<Window>(connection_, reinterpret_cast<uintptr_t>(window),
                                    width > 0 && height > 0);
}

Window::Window(std::shared_ptr<WindowConnection> connection, uintptr_t id, bool hasArea)
    : connection_(std::move(connection)), id_(id), hasArea_(hasArea) {}

Window::~Window() {
    HWND window = HwndOf(id_);
    // A child goes with its parent, and a top-level window with the user's close: then
    // there is nothing left to destroy.
    if (!IsWindow(window)) return;
    // Only the window's own thread may destroy it. Released anywhere else (a session
    // closed from another thread), the window is asked to close instead, which its
    // procedure does by destroying it when that thread next handles its messages; until
    // then its class cannot be unregistered.
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(window);
    } else {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
}

bool Window::Show() {
    HWND window = HwndOf(id_);
    // Focus only moves to a window of the calling thread; elsewhere this does nothing.
    SetFocus(window);
    ShowWindow(window, SW_SHOW);
    // Paints the background now (the procedure's WM_PAINT and WM_ERASEBKGND); fails for a
    // window that no longer exists.
    return UpdateWindow(window) != FALSE;
}

}  // namespace korvix::platform
