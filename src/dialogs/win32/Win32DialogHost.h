#pragma once

// One open dialog shown with Win32: the frame made with DialogBoxParamA from the frame
// template's resource, each page a child dialog (CreateDialogParamA) placed at the frame's
// page origin inside its tab control, the logic driven by the dialog procedures, and the
// system's modal loop, which runs until the logic ends the dialog.
//
// Thread-bound to the thread that runs the dialog, except Post, which any thread may call.
// Win32 backend only: includes <windows.h>.

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/DialogModule.h"
#include "dialogs/win32/Win32Surface.h"

namespace korvix::dialogs::win32 {

// The resource name of a template: its name in upper case and the language, "CAMERA_EN".
std::string ResourceName(const DialogTemplate &dialogTemplate);

class Win32DialogHost final : public DialogHost {
  public:
    // `module` holds the dialog resources.
    Win32DialogHost(const DialogRequest &request, HINSTANCE module);
    ~Win32DialogHost() override;
    Win32DialogHost(const Win32DialogHost &) = delete;
    Win32DialogHost &operator=(const Win32DialogHost &) = delete;

    // Shows the dialog modally and answers the result given to EndDialog (1 OK, 2 Cancel),
    // or kDialogHostUnavailable when the dialog could not be made.
    int Run();

    DialogControls &Frame() override;
    DialogControls &Page(int index) override;
    void ShowPage(int index, bool shown) override;
    void ShowMessage(const std::string &text) override;
    void EndDialog(int result) override;
    void Post(std::function<void()> work) override;

    // The dialog procedures' way back: a message of the frame or of a page.
    INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    bool Initialise(HWND frame);
    bool MakePages();
    Win32Surface *SurfaceOf(HWND window);
    void DrawTab(const DRAWITEMSTRUCT &item) const;
    void RunPosted();
    void StopPosting();

    const DialogRequest &request_;
    DialogLogic &logic_;
    HINSTANCE module_;
    HWND frameWindow_ = nullptr;
    std::unique_ptr<Win32Surface> frame_;
    std::vector<std::unique_ptr<Win32Surface>> pages_;
    std::unique_ptr<Win32Surface> noPage_;  // answers for a page index the dialog lacks
    bool initialised_ = false;              // OnInit was called; OnDestroy is owed
    bool reporting_ = false;                // the user's actions reach the logic
    bool ended_ = false;

    std::mutex postLock_;  // guards posted_ and accepting_; a leaf
    std::deque<std::function<void()>> posted_;
    bool accepting_ = true;
};

}  // namespace korvix::dialogs::win32
