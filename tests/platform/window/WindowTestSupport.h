#pragma once

// The tests' own view of the window system, the same on X11 and on Windows: windows of
// the kind an application owns (the parents of child previews), and what the screen shows
// of the library's windows, read back from the window system itself.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/window/Window.h"

namespace korvix::test {

struct WindowGeometry {
    // The outer rectangle: relative to the parent's client area for a child, to the
    // screen for a top-level window.
    platform::WindowRect outer;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    platform::WindowHandle parent = nullptr;  // null for a top-level window
};

// The desktop the tests draw on: on X11 a private Xvfb server of the test process (with
// DISPLAY pointing at it; the display the tests were started with when Xvfb is missing),
// on Windows the process's desktop. Windows it makes are destroyed with it. Thread-bound:
// used on the thread that made it.
class TestDesktop {
  public:
    TestDesktop();
    ~TestDesktop();
    TestDesktop(const TestDesktop &) = delete;
    TestDesktop &operator=(const TestDesktop &) = delete;

    // False when no display can be reached; the tests then skip.
    bool Available() const;

    platform::ScreenSize ScreenSize() const;

    // A shown top-level window at (0, 0) with a black client area of width x height, as an
    // application's main window would be.
    platform::WindowHandle MakeWindow(int width, int height);
    void DestroyWindow(platform::WindowHandle window);
    void SetShown(platform::WindowHandle window, bool shown);
    // Closes a top-level window as a user does with its close box.
    void RequestClose(platform::WindowHandle window);

    WindowGeometry Geometry(platform::WindowHandle window) const;
    // The client area's top left width x height pixels as 0xRRGGBB, row 0 at the top;
    // empty on failure.
    std::vector<uint32_t> ReadPixels(platform::WindowHandle window, int width, int height) const;
    // The window's class name (on X11 the class hint, whose instance and class both carry
    // it; empty when the two differ) and its title.
    std::string ClassName(platform::WindowHandle window) const;
    std::string Title(platform::WindowHandle window) const;

    struct State;  // the window system's connection and the windows made

  private:
    std::unique_ptr<State> state_;
};

// A window class of the library's, registered for the life of the object.
struct ScopedWindowClass {
    explicit ScopedWindowClass(std::string className)
        : name(std::move(className)), registered(platform::RegisterWindowClass(name)) {}
    ~ScopedWindowClass() {
        if (registered) platform::UnregisterWindowClass(name);
    }
    ScopedWindowClass(const ScopedWindowClass &) = delete;
    ScopedWindowClass &operator=(const ScopedWindowClass &) = delete;

    std::string name;
    bool registered;
};

}  // namespace korvix::test
