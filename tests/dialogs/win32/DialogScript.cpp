#include "DialogScript.h"

#include <gtest/gtest.h>

namespace korvix::test {

namespace {

DialogScript *armed = nullptr;
HHOOK activationHook = nullptr;

HWND ShownDialogOfThisThread() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) != "#32770" || IsWindowVisible(window) == FALSE) return TRUE;
            *reinterpret_cast<HWND *>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK RunArmedScript(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND frame = ShownDialogOfThisThread();
    if (frame == nullptr) {
        // Activated before being shown: look again at the loop's next turn.
        SetTimer(nullptr, 0, 0, RunArmedScript);
        return;
    }
    if (armed != nullptr) armed->RunOn(frame);
    // Whatever the script did or failed to do, the dialog ends.
    PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
}

// A modal dialog is shown, and so activated, once its modal loop first finds no message.
// The timer set then is dispatched by that loop after the dialog has painted (a timer
// comes after every other message), so the script meets the dialog as a user would.
LRESULT CALLBACK OnActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && GetParent(reinterpret_cast<HWND>(wParam)) == nullptr) {
        UnhookWindowsHookEx(activationHook);
        activationHook = nullptr;
        SetTimer(nullptr, 0, 0, RunArmedScript);
        return 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

DialogScript::DialogScript(std::function<void(HWND frame)> script) : script_(std::move(script)) {
    armed = this;
    activationHook = SetWindowsHookExA(WH_CBT, OnActivation, nullptr, GetCurrentThreadId());
    EXPECT_NE(activationHook, nullptr);
}

DialogScript::~DialogScript() {
    if (activationHook != nullptr) UnhookWindowsHookEx(activationHook);  // never shown
    activationHook = nullptr;
    armed = nullptr;
}

void DialogScript::RunOn(HWND frame) {
    ran_ = true;
    script_(frame);
}

HWND PageWindow(HWND frame, const dialogs::DialogTemplate &page) {
    for (HWND child = FindWindowExA(frame, nullptr, "#32770", nullptr); child != nullptr;
         child = FindWindowExA(frame, child, "#32770", nullptr)) {
        bool all = true;
        for (const dialogs::ControlTemplate &control : page.controls) {
            if (control.id != dialogs::kUnaddressedControl &&
                GetDlgItem(child, control.id) == nullptr) {
                all = false;
            }
        }
        if (all) return child;
    }
    return nullptr;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

}  // namespace korvix::test
