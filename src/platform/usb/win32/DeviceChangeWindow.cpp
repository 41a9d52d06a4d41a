#include "platform/usb/win32/DeviceChangeWindow.h"

#include <windows.h>
// windows.h first: dbt.h uses its types.
#include <dbt.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "platform/usb/win32/WindowDeviceNotification.h"

namespace korvix::platform::usb::win32 {
namespace {

// The window class is registered while a window of it exists and unregistered by the last
// window to go, so a library unloaded and loaded again never finds the class with a window
// procedure of its previous copy. This lock makes "register, create" and "destroy,
// unregister" indivisible among the windows of the process.
std::mutex classLock;

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

// Guid keeps the memory layout of a Win32 GUID.
GUID ToWin32(const Guid &guid) {
    static_assert(sizeof(GUID) == sizeof(Guid));
    GUID result;
    std::memcpy(&result, &guid, sizeof(result));
    return result;
}

// The interface path of a broadcast, bounded by the record's size, in lower case as the
// driver port lists paths.
std::string PathOf(const DEV_BROADCAST_DEVICEINTERFACE_A &broadcast) {
    const size_t nameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
    if (broadcast.dbcc_size <= nameAt) return {};
    const size_t limit = broadcast.dbcc_size - nameAt;
    std::string path(broadcast.dbcc_name, strnlen(broadcast.dbcc_name, limit));
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return path;
}

}  // namespace

struct DeviceChangeWindow::Thread {
    Thread(DeviceChangeNotifier &notifier, const Guid &interfaceGuid)
        : notifier(notifier), interfaceGuid(interfaceGuid), guid(ToWin32(interfaceGuid)) {}

    void Run(std::promise<bool> started) {
        const HMODULE module = ThisModule();
        {
            std::lock_guard lock(classLock);
            WNDCLASSEXA windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.lpfnWndProc = &WindowProc;
            windowClass.hInstance = module;
            windowClass.lpszClassName = kDeviceChangeWindowClass;
            // Another window of the process may hold the class already; that one serves.
            if (RegisterClassExA(&windowClass) == 0 &&
                GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
                started.set_value(false);
                return;
            }
            window = CreateWindowExA(0, kDeviceChangeWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, module, this);
        }
        if (window != nullptr)
            registration = RegisterWindowForDeviceInterfaces(window, interfaceGuid);
        if (registration == 0) {
            if (window != nullptr) DestroyWindow(window);
            ReleaseClass(module);
            started.set_value(false);
            return;
        }
        started.set_value(true);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        ReleaseClass(module);
    }

    static void ReleaseClass(HMODULE module) {
        std::lock_guard lock(classLock);
        // Fails while other windows of the class exist; the last of them unregisters it.
        UnregisterClassA(kDeviceChangeWindowClass, module);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto *create = reinterpret_cast<const CREATESTRUCTA *>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto *self = reinterpret_cast<Thread *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        switch (message) {
            case WM_DEVICECHANGE:
                if (self != nullptr) self->Announce(wParam, lParam);
                return TRUE;
            case WM_DESTROY:
                if (self != nullptr) {
                    UnregisterWindowForDeviceInterfaces(self->registration);
                    self->registration = 0;
                }
                PostQuitMessage(0);
                return 0;
            default:
                return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    void Announce(WPARAM event, LPARAM record) {
        if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
        const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(record);
        if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
        const auto &broadcast = *reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A *>(record);
        if (!IsEqualGUID(broadcast.dbcc_classguid, guid)) return;
        notifier.Post(event == DBT_DEVICEARRIVAL ? DeviceChange::Arrival : DeviceChange::Removal,
                      PathOf(broadcast));
    }

    DeviceChangeNotifier &notifier;
    const Guid interfaceGuid;
    const GUID guid;  // the same, for comparing with broadcasts
    // Written by the window's thread before `started` is set, read by the owner after.
    HWND window = nullptr;
    uintptr_t registration = 0;  // the window's thread only, once started
    bool started = false;
    std::thread thread;
};

DeviceChangeWindow::DeviceChangeWindow(DeviceChangeNotifier &notifier, const Guid &interfaceGuid)
    : thread_(std::make_unique<Thread>(notifier, interfaceGuid)) {
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    Thread *state = thread_.get();
    state->thread = std::thread(
        [state, started = std::move(started)]() mutable { state->Run(std::move(started)); });
    state->started = result.get();
    if (!state->started) state->thread.join();
}

DeviceChangeWindow::~DeviceChangeWindow() {
    if (!thread_->started) return;
    // The default handling of WM_CLOSE destroys the window; its WM_DESTROY ends the
    // registration and the message loop.
    PostMessageA(thread_->window, WM_CLOSE, 0, 0);
    thread_->thread.join();
}

bool DeviceChangeWindow::Started() const {
    return thread_->started;
}

}  // namespace korvix::platform::usb::win32
