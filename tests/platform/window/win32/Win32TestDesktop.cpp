// TestDesktop on Windows: windows of a class of the test's own on the process's desktop,
// and read-back through the window's device context into a 32-bit DIB section. The test
// thread never pumps messages: everything here acts on windows of the calling thread,
// whose messages the system delivers directly.

#include "WindowTestSupport.h"

#include <windows.h>

#include <algorithm>

namespace korvix::test {

namespace {

constexpr const char *kApplicationClass = "KorvixTestApplicationWindow";
constexpr DWORD kApplicationStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN;

HWND HwndOf(platform::WindowHandle window) {
    return static_cast<HWND>(window);
}

// Registered once for the process; the class stays until the process ends.
bool RegisterApplicationClass() {
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = kApplicationClass;
        return RegisterClassExA(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

struct TestDesktop::State {
    std::vector<HWND> made;  // destroyed with the desktop unless already gone
};

TestDesktop::TestDesktop() : state_(std::make_unique<State>()) {}

TestDesktop::~TestDesktop() {
    for (HWND window : state_->made) {
        if (IsWindow(window)) ::DestroyWindow(window);
    }
}

bool TestDesktop::Available() const {
    return RegisterApplicationClass();
}

platform::ScreenSize TestDesktop::ScreenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

platform::WindowHandle TestDesktop::MakeWindow(int width, int height) {
    if (!RegisterApplicationClass()) return nullptr;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, kApplicationStyle, FALSE, 0);
    HWND window = CreateWindowExA(0, kApplicationClass, "test application", kApplicationStyle, 0, 0,
                                  outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) return nullptr;
    UpdateWindow(window);
    state_->made.push_back(window);
    return window;
}

void TestDesktop::DestroyWindow(platform::WindowHandle window) {
    ::DestroyWindow(HwndOf(window));
    std::erase(state_->made, HwndOf(window));
}

void TestDesktop::SetShown(platform::WindowHandle window, bool shown) {
    ShowWindow(HwndOf(window), shown ? SW_SHOW : SW_HIDE);
}

void TestDesktop::RequestClose(platform::WindowHandle window) {
    // The close box sends WM_CLOSE; the default procedure destroys the window.
    SendMessageA(HwndOf(window), WM_CLOSE, 0, 0);
}

WindowGeometry TestDesktop::Geometry(platform::WindowHandle window) const {
    HWND hwnd = HwndOf(window);
    WindowGeometry result;
    RECT outer{};
    RECT client{};
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    if ((GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) != 0) {
        HWND parent = GetParent(hwnd);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT *>(&outer), 2);
        result.parent = parent;
    }
    result.outer = {outer.left, outer.top, outer.right, outer.bottom};
    result.clientWidth = client.right - client.left;
    result.clientHeight = client.bottom - client.top;
    return result;
}

std::vector<uint32_t> TestDesktop::ReadPixels(platform::WindowHandle window, int width,
                                              int height) const {
    HWND hwnd = HwndOf(window);
    HDC windowDc = GetDC(hwnd);
    if (windowDc == nullptr) return {};
    HDC memoryDc = CreateCompatibleDC(windowDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first in memory
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> pixels;
    if (memoryDc != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap);
        if (BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto *words = static_cast<const uint32_t *>(bits);
            pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
            // Each 32-bit pixel is blue, green, red, unused: 0x00RRGGBB read little-endian.
            std::transform(words, words + pixels.size(), pixels.begin(),
                           [](uint32_t word) { return word & 0xFFFFFF; });
        }
        SelectObject(memoryDc, previous);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memoryDc != nullptr) DeleteDC(memoryDc);
    ReleaseDC(hwnd, windowDc);
    return pixels;
}

std::string TestDesktop::ClassName(platform::WindowHandle window) const {
    char name[256] = {};
    const int length = GetClassNameA(HwndOf(window), name, sizeof name);
    return std::string(name, static_cast<size_t>(std::max(length, 0)));
}

std::string TestDesktop::Title(platform::WindowHandle window) const {
    char title[256] = {};
    const int length = GetWindowTextA(HwndOf(window), title, sizeof title);
    return std::string(title, static_cast<size_t>(std::max(length, 0)));
}

}  // namespace korvix::test
