// Window system connection and windows on X11.

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/window/Window.h"
#include "platform/window/x11/X11Connection.h"

namespace korvix::platform {

namespace {

void SetNames(WindowConnection &connection, ::Window window, const WindowDescription &description) {
    Display *display = connection.display;
    // The class hint carries the class name in both fields, as the window's instance and
    // class, so tools that list windows by class find it.
    std::vector<char> className(description.className.begin(), description.className.end());
    className.push_back('\0');
    XClassHint hint;
    hint.res_name = className.data();
    hint.res_class = className.data();
    XSetClassHint(display, window, &hint);

    XStoreName(display, window, description.title.c_str());
    XChangeProperty(display, window, connection.netWmName, connection.utf8String, 8,
                    PropModeReplace,
                    reinterpret_cast<const unsigned char *>(description.title.data()),
                    static_cast<int>(description.title.size()));
}

// Asks a window manager to keep the position and size the library chose, and to send a
// close request instead of disconnecting the library when the user closes the window.
void SetTopLevelHints(WindowConnection &connection, ::Window window, int x, int y, int64_t width,
                      int64_t height) {
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = x;
    hints.y = y;
    hints.width = static_cast<int>(width);
    hints.height = static_cast<int>(height);
    XSetWMNormalHints(connection.display, window, &hints);
    XSetWMProtocols(connection.display, window, &connection.wmDeleteWindow, 1);
}

}  // namespace

std::unique_ptr<WindowSystem> WindowSystem::Connect() {
    std::shared_ptr<WindowConnection> connection = WindowConnection::Open();
    if (!connection) return nullptr;
    return std::unique_ptr<WindowSystem>(new WindowSystem(std::move(connection)));
}

WindowSystem::WindowSystem(std::shared_ptr<WindowConnection> connection)
    : connection_(std::move(connection)) {}

WindowSystem::~WindowSystem() = default;

ScreenSize WindowSystem::PrimaryScreenSize() const {
    std::lock_guard guard(connection_->lock);
    return {DisplayWidth(connection_->display, connection_->screen),
            DisplayHeight(connection_->display, connection_->screen)};
}

bool WindowSystem::AdjustWindowRect(WindowRect &, WindowKind) const {
    return true;
}

std::unique_ptr<Window> WindowSystem::CreateWindow(const WindowDescription &description) {
    if (!IsWindowClassRegistered(description.className)) return nullptr;
    const bool child = description.kind == WindowKind::kChild;
    if (child && description.parent == nullptr) return nullptr;

    WindowConnection &connection = *connection_;
    std::lock_guard guard(connection.lock);
    if (!connection.Usable()) return nullptr;
    Display *display = connection.display;
    const unsigned long errorsBefore = connection.ErrorCount();

    const ::Window parent = child ? static_cast<::Window>(WindowIdFromHandle(description.parent))
                                  : RootWindow(display, connection.screen);
    // The protocol carries positions in 16 signed bits and sizes in 15 usable bits.
    const WindowRect &rect = description.rect;
    const auto x = static_cast<int>(std::clamp<int64_t>(rect.left, INT16_MIN, INT16_MAX));
    const auto y = static_cast<int>(std::clamp<int64_t>(rect.top, INT16_MIN, INT16_MAX));
    const int64_t width = std::clamp<int64_t>(int64_t{rect.right} - rect.left, 0, INT16_MAX);
    const int64_t height = std::clamp<int64_t>(int64_t{rect.bottom} - rect.top, 0, INT16_MAX);
    const bool hasArea = width > 0 && height > 0;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0;  // black in a true-colour visual
    attributes.border_pixel = 0;
    attributes.colormap = connection.colormap;
    const ::Window window = XCreateWindow(
        display, parent, x, y, static_cast<unsigned>(std::max<int64_t>(width, 1)),
        static_cast<unsigned>(std::max<int64_t>(height, 1)), 0, connection.depth, InputOutput,
        connection.visual, CWBackPixel | CWBorderPixel | CWColormap, &attributes);
    if (window == 0) return nullptr;

    SetNames(connection, window, description);
    if (!child) SetTopLevelHints(connection, window, x, y, width, height);
    if (!connection.SyncedWithoutErrors(errorsBefore)) {
        // The parent id named no window, or the server refused the request.
        XDestroyWindow(display, window);
        XSync(display, False);
        return nullptr;
    }
    return std::make_unique<Window>(connection_, window, hasArea);
}

Window::Window(std::shared_ptr<WindowConnection> connection, uintptr_t id, bool hasArea)
    : connection_(std::move(connection)), id_(id), hasArea_(hasArea) {}

Window::~Window() {
    std::lock_guard guard(connection_->lock);
    if (!connection_->Usable()) return;
    // Fails harmlessly (the error is counted) when the parent took the window with it.
    XDestroyWindow(connection_->display, static_cast<::Window>(id_));
    XSync(connection_->display, False);
}

bool Window::Show() {
    std::lock_guard guard(connection_->lock);
    if (!connection_->Usable()) return false;
    const unsigned long errorsBefore = connection_->ErrorCount();
    if (hasArea_) XMapRaised(connection_->display, static_cast<::Window>(id_));
    return connection_->SyncedWithoutErrors(errorsBefore);
}

}  // namespace korvix::platform
