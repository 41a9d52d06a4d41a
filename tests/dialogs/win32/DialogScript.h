#pragma once

// Playing the user of a dialog that the Win32 host shows on this thread: the test's script
// runs on the dialog's thread, from inside its modal loop, once the dialog is shown and
// painted; it gets the frame's window and drives the real controls with their messages.

#include <windows.h>

#include <functional>
#include <string>

#include "dialogs/DialogTemplate.h"

namespace korvix::test {

// Armed from construction to destruction, for the next dialog shown on this thread. After
// the script the dialog is cancelled unless the script ended it. One at a time per thread.
class DialogScript {
  public:
    explicit DialogScript(std::function<void(HWND frame)> script);
    ~DialogScript();
    DialogScript(const DialogScript &) = delete;
    DialogScript &operator=(const DialogScript &) = delete;

    bool Ran() const { return ran_; }

    // Run by the timer the activation sets; not for tests.
    void RunOn(HWND frame);

  private:
    std::function<void(HWND)> script_;
    bool ran_ = false;
};

// The page dialog inside `frame` that holds every addressed control of `page`.
HWND PageWindow(HWND frame, const dialogs::DialogTemplate &page);
std::wstring WindowText(HWND window);

}  // namespace korvix::test
