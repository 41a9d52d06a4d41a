#pragma once

// One surface of an open dialog (the frame or one page): a Win32 dialog window made from
// the template's resource, whose controls the logic addresses by id. It implements the
// logic's control operations with the controls' messages and turns the notifications the
// dialog procedure receives into the logic's events.
//
// Only the user's actions become events. The one control message that notifies its parent
// of a change the logic made itself is WM_SETTEXT on an edit (EN_CHANGE); the surface
// ignores notifications while it applies the logic's own changes.
//
// Thread-bound to the dialog's thread. Win32 backend only: includes <windows.h>.

#include <windows.h>

#include <map>
#include <string>

#include "dialogs/DialogControls.h"

namespace korvix::dialogs::win32 {

class Win32Surface final : public DialogControls {
  public:
    // `window` is the dialog window made from `dialogTemplate` (null for a surface that
    // has no controls); `page` is -1 for the frame, else the page's index. Makes each
    // spin control the buddy of the template's edit.
    Win32Surface(HWND window, const DialogTemplate &dialogTemplate, int page, DialogLogic &logic);

    HWND Window() const { return window_; }

    // The dialog procedure's messages: WM_COMMAND from control `id` with `code`, and
    // WM_HSCROLL from `control`. Each becomes the logic's event when it is a user's action
    // the logic knows.
    void Command(int id, int code);
    void Scroll(HWND control, int code);

    void SetText(int id, const std::string &text) override;
    std::string GetText(int id) const override;
    void SetSliderRange(int id, int minimum, int maximum) override;
    void SetSliderPosition(int id, int position) override;
    int GetSliderPosition(int id) const override;
    void SetSliderTicks(int id, int every) override;
    void SetSpinRange(int id, int minimum, int maximum) override;
    void Enable(int id, bool enabled) override;
    bool IsEnabled(int id) const override;
    void Show(int id, bool shown) override;
    bool IsShown(int id) const override;
    void ListClear(int id) override;
    int ListAdd(int id, const std::string &text) override;
    void ListInsert(int id, int index, const std::string &text) override;
    void ListDelete(int id, int index) override;
    void ListSelect(int id, int index) override;
    int ListSelection(int id) const override;
    int ListCount(int id) const override;
    std::string ListText(int id, int index) const override;
    void SetChecked(int id, bool checked) override;
    bool IsChecked(int id) const override;
    void TabAdd(int id, const std::string &caption) override;
    void TabSelect(int id, int index) override;
    int TabCurrent(int id) const override;

  private:
    // The control `id` when the template makes it a `kind`; null otherwise.
    HWND Control(int id, ControlKind kind) const;
    // Any addressed control of the template.
    HWND AnyControl(int id) const;
    // Sends a message whose notifications are the logic's own doing, not the user's.
    LRESULT Quietly(HWND control, UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND window_;
    int page_;
    DialogLogic &logic_;
    std::map<int, ControlKind> kinds_;  // the addressed controls of the template
    mutable int quiet_ = 0;             // >0 while the logic's own change is applied
};

}  // namespace korvix::dialogs::win32
