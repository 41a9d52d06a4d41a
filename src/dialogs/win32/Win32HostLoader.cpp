// The Win32 host is part of the library: no module to load, the dialog resources in the
// library's own file.
#include <windows.h>

#include <exception>

#include "dialogs/DialogHostLoader.h"
#include "dialogs/win32/Win32DialogHost.h"

namespace korvix::dialogs::detail {

namespace {

// The module this code is linked into (the DLL, or a test program linking the library
// statically), found from an address inside it so that no DllMain has to record it.
HINSTANCE OwnModule() {
    static const char anchor = 0;
    HMODULE module = nullptr;
    if (GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            &anchor, &module) == FALSE) {
        return nullptr;
    }
    return module;
}

int RunWin32Dialog(const DialogRequest *request) {
    if (request == nullptr || request->interfaceVersion != kDialogInterfaceVersion ||
        request->logic == nullptr || request->frame == nullptr ||
        (request->pageCount > 0 && request->pages == nullptr)) {
        return kDialogHostUnavailable;
    }
    HINSTANCE module = OwnModule();
    if (module == nullptr) return kDialogHostUnavailable;
    try {
        win32::Win32DialogHost host(*request, module);
        return host.Run();
    } catch (const std::exception &) {
        return kDialogHostUnavailable;
    }
}

}  // namespace

DialogHostEntry LoadDialogHost() {
    return &RunWin32Dialog;
}

}  // namespace korvix::dialogs::detail
