#include "dialogs/win32/Win32DialogHost.h"

#include <commctrl.h>

#include <cctype>
#include <exception>

#include "dialogs/win32/Win32Text.h"

namespace korvix::dialogs::win32 {

namespace {

// Posted to the frame when work from DialogHost::Post is waiting.
constexpr UINT kPostedWorkMessage = WM_APP + 0x4B;
constexpr int kTabControl = 1001;

// The one dialog procedure of the frame and of the pages: the host rides in DWLP_USER,
// put there by WM_INITDIALOG (the frame's and each page's lParam is the host). Nothing
// may leave it as an exception: the frames below it are the system's.
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto *host = reinterpret_cast<Win32DialogHost *>(GetWindowLongPtrA(window, DWLP_USER));
    if (host == nullptr) return FALSE;
    try {
        return host->Handle(window, message, wParam, lParam);
    } catch (const std::exception &) {
        // Out of memory inside the logic: the dialog cannot go on.
        HWND frame = GetAncestor(window, GA_ROOT);
        ::EndDialog(frame != nullptr ? frame : window, kDialogHostUnavailable);
        return TRUE;
    }
}

}  // namespace

std::string ResourceName(const DialogTemplate &dialogTemplate) {
    std::string name = dialogTemplate.name;
    for (char &c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name + (dialogTemplate.language == Language::Japanese ? "_JA" : "_EN");
}

Win32DialogHost::Win32DialogHost(const DialogRequest &request, HINSTANCE module)
    : request_(request), logic_(*request.logic), module_(module) {}

Win32DialogHost::~Win32DialogHost() = default;

int Win32DialogHost::Run() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES;
    InitCommonControlsEx(&classes);
    // The application's window, when it still is one, owns the dialog and is disabled
    // while it runs.
    HWND parent = static_cast<HWND>(request_.parent);
    if (parent != nullptr && IsWindow(parent) == FALSE) parent = nullptr;
    const INT_PTR result = DialogBoxParamA(module_, ResourceName(*request_.frame).c_str(), parent,
                                           DialogProcedure, reinterpret_cast<LPARAM>(this));
    StopPosting();
    return result < 0 ? kDialogHostUnavailable : static_cast<int>(result);
}

INT_PTR Win32DialogHost::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // A page's own WM_INITDIALOG arrives while the frame's is being handled; the
            // focus stays with the frame's first control.
            if (frameWindow_ != nullptr) return FALSE;
            if (!Initialise(window)) ::EndDialog(window, kDialogHostUnavailable);
            return TRUE;
        case WM_COMMAND:
            if (Win32Surface *surface = reporting_ ? SurfaceOf(window) : nullptr) {
                surface->Command(LOWORD(wParam), HIWORD(wParam));
            }
            return TRUE;
        case WM_HSCROLL:
            if (Win32Surface *surface = reporting_ ? SurfaceOf(window) : nullptr) {
                surface->Scroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            }
            return TRUE;
        case WM_NOTIFY: {
            const auto *header = reinterpret_cast<const NMHDR *>(lParam);
            if (reporting_ && window == frameWindow_ && header->idFrom == kTabControl &&
                header->code == static_cast<UINT>(TCN_SELCHANGE)) {
                logic_.OnTabChanged(frame_->TabCurrent(kTabControl));
                return TRUE;
            }
            return FALSE;
        }
        case WM_DRAWITEM: {
            const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
            if (window != frameWindow_ || item->CtlType != ODT_TAB) return FALSE;
            DrawTab(*item);
            return TRUE;
        }
        case kPostedWorkMessage:
            RunPosted();
            return TRUE;
        case WM_DESTROY:
            if (window == frameWindow_ && initialised_) {
                // The controls still exist: the pages go after the frame's WM_DESTROY.
                initialised_ = false;
                reporting_ = false;
                logic_.OnDestroy();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

bool Win32DialogHost::Initialise(HWND frame) {
    frameWindow_ = frame;
    frame_ = std::make_unique<Win32Surface>(frame, *request_.frame, -1, logic_);
    noPage_ = std::make_unique<Win32Surface>(nullptr, DialogTemplate{}, -1, logic_);
    if (!MakePages()) return false;
    initialised_ = true;
    logic_.OnInit(*this);
    reporting_ = !ended_;
    return true;
}

bool Win32DialogHost::MakePages() {
    // A page lies at the frame's page origin inside the tab control, in the frame's dialog
    // units.
    const DialogTemplate &frame = *request_.frame;
    RECT origin{frame.pageOriginX, frame.pageOriginY, 0, 0};
    for (const ControlTemplate &control : frame.controls) {
        if (control.kind == ControlKind::Tab) {
            origin.left += control.x;
            origin.top += control.y;
        }
    }
    MapDialogRect(frameWindow_, &origin);
    for (int index = 0; index < request_.pageCount; ++index) {
        const DialogTemplate &page = *request_.pages[index];
        HWND window = CreateDialogParamA(module_, ResourceName(page).c_str(), frameWindow_,
                                         DialogProcedure, reinterpret_cast<LPARAM>(this));
        if (window == nullptr) return false;
        // Above the tab control, which clips its siblings; hidden until the logic shows it.
        SetWindowPos(window, HWND_TOP, origin.left, origin.top, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        pages_.push_back(std::make_unique<Win32Surface>(window, page, index, logic_));
    }
    return true;
}

Win32Surface *Win32DialogHost::SurfaceOf(HWND window) {
    if (frame_ != nullptr && frame_->Window() == window) return frame_.get();
    for (auto &page : pages_) {
        if (page->Window() == window) return page.get();
    }
    return nullptr;
}

void Win32DialogHost::DrawTab(const DRAWITEMSTRUCT &item) const {
    // Each tab is filled with the face colour and its caption centred in it.
    wchar_t caption[128] = {};
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption;
    tab.cchTextMax = static_cast<int>(sizeof caption / sizeof caption[0]);
    SendMessageW(item.hwndItem, TCM_GETITEMW, item.itemID, reinterpret_cast<LPARAM>(&tab));
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font != nullptr ? SelectObject(item.hDC, font) : nullptr;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (previous != nullptr) SelectObject(item.hDC, previous);
}

DialogControls &Win32DialogHost::Frame() {
    return *frame_;
}

DialogControls &Win32DialogHost::Page(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return *noPage_;
    return *pages_[static_cast<size_t>(index)];
}

void Win32DialogHost::ShowPage(int index, bool shown) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    ShowWindow(pages_[static_cast<size_t>(index)]->Window(), shown ? SW_SHOW : SW_HIDE);
}

void Win32DialogHost::ShowMessage(const std::string &text) {
    MessageBoxW(frameWindow_, Utf16(text).c_str(), Utf16(request_.frame->title).c_str(),
                MB_OK | MB_ICONINFORMATION);
}

void Win32DialogHost::EndDialog(int result) {
    if (ended_) return;
    ended_ = true;
    reporting_ = false;
    ::EndDialog(frameWindow_, result);  // the loop ends once the current message is handled
}

void Win32DialogHost::Post(std::function<void()> work) {
    std::lock_guard hold(postLock_);
    if (!accepting_ || frameWindow_ == nullptr) return;
    posted_.push_back(std::move(work));
    PostMessageA(frameWindow_, kPostedWorkMessage, 0, 0);
}

void Win32DialogHost::RunPosted() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard hold(postLock_);
            if (posted_.empty() || ended_) return;
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }
}

void Win32DialogHost::StopPosting() {
    std::lock_guard hold(postLock_);
    accepting_ = false;
    posted_.clear();
}

}  // namespace korvix::dialogs::win32
