#pragma once

// One open dialog shown with GTK: the window built from the frame template, a surface per
// page placed over the frame's tab control, the logic driven by the user's actions, and
// the modal loop that runs until the logic ends the dialog.
//
// Thread-bound to GTK's thread (GtkThread.h), except Post, which any thread may call.

#include <gtk/gtk.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "dialogs/DialogModule.h"
#include "dialogs/gtk/GtkSurface.h"

namespace korvix::dialogs::gtk {

// Tests: called on GTK's thread with the dialog's GtkWindow once it is on screen, through
// the dialog's posted-work queue (so it runs inside the modal loop, like a user's action).
using DialogOpenedWatcher = void (*)(GtkWidget *window, void *context);
void SetDialogOpenedWatcher(DialogOpenedWatcher watcher, void *context);

class GtkDialogHost final : public DialogHost {
  public:
    explicit GtkDialogHost(const DialogRequest &request);
    ~GtkDialogHost() override;
    GtkDialogHost(const GtkDialogHost &) = delete;
    GtkDialogHost &operator=(const GtkDialogHost &) = delete;

    // Initialises the logic, shows the window and runs the modal loop; the result given to
    // EndDialog (1 OK, 2 Cancel).
    int Run();

    DialogControls &Frame() override;
    DialogControls &Page(int index) override;
    void ShowPage(int index, bool shown) override;
    void ShowMessage(const std::string &text) override;
    void EndDialog(int result) override;
    void Post(std::function<void()> work) override;

    // GTK callbacks' way back.
    void Cancel();
    void RunPosted();

  private:
    void BuildWindow();
    void PlacePages(const DialogUnits &units);
    void SetTransientParent();
    void StopPosting();

    const DialogRequest &request_;
    DialogLogic &logic_;
    GtkWidget *window_ = nullptr;
    GtkCssProvider *style_ = nullptr;
    std::unique_ptr<GtkSurface> frame_;
    std::vector<std::unique_ptr<GtkSurface>> pages_;
    std::unique_ptr<GtkSurface> noPage_;  // answers for a page index the dialog lacks
    GMainLoop *loop_ = nullptr;
    bool initialised_ = false;  // OnInit was called; OnDestroy is owed
    bool ended_ = false;
    int result_ = 2;

    std::mutex postLock_;  // guards posted_, accepting_ and drainSource_; a leaf
    std::deque<std::function<void()>> posted_;
    bool accepting_ = true;
    guint drainSource_ = 0;
};

}  // namespace korvix::dialogs::gtk
