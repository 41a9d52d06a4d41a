#include "dialogs/gtk/GtkThread.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace korvix::dialogs::gtk {

namespace {

// Xlib error handlers are process-wide, and GDK installs its own when it opens a display:
// handlers that end the process on any error GDK did not trap, and on any lost connection,
// also those of the library's preview window, which has its own connection and handles its
// own errors. After GDK is up, errors are sorted by connection: GDK's go to GDK's
// handlers, all others to the handlers that were in place before GTK started.
struct XHandlers {
    XErrorHandler gdkError = nullptr;
    XIOErrorHandler gdkIoError = nullptr;
    XErrorHandler earlierError = nullptr;
    XIOErrorHandler earlierIoError = nullptr;
    Display *gdkDisplay = nullptr;
};
XHandlers xHandlers;  // written once on the GTK thread, before GDK's connection is used

int SortError(Display *display, XErrorEvent *event) {
    if (display == xHandlers.gdkDisplay || xHandlers.earlierError == nullptr) {
        return xHandlers.gdkError(display, event);
    }
    return xHandlers.earlierError(display, event);
}

int SortIoError(Display *display) {
    if (display == xHandlers.gdkDisplay || xHandlers.earlierIoError == nullptr) {
        return xHandlers.gdkIoError(display);
    }
    return xHandlers.earlierIoError(display);
}

// Initialises GTK on the calling thread; false when no display can be opened (GTK then
// tries again on the next call).
bool InitialiseGtk() {
    if (gdk_display_get_default() != nullptr) return true;
    // The library's own windows (the preview, an application's parent window) are X11
    // windows; a Wayland session would otherwise give the dialogs a different server.
    gdk_set_allowed_backends("x11");
    XInitThreads();  // Xlib is also used by the preview window's threads
    const XErrorHandler earlierError = XSetErrorHandler(nullptr);
    XSetErrorHandler(earlierError);
    const XIOErrorHandler earlierIoError = XSetIOErrorHandler(nullptr);
    XSetIOErrorHandler(earlierIoError);
    if (!gtk_init_check(nullptr, nullptr)) return false;
    xHandlers.earlierError = earlierError;
    xHandlers.earlierIoError = earlierIoError;
    xHandlers.gdkDisplay = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    xHandlers.gdkError = XSetErrorHandler(SortError);
    xHandlers.gdkIoError = XSetIOErrorHandler(SortIoError);
    return true;
}

struct Request {
    const std::function<void()> *work = nullptr;
    GtkRunResult result = GtkRunResult::Ran;
    bool done = false;
};

// The module's GTK thread. Allocated once and never freed: the thread lives until the
// process ends and must find its queue intact while static objects are destroyed.
struct GtkThreadState {
    std::mutex mutex;  // guards queue, started and every Request::done/result
    std::condition_variable changed;
    std::deque<Request *> queue;
    bool started = false;
};

GtkThreadState &State() {
    static GtkThreadState *state = new GtkThreadState;
    return *state;
}

[[noreturn]] void ServeRequests(GtkThreadState &state) {
    for (;;) {
        Request *request = nullptr;
        {
            std::unique_lock lock(state.mutex);
            state.changed.wait(lock, [&] { return !state.queue.empty(); });
            request = state.queue.front();
            state.queue.pop_front();
        }
        const bool ready = InitialiseGtk();
        if (ready) (*request->work)();
        std::lock_guard lock(state.mutex);
        request->result = ready ? GtkRunResult::Ran : GtkRunResult::NoDisplay;
        request->done = true;
        state.changed.notify_all();
    }
}

GtkRunResult RunInApplicationsGtk(const std::function<void()> &work) {
    // The context's owner is the thread that runs GTK's main loop; a thread that can
    // acquire it is the only one running GTK code at this moment.
    if (!g_main_context_acquire(nullptr)) return GtkRunResult::ForeignThread;
    work();
    g_main_context_release(nullptr);
    return GtkRunResult::Ran;
}

}  // namespace

GtkRunResult RunOnGtkThread(const std::function<void()> &work) {
    GtkThreadState &state = State();
    std::unique_lock lock(state.mutex);
    if (!state.started && gdk_display_get_default() != nullptr) {
        lock.unlock();
        return RunInApplicationsGtk(work);
    }
    if (!state.started) {
        std::thread(ServeRequests, std::ref(state)).detach();
        state.started = true;
    }
    Request request;
    request.work = &work;
    state.queue.push_back(&request);
    state.changed.notify_all();
    state.changed.wait(lock, [&] { return request.done; });
    return request.result;
}

}  // namespace korvix::dialogs::gtk
