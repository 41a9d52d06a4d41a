#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/window/Window.h"

namespace korvix::platform {

// One display connection of the library's own. The application's thread creates and
// destroys windows on it while a worker draws: `lock` serialises both, so the library
// never relies on the application having made Xlib thread-safe, and the application's
// own connection is never touched.
//
// Protocol errors on this connection (a parent window that vanished, a server that
// refuses shared memory) are counted instead of ending the process: the library installs
// one process-wide error handler that counts errors of its own connections and hands
// every other error to the handler that was there before.
struct WindowConnection {
    // Opens the default display; null when there is none or it has no true-colour visual.
    static std::shared_ptr<WindowConnection> Open();

    WindowConnection() = default;
    ~WindowConnection();
    WindowConnection(const WindowConnection &) = delete;
    WindowConnection &operator=(const WindowConnection &) = delete;

    // XSync, then true when the server reported no error after `errorsBefore` and the
    // connection is still up. Called with `lock` held.
    bool SyncedWithoutErrors(unsigned long errorsBefore);

    // Reads queued events; a window manager's request to close one of the library's
    // top-level windows withdraws that window (it stays valid but is no longer visible).
    // Called with `lock` held.
    void HandleEvents();

    unsigned long ErrorCount() const { return errors.load(); }
    bool Usable() const { return display != nullptr && !lost.load(); }

    std::mutex lock;  // guards every use of `display`; the fields below are set once by Open
    Display *display = nullptr;
    int screen = 0;
    Visual *visual = nullptr;  // a true-colour visual: the default one when it is
    int depth = 0;
    Colormap colormap = 0;
    bool ownsColormap = false;
    bool sharedMemory = false;  // the server offers MIT-SHM images (it may still refuse them)
    Atom wmProtocols = 0;
    Atom wmDeleteWindow = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;

    std::atomic<unsigned long> errors{0};  // protocol errors reported on this connection
    std::atomic<bool> lost{false};         // the connection to the server broke
};

}  // namespace korvix::platform
