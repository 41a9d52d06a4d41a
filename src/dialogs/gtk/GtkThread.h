#pragma once

// Which thread runs GTK. GTK is initialised once per process and must afterwards be used
// from one thread only, while the dialog exports may be called from any application
// thread, one after another or from different threads over the life of the process.
//
// The rule:
// - Normally the module starts one thread of its own at the first dialog, initialises GTK
//   there and keeps the thread for the life of the process. Every dialog runs on it; the
//   calling thread waits until the dialog closes, so the dialog is modal for the caller
//   whichever thread that is. Dialogs are serialised: a second request waits for the first
//   dialog to close.
// - When the application has initialised GTK itself before the first dialog (a GTK
//   application), GTK belongs to the application's GUI thread: a dialog runs in place on
//   the calling thread, in a nested main loop, when that thread can take GTK's main
//   context (it runs the main loop, as a signal handler does, or no loop runs at the
//   moment), and is refused while the application's loop runs on another thread.
//
// Thread-safe: Run may be called from any thread at any time.

#include <functional>

namespace korvix::dialogs::gtk {

enum class GtkRunResult {
    Ran,           // `work` ran on GTK's thread and has returned
    NoDisplay,     // GTK could not open a display; `work` did not run
    ForeignThread  // the application owns GTK on another thread; `work` did not run
};

// Runs `work` on the thread that owns GTK, with GTK initialised, and returns when it has
// returned. Blocks the caller for as long as `work` runs (a modal dialog: until it closes).
// A display that could not be opened is tried again on the next call.
GtkRunResult RunOnGtkThread(const std::function<void()> &work);

}  // namespace korvix::dialogs::gtk
