#pragma once

// The boundary between the library and the module that shows dialogs on screen.
//
// The GTK host is a separate shared module, so that applications that never open a dialog
// never load GTK. The library loads it with dlopen on the first dialog and looks up one
// C-linkage entry, kDialogHostEntry:
//
//   extern "C" int korvix_dialog_host_run(const korvix::dialogs::DialogRequest *request);
//
// The module builds the frame and pages of the request from their templates, calls
// logic->OnInit, runs a modal loop on the calling thread (the parent window, when given,
// is made insensitive meanwhile), feeds the user's actions to the logic, calls
// logic->OnDestroy when the loop ends, and returns the value given to EndDialog (1 OK,
// 2 Cancel). When it cannot show the dialog at all (no display, an interface version it
// does not know) it returns kDialogHostUnavailable without calling the logic. It is called
// on one thread at a time per process (the library serialises dialogs), never throws, and
// uses only the virtual operations of the logic and the data of the request.
//
// Where the module lives: kDialogModuleFileName in the directory of the library file
// (found with dladdr on the library's own code), or the full path in the environment
// variable KORVIX_DIALOG_MODULE, which wins when set.
//
// On Windows there is no module: the Win32 host (dialogs/win32) is part of the library and
// answers to the same request, on the calling thread.

#include <functional>
#include <vector>

#include "dialogs/DialogControls.h"
#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {

inline constexpr const char *kDialogHostEntry = "korvix_dialog_host_run";
inline constexpr const char *kDialogModuleFileName = "libKorvixSdk_TesslinDialogs.so";
inline constexpr const char *kDialogModuleVariable = "KORVIX_DIALOG_MODULE";
// Raised whenever DialogRequest, DialogHost, DialogControls or DialogLogic change shape.
inline constexpr int kDialogInterfaceVersion = 1;
// What a host's run answers when it could not show the dialog.
inline constexpr int kDialogHostUnavailable = -1;

struct DialogRequest {
    int interfaceVersion = kDialogInterfaceVersion;
    void *parent = nullptr;  // the application's window (X11 window id, HWND), may be null
    DialogLogic *logic = nullptr;
    const DialogTemplate *frame = nullptr;         // logic->FrameTemplate() in the language
    const DialogTemplate *const *pages = nullptr;  // logic->PageTemplates(), same order
    int pageCount = 0;
};

using DialogHostEntry = int (*)(const DialogRequest *request);

// Shows `logic`'s dialog modally on the calling thread in the language of the locale and
// returns its result (1 OK, 2 Cancel), or kDialogHostUnavailable when no host could show
// it (module missing or not loadable, no display). Loads the module on first use and keeps
// it loaded. One dialog at a time per process: a second caller waits for the first.
int RunDialog(DialogLogic &logic, void *parent);

// Tests: replaces the module with `host` (the scripted host), or restores the module when
// empty. Not for use while a dialog runs.
using DialogHostFunction = std::function<int(const DialogRequest &request)>;
void SetDialogHostForTesting(DialogHostFunction host);

}  // namespace korvix::dialogs

// Declared for the module's definition, which must match it; exported from the module
// although everything else is built with hidden visibility.
extern "C" __attribute__((visibility("default"))) int korvix_dialog_host_run(
    const korvix::dialogs::DialogRequest *request);
