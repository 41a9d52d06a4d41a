#include "platform/window/x11/X11Connection.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <map>

namespace korvix::platform {

namespace {

// The library's connections, for the error handler to recognise them.
struct ConnectionRegistry {
    std::mutex mutex;  // guards connections
    std::map<Display *, WindowConnection *> connections;
    XErrorHandler previousHandler = nullptr;      // set once, before any connection
    XIOErrorHandler previousIoHandler = nullptr;  // likewise
};

ConnectionRegistry &Registry() {
    static ConnectionRegistry registry;
    return registry;
}

int CountOrPassError(Display *display, XErrorEvent *event) {
    ConnectionRegistry &registry = Registry();
    XErrorHandler previous = nullptr;
    {
        std::lock_guard guard(registry.mutex);
        auto found = registry.connections.find(display);
        if (found != registry.connections.end()) {
            found->second->errors.fetch_add(1);
            return 0;
        }
        previous = registry.previousHandler;
    }
    return previous != nullptr ? previous(display, event) : 0;
}

// Called by Xlib first when a connection breaks. The default handler ends the process;
// for the library's own connections this one returns, and MarkConnectionLost follows.
int ReportOrPassIoError(Display *display) {
    ConnectionRegistry &registry = Registry();
    XIOErrorHandler previous = nullptr;
    {
        std::lock_guard guard(registry.mutex);
        auto found = registry.connections.find(display);
        if (found != registry.connections.end()) {
            found->second->lost.store(true);
            return 0;
        }
        previous = registry.previousIoHandler;
    }
    return previous != nullptr ? previous(display) : 0;
}

// Called by Xlib after the I/O error handler of a broken connection; returning (instead
// of the default exit) leaves the display unusable but the process running.
void MarkConnectionLost(Display *, void *connection) {
    static_cast<WindowConnection *>(connection)->lost.store(true);
}

void InstallErrorHandlerOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Makes Xlib safe for the application's threads too; harmless where it already is.
        XInitThreads();
        ConnectionRegistry &registry = Registry();
        std::lock_guard guard(registry.mutex);
        registry.previousHandler = XSetErrorHandler(CountOrPassError);
        registry.previousIoHandler = XSetIOErrorHandler(ReportOrPassIoError);
    });
}

bool ChooseTrueColorVisual(WindowConnection &connection) {
    Display *display = connection.display;
    Visual *defaultVisual = DefaultVisual(display, connection.screen);
    if (defaultVisual->c_class == TrueColor) {
        connection.visual = defaultVisual;
        connection.depth = DefaultDepth(display, connection.screen);
        connection.colormap = DefaultColormap(display, connection.screen);
        return true;
    }
    XVisualInfo info;
    for (int depth : {24, 32, 16}) {
        if (XMatchVisualInfo(display, connection.screen, depth, TrueColor, &info)) {
            connection.visual = info.visual;
            connection.depth = depth;
            connection.colormap = XCreateColormap(display, RootWindow(display, connection.screen),
                                                  info.visual, AllocNone);
            connection.ownsColormap = true;
            return true;
        }
    }
    return false;
}

}  // namespace

std::shared_ptr<WindowConnection> WindowConnection::Open() {
    InstallErrorHandlerOnce();
    Display *display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;

    auto connection = std::make_shared<WindowConnection>();
    connection->display = display;
    connection->screen = DefaultScreen(display);
    {
        ConnectionRegistry &registry = Registry();
        std::lock_guard guard(registry.mutex);
        registry.connections[display] = connection.get();
    }
    XSetIOErrorExitHandler(display, MarkConnectionLost, connection.get());
    if (!ChooseTrueColorVisual(*connection)) return nullptr;  // the destructor closes

    connection->sharedMemory = XShmQueryExtension(display) == True;
    connection->wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    connection->wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    connection->netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    connection->utf8String = XInternAtom(display, "UTF8_STRING", False);
    return connection;
}

WindowConnection::~WindowConnection() {
    if (display == nullptr) return;
    if (ownsColormap) XFreeColormap(display, colormap);
    // Still registered while closing, so errors of requests flushed now are counted.
    XCloseDisplay(display);
    ConnectionRegistry &registry = Registry();
    std::lock_guard guard(registry.mutex);
    // A connection opened meanwhile may have been given the same address; keep its entry.
    auto found = registry.connections.find(display);
    if (found != registry.connections.end() && found->second == this) {
        registry.connections.erase(found);
    }
}

bool WindowConnection::SyncedWithoutErrors(unsigned long errorsBefore) {
    if (!Usable()) return false;
    XSync(display, False);
    return Usable() && ErrorCount() == errorsBefore;
}

void WindowConnection::HandleEvents() {
    while (Usable() && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow) {
            XWithdrawWindow(display, event.xclient.window, screen);
        }
    }
}

}  // namespace korvix::platform
