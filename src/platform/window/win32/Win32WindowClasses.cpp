// Window classes on Windows: real classes of the host process (the instance of the
// executable, so a class outlives nothing but the process), each with the one window
// procedure below.
//
// The procedure gives every message to DefWindowProcA: the window has no behaviour of its
// own. Messages for a window are handled on the thread that created it, so the
// application's thread must pump its messages (a Win32 application does) for the window
// to erase its background, move, resize or close when the user asks. Drawing into the
// window does not depend on that: the drawing context paints straight into the window's
// device context from any thread.

#include "platform/window/Window.h"

#include <windows.h>

namespace korvix::platform {

namespace {

constexpr size_t kMaxClassNameLength = 255;

LRESULT CALLBACK PreviewWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterWindowClass(const std::string &name) {
    if (name.empty() || name.size() > kMaxClassNameLength) return false;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;  // 80 bytes on 64-bit Windows
    windowClass.style = 0;
    windowClass.lpfnWndProc = PreviewWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = name.c_str();
    // Fails for a name this process has already registered.
    return RegisterClassExA(&windowClass) != 0;
}

bool UnregisterWindowClass(const std::string &name) {
    // Fails for a name that is not registered, and while a window of the class exists.
    return UnregisterClassA(name.c_str(), GetModuleHandleA(nullptr)) != FALSE;
}

bool IsWindowClassRegistered(const std::string &name) {
    // Only the library's own classes count: the system's classes (BUTTON, EDIT, ...) are
    // found by the same lookup but cannot carry a preview window.
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    return !name.empty() &&
           GetClassInfoExA(GetModuleHandleA(nullptr), name.c_str(), &windowClass) != FALSE &&
           windowClass.lpfnWndProc == PreviewWindowProcedure;
}

}  // namespace korvix::platform
