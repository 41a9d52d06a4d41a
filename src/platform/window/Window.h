#pragma once

// The windows-and-drawing seam: window classes, a connection to the window system,
// windows, and a drawing context into which 8-bit (palette) and 24-bit bitmaps are copied
// 1:1. The implementation is chosen by the build: Xlib on Linux (a window handle is an
// X11 window id; MIT-SHM images when the server offers them), Win32 on Windows (a window
// handle is the HWND; RegisterClassExA, CreateWindowExA, GetDC, StretchDIBits).
//
// Threads: classes, connections and windows are made and destroyed on the application's
// thread; a DrawingContext may be used from one other thread (a worker) at the same time.
// On X11 every operation on one connection is serialised by a lock of that connection, so
// the application's own use of the window system (its own connection) is never disturbed.
// On Windows the window's thread owns its messages and must pump them (a Win32
// application does) for the window to repaint its frame, move or close; drawing never
// waits for it.
// On X11 the library installs process-wide error and I/O error handlers once; they
// absorb the errors of the library's connections (a server that goes away makes drawing
// fail instead of ending the process) and pass every other error to the handler that
// was installed before.

#include <cstdint>
#include <memory>
#include <string>

namespace korvix::platform {

// A window as the application hands it to the library: on X11 the window id carried in a
// pointer-sized value, on Windows an HWND.
using WindowHandle = void *;

inline WindowHandle WindowHandleFromId(uintptr_t id) {
    return reinterpret_cast<WindowHandle>(id);
}
inline uintptr_t WindowIdFromHandle(WindowHandle handle) {
    return reinterpret_cast<uintptr_t>(handle);
}

// A rectangle in pixels; right and bottom are exclusive.
struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
};

enum class WindowKind {
    // A visible child of an application window that clips its own children (on Windows
    // style 0x52000000, control id 6540).
    kChild,
    // A visible top-level window with caption, system menu, sizing border, minimise and
    // maximise boxes, clipping siblings and children (on Windows style 0x16CF0000).
    kTopLevel,
};

struct WindowDescription {
    std::string className;  // a class registered with RegisterWindowClass
    std::string title;
    WindowKind kind = WindowKind::kTopLevel;
    WindowHandle parent = nullptr;  // required for kChild, ignored for kTopLevel
    // Outer rectangle: relative to the parent's client area for a child, to the screen
    // for a top-level window.
    WindowRect rect;
};

// How the rows of a bitmap's memory map onto the screen.
enum class RowOrder {
    kTopRowFirst,     // memory row 0 is the top row on the screen
    kBottomRowFirst,  // memory row 0 is the bottom row (a bottom-up bitmap)
};

// A bitmap to draw. The memory is borrowed for the call.
struct BitmapView {
    const uint8_t *bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;      // bytes per memory row
    uint16_t bitCount = 0;  // 8: palette indices; 24: bytes blue, green, red
    // For 8 bits: 256 entries of 4 bytes each (blue, green, red, reserved).
    const uint8_t *palette = nullptr;
    RowOrder rowOrder = RowOrder::kTopRowFirst;
};

// Window classes are process-wide, as on Windows. Registers `name`; false when the name
// is empty, longer than 255 characters or already registered. Thread-safe.
bool RegisterWindowClass(const std::string &name);
// Removes a registered class; false when it is not registered (on Windows also while a
// window of the class exists: destroy the windows first). Thread-safe.
bool UnregisterWindowClass(const std::string &name);
bool IsWindowClassRegistered(const std::string &name);

class Window;
class DrawingContext;
struct WindowConnection;  // the implementation's connection state, shared by its windows

// One connection to the window system (on X11 a display connection of the library's
// own). Windows and drawing contexts made from it keep the connection open while they
// live, so the WindowSystem object itself may be dropped after creating them.
class WindowSystem {
  public:
    // Connects to the default display; null when there is none (no DISPLAY, the server
    // refuses, or it offers no true-colour visual). Does not block for long: failure is
    // reported at once. On Windows the desktop is always there.
    static std::unique_ptr<WindowSystem> Connect();

    ~WindowSystem();
    WindowSystem(const WindowSystem &) = delete;
    WindowSystem &operator=(const WindowSystem &) = delete;

    // The size of the primary screen in pixels.
    ScreenSize PrimaryScreenSize() const;

    // Turns a client rectangle into the outer rectangle of a window of `kind`. On X11 the
    // window manager adds its frame outside the client window, so the rectangle stays as
    // it is. Returns false when the system refuses.
    bool AdjustWindowRect(WindowRect &rect, WindowKind kind) const;

    // Creates a window as described: on X11 not yet shown, on Windows visible at once
    // (the styles above include WS_VISIBLE) and Show completes it. Null when the class is
    // not registered, a child has no parent, the parent is not a window, or the system
    // refuses. On X11 a window with an empty area (which X cannot have) is made 1 x 1 and
    // never shown, so nothing is drawn into it. (<windows.h> makes CreateWindow a macro:
    // a file that includes it #undefs CreateWindow right after.)
    std::unique_ptr<Window> CreateWindow(const WindowDescription &description);

  private:
    explicit WindowSystem(std::shared_ptr<WindowConnection> connection);
    std::shared_ptr<WindowConnection> connection_;
};

// A window made by the library. Destruction destroys the window.
class Window {
  public:
    Window(std::shared_ptr<WindowConnection> connection, uintptr_t id, bool hasArea);
    ~Window();
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    WindowHandle Handle() const { return WindowHandleFromId(id_); }

    // Shows the window and waits until the system has processed it (ShowWindow and
    // UpdateWindow). On X11 the window is mapped and raised; keyboard focus is the window
    // manager's to give. Returns false when the system reports a failure.
    bool Show();

    // A drawing context for the window (GetDC); null on failure.
    std::unique_ptr<DrawingContext> GetDC();

  private:
    std::shared_ptr<WindowConnection> connection_;
    uintptr_t id_;
    bool hasArea_;
};

// What the drawing thread needs to know about the window before drawing.
struct ClientArea {
    bool visible = false;  // the window and all its ancestors are shown
    int32_t width = 0;
    int32_t height = 0;
};

// Draws into one window. May be used from a thread other than the window's creator; one
// thread at a time. Destroy it before the window (ReleaseDC).
class DrawingContext {
  public:
    ~DrawingContext();
    DrawingContext(const DrawingContext &) = delete;
    DrawingContext &operator=(const DrawingContext &) = delete;

    // The window's visibility and client size; not visible and 0 x 0 when the window no
    // longer exists (for example destroyed together with its parent). Also handles the
    // window system's requests to the window (a user closing a top-level window hides it).
    ClientArea QueryClientArea();

    // Copies `bitmap` 1:1 to the top left corner of the client area, rows ordered as
    // bitmap.rowOrder says, converted to the window's pixel format; the window clips what
    // does not fit. Returns true when the system accepted the drawing; false for a bitmap
    // other than 8 or 24 bits, missing memory or palette, or a failed request.
    bool DrawBitmap(const BitmapView &bitmap);

    struct State;  // the implementation's per-context state
    explicit DrawingContext(std::unique_ptr<State> state);

  private:
    std::unique_ptr<State> state_;
};

}  // namespace korvix::platform
