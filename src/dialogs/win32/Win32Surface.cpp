#include "dialogs/win32/Win32Surface.h"

#include <commctrl.h>

#include <algorithm>

#include "dialogs/win32/Win32Text.h"

namespace korvix::dialogs::win32 {

namespace {

std::wstring WindowText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

bool IsToggle(ControlKind kind) {
    return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton;
}

}  // namespace

Win32Surface::Win32Surface(HWND window, const DialogTemplate &dialogTemplate, int page,
                           DialogLogic &logic)
    : window_(window), page_(page), logic_(logic) {
    for (const ControlTemplate &control : dialogTemplate.controls) {
        if (control.id != kUnaddressedControl) kinds_[control.id] = control.kind;
    }
    for (const ControlTemplate &control : dialogTemplate.controls) {
        if (control.kind != ControlKind::Spin) continue;
        HWND spin = Control(control.id, ControlKind::Spin);
        HWND buddy = Control(control.buddy, ControlKind::Edit);
        if (spin != nullptr && buddy != nullptr) {
            Quietly(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
        }
    }
}

HWND Win32Surface::AnyControl(int id) const {
    if (window_ == nullptr || kinds_.count(id) == 0) return nullptr;
    return GetDlgItem(window_, id);
}

HWND Win32Surface::Control(int id, ControlKind kind) const {
    const auto found = kinds_.find(id);
    return found != kinds_.end() && found->second == kind ? AnyControl(id) : nullptr;
}

LRESULT Win32Surface::Quietly(HWND control, UINT message, WPARAM wParam, LPARAM lParam) const {
    ++quiet_;
    const LRESULT result = SendMessageW(control, message, wParam, lParam);
    --quiet_;
    return result;
}

void Win32Surface::Command(int id, int code) {
    const auto found = kinds_.find(id);
    if (quiet_ > 0 || found == kinds_.end()) return;
    switch (found->second) {
        case ControlKind::Edit:
            if (code == EN_CHANGE) logic_.OnCommand(page_, id, Notification::EditChanged);
            return;
        case ControlKind::DropDownList:
            if (code == CBN_SELCHANGE) logic_.OnCommand(page_, id, Notification::SelectionChanged);
            return;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::PushButton:
            // Escape and the close box arrive as IDCANCEL with BN_CLICKED's code, 0.
            if (code == BN_CLICKED) logic_.OnCommand(page_, id, Notification::Clicked);
            return;
        default:
            return;
    }
}

void Win32Surface::Scroll(HWND control, int code) {
    // The thumb's release repeats the last position; the moves before it reported it.
    if (quiet_ > 0 || control == nullptr || code == TB_ENDTRACK) return;
    const int id = GetDlgCtrlID(control);
    if (Control(id, ControlKind::Slider) != control) return;
    logic_.OnSliderMoved(page_, id, GetSliderPosition(id));
}

void Win32Surface::SetText(int id, const std::string &text) {
    HWND control = AnyControl(id);
    if (control == nullptr) return;
    const std::wstring wide = Utf16(text);
    Quietly(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string Win32Surface::GetText(int id) const {
    HWND control = AnyControl(id);
    return control == nullptr ? std::string() : Utf8(WindowText(control));
}

void Win32Surface::SetSliderRange(int id, int minimum, int maximum) {
    HWND slider = Control(id, ControlKind::Slider);
    if (slider == nullptr) return;
    Quietly(slider, TBM_SETRANGEMIN, FALSE, minimum);
    Quietly(slider, TBM_SETRANGEMAX, TRUE, std::max(minimum, maximum));
}

void Win32Surface::SetSliderPosition(int id, int position) {
    if (HWND slider = Control(id, ControlKind::Slider)) {
        Quietly(slider, TBM_SETPOS, TRUE, position);  // the trackbar clamps it to its range
    }
}

int Win32Surface::GetSliderPosition(int id) const {
    HWND slider = Control(id, ControlKind::Slider);
    return slider == nullptr ? 0 : static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
}

void Win32Surface::SetSliderTicks(int id, int every) {
    HWND slider = Control(id, ControlKind::Slider);
    if (slider == nullptr) return;
    if (every > 0) {
        Quietly(slider, TBM_SETTICFREQ, static_cast<WPARAM>(every), 0);
    } else {
        Quietly(slider, TBM_CLEARTICS, TRUE, 0);
    }
}

void Win32Surface::SetSpinRange(int id, int minimum, int maximum) {
    if (HWND spin = Control(id, ControlKind::Spin)) {
        Quietly(spin, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    }
}

void Win32Surface::Enable(int id, bool enabled) {
    if (HWND control = AnyControl(id)) EnableWindow(control, enabled ? TRUE : FALSE);
}

bool Win32Surface::IsEnabled(int id) const {
    HWND control = AnyControl(id);
    return control != nullptr && IsWindowEnabled(control) != FALSE;
}

void Win32Surface::Show(int id, bool shown) {
    if (HWND control = AnyControl(id)) ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

bool Win32Surface::IsShown(int id) const {
    // The control's own state, whether or not its page is on screen.
    HWND control = AnyControl(id);
    return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Surface::ListClear(int id) {
    if (HWND list = Control(id, ControlKind::DropDownList)) Quietly(list, CB_RESETCONTENT, 0, 0);
}

int Win32Surface::ListAdd(int id, const std::string &text) {
    HWND list = Control(id, ControlKind::DropDownList);
    if (list == nullptr) return -1;
    const std::wstring wide = Utf16(text);
    const LRESULT index = Quietly(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return index < 0 ? -1 : static_cast<int>(index);
}

void Win32Surface::ListInsert(int id, int index, const std::string &text) {
    HWND list = Control(id, ControlKind::DropDownList);
    const int count = ListCount(id);
    if (list == nullptr || index < 0 || index > count) return;
    const std::wstring wide = Utf16(text);
    // -1 appends; an index equal to the count is the same place.
    Quietly(list, CB_INSERTSTRING, index == count ? static_cast<WPARAM>(-1) : index,
            reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32Surface::ListDelete(int id, int index) {
    HWND list = Control(id, ControlKind::DropDownList);
    if (list == nullptr || index < 0 || index >= ListCount(id)) return;
    Quietly(list, CB_DELETESTRING, index, 0);
}

void Win32Surface::ListSelect(int id, int index) {
    HWND list = Control(id, ControlKind::DropDownList);
    if (list == nullptr) return;
    const int selected = index >= 0 && index < ListCount(id) ? index : -1;
    Quietly(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

int Win32Surface::ListSelection(int id) const {
    HWND list = Control(id, ControlKind::DropDownList);
    return list == nullptr ? -1 : static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

int Win32Surface::ListCount(int id) const {
    HWND list = Control(id, ControlKind::DropDownList);
    if (list == nullptr) return 0;
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<int>(count);
}

std::string Win32Surface::ListText(int id, int index) const {
    HWND list = Control(id, ControlKind::DropDownList);
    if (list == nullptr || index < 0 || index >= ListCount(id)) return {};
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, index, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return Utf8(text);
}

void Win32Surface::SetChecked(int id, bool checked) {
    HWND control = AnyControl(id);
    if (control == nullptr || !IsToggle(kinds_.at(id))) return;
    Quietly(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Surface::IsChecked(int id) const {
    HWND control = AnyControl(id);
    if (control == nullptr || !IsToggle(kinds_.at(id))) return false;
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Surface::TabAdd(int id, const std::string &caption) {
    HWND tab = Control(id, ControlKind::Tab);
    if (tab == nullptr) return;
    std::wstring text = Utf16(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    const LRESULT count = SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0);
    Quietly(tab, TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
}

void Win32Surface::TabSelect(int id, int index) {
    if (HWND tab = Control(id, ControlKind::Tab)) Quietly(tab, TCM_SETCURSEL, index, 0);
}

int Win32Surface::TabCurrent(int id) const {
    HWND tab = Control(id, ControlKind::Tab);
    return tab == nullptr ? -1 : static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
}

}  // namespace korvix::dialogs::win32
