#pragma once

// Helpers for tests that talk to an X server: a private Xvfb server, a DISPLAY override,
// a connection of the test's own and pixel read-back. TestDesktop (WindowTestSupport.h)
// offers the same to tests that run on every platform.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <X11/Xlib.h>

namespace korvix::test {

// An Xvfb server started by the test, on a display number the server picks, and stopped
// when the object goes. Started() is false when Xvfb is not installed or did not come up
// within a few seconds.
class XvfbServer {
  public:
    XvfbServer(int width, int height, const std::vector<std::string> &extraArguments = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    bool Started() const { return pid_ > 0; }
    const std::string &Name() const { return name_; }  // ":N"

  private:
    pid_t pid_ = -1;
    std::string name_;
};

// Sets (or, with nullopt, removes) DISPLAY for the life of the object.
class ScopedDisplay {
  public:
    explicit ScopedDisplay(const std::optional<std::string> &value);
    ~ScopedDisplay();
    ScopedDisplay(const ScopedDisplay &) = delete;
    ScopedDisplay &operator=(const ScopedDisplay &) = delete;

  private:
    std::optional<std::string> previous_;
};

// The display tests draw on: a private Xvfb started for the test process (1920 x 1200,
// 24 bits), with DISPLAY pointing at it, so no other test process's window can cover
// the windows read back; without Xvfb, DISPLAY. Null when neither can be opened; tests
// then skip.
Display *OpenTestDisplay();

// The test's own connection; closed with the object.
struct TestConnection {
    TestConnection();
    ~TestConnection();
    TestConnection(const TestConnection &) = delete;
    TestConnection &operator=(const TestConnection &) = delete;
    Display *display = nullptr;
};

// A window's size and its position inside its parent.
struct Geometry {
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    Window parent = 0;
};
Geometry GetGeometry(Display *display, Window window);

// The window's pixels as 0xRRGGBB, row 0 at the top; empty on failure.
std::vector<uint32_t> ReadPixels(Display *display, Window window, int width, int height);

// The window's class hint (instance and class) and its WM_NAME.
std::string ClassHintOf(Display *display, Window window);
std::string TitleOf(Display *display, Window window);

}  // namespace korvix::test
