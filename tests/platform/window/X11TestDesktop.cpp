// TestDesktop on X11: a connection of the test's own to the private test display.

#include "WindowTestSupport.h"
#include "X11TestSupport.h"

namespace korvix::test {

namespace {

::Window IdOf(platform::WindowHandle window) {
    return static_cast<::Window>(platform::WindowIdFromHandle(window));
}

}  // namespace

// The server destroys the windows made on the connection when it closes.
struct TestDesktop::State {
    TestConnection connection;
};

TestDesktop::TestDesktop() : state_(std::make_unique<State>()) {}

TestDesktop::~TestDesktop() = default;

bool TestDesktop::Available() const {
    return state_->connection.display != nullptr;
}

platform::ScreenSize TestDesktop::ScreenSize() const {
    Display *display = state_->connection.display;
    return {DisplayWidth(display, DefaultScreen(display)),
            DisplayHeight(display, DefaultScreen(display))};
}

platform::WindowHandle TestDesktop::MakeWindow(int width, int height) {
    Display *display = state_->connection.display;
    const ::Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    return platform::WindowHandleFromId(window);
}

void TestDesktop::DestroyWindow(platform::WindowHandle window) {
    Display *display = state_->connection.display;
    XDestroyWindow(display, IdOf(window));
    XSync(display, False);
}

void TestDesktop::SetShown(platform::WindowHandle window, bool shown) {
    Display *display = state_->connection.display;
    if (shown) {
        XMapWindow(display, IdOf(window));
    } else {
        XUnmapWindow(display, IdOf(window));
    }
    XSync(display, False);
}

void TestDesktop::RequestClose(platform::WindowHandle window) {
    // What a window manager sends when the user clicks the close box.
    Display *display = state_->connection.display;
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = IdOf(window);
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, IdOf(window), False, NoEventMask, &close);
    XSync(display, False);
}

WindowGeometry TestDesktop::Geometry(platform::WindowHandle window) const {
    Display *display = state_->connection.display;
    const test::Geometry geometry = GetGeometry(display, IdOf(window));
    WindowGeometry result;
    // No window manager runs on the test display: a top-level window has no frame, its
    // position is relative to the root window, and its client area is all of it.
    result.outer = {geometry.x, geometry.y, geometry.x + static_cast<int32_t>(geometry.width),
                    geometry.y + static_cast<int32_t>(geometry.height)};
    result.clientWidth = static_cast<int32_t>(geometry.width);
    result.clientHeight = static_cast<int32_t>(geometry.height);
    if (geometry.parent != DefaultRootWindow(display)) {
        result.parent = platform::WindowHandleFromId(geometry.parent);
    }
    return result;
}

std::vector<uint32_t> TestDesktop::ReadPixels(platform::WindowHandle window, int width,
                                              int height) const {
    return test::ReadPixels(state_->connection.display, IdOf(window), width, height);
}

std::string TestDesktop::ClassName(platform::WindowHandle window) const {
    const std::string hint = ClassHintOf(state_->connection.display, IdOf(window));
    const size_t slash = hint.size() / 2;
    if (hint.size() % 2 == 0 || hint[slash] != '/' ||
        hint.compare(0, slash, hint, slash + 1, std::string::npos) != 0) {
        return {};
    }
    return hint.substr(0, slash);
}

std::string TestDesktop::Title(platform::WindowHandle window) const {
    return TitleOf(state_->connection.display, IdOf(window));
}

}  // namespace korvix::test
