#include "system/MessageInbox.h"

#include <windows.h>

#include <map>
#include <thread>

namespace korvix::test {

// Windows: the library posts to real windows. The inbox runs a thread of its own with
// message-only windows and a message loop, as an application's window thread would; their
// window procedure records what arrives.
struct MessageInbox::Delivery {
    static constexpr UINT kMakeWindow = WM_APP + 1;  // thread message: wParam = tag
    static constexpr const char *kClassName = "KorvixTestMessageInbox";

    explicit Delivery(MessageInbox &inbox) : inbox(inbox) {
        thread = std::thread([this] { Run(); });
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return threadId != 0; });
    }

    ~Delivery() {
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        thread.join();
    }

    HWND WindowOf(uintptr_t tag) {
        std::unique_lock lock(mutex);
        if (auto it = windows.find(tag); it != windows.end()) return it->second;
        PostThreadMessageA(threadId, kMakeWindow, tag, 0);
        changed.wait(lock, [&] { return windows.count(tag) != 0; });
        return windows[tag];
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto *self = reinterpret_cast<Delivery *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && (message >= WM_USER || message == WM_DEVICECHANGE)) {
            self->inbox.Deliver(window, message, wParam, lParam);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void Run() {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its queue
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExA(&windowClass);  // fails harmlessly when an earlier inbox registered it
        {
            std::lock_guard guard(mutex);
            threadId = GetCurrentThreadId();
        }
        changed.notify_all();
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == kMakeWindow) {
                MakeWindow(static_cast<uintptr_t>(msg.wParam));
                continue;
            }
            DispatchMessageA(&msg);
        }
        for (auto &[tag, window] : windows) DestroyWindow(window);
    }

    void MakeWindow(uintptr_t tag) {
        HWND window = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard guard(mutex);
            windows[tag] = window;
        }
        changed.notify_all();
    }

    MessageInbox &inbox;
    std::thread thread;
    std::mutex mutex;  // guards threadId and windows
    std::condition_variable changed;
    DWORD threadId = 0;
    std::map<uintptr_t, HWND> windows;
};

MessageInbox::MessageInbox() : delivery_(std::make_unique<Delivery>(*this)) {}

MessageInbox::~MessageInbox() { delivery_.reset(); }

KorvixWindow MessageInbox::Window(uintptr_t tag) { return delivery_->WindowOf(tag); }

bool MessageInbox::SeesMessagesToNoWindow() { return false; }

}  // namespace korvix::test
