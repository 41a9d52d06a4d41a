// The module's entries: the dialog host the library resolves with dlsym, and a hook for
// tests. Nothing else leaves the module.

#include <exception>

#include "dialogs/DialogModule.h"
#include "dialogs/gtk/GtkDialogHost.h"
#include "dialogs/gtk/GtkThread.h"

using korvix::dialogs::DialogRequest;
using korvix::dialogs::kDialogHostUnavailable;
using korvix::dialogs::kDialogInterfaceVersion;
using korvix::dialogs::gtk::GtkDialogHost;
using korvix::dialogs::gtk::GtkRunResult;

extern "C" int korvix_dialog_host_run(const DialogRequest *request) {
    if (request == nullptr || request->interfaceVersion != kDialogInterfaceVersion ||
        request->logic == nullptr || request->frame == nullptr ||
        (request->pageCount > 0 && request->pages == nullptr)) {
        return kDialogHostUnavailable;
    }
    int result = kDialogHostUnavailable;
    try {
        const GtkRunResult ran = korvix::dialogs::gtk::RunOnGtkThread([&] {
            // Runs on GTK's thread: nothing may leave it as an exception.
            try {
                GtkDialogHost host(*request);
                result = host.Run();
            } catch (const std::exception &) {
                result = kDialogHostUnavailable;
            }
        });
        return ran == GtkRunResult::Ran ? result : kDialogHostUnavailable;
    } catch (const std::exception &) {
        return kDialogHostUnavailable;
    }
}

// Tests: `opened(window, context)` runs on GTK's thread, inside the modal loop, once each
// later dialog is on screen, with its GtkWindow; null stops it.
extern "C" __attribute__((visibility("default"))) void korvix_dialog_host_watch_for_testing(
    void (*opened)(void *window, void *context), void *context) {
    korvix::dialogs::gtk::SetDialogOpenedWatcher(
        reinterpret_cast<korvix::dialogs::gtk::DialogOpenedWatcher>(opened), context);
}
