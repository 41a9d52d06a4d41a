#pragma once

// The toolkit-free seam between the dialog logic (src/dialogs) and a host that shows the
// dialog (the GTK module, the scripted test host, a later Win32 build).
//
// A dialog is one frame (a modal window built from a frame template) and zero or more
// pages (child panels built from page templates, shown one at a time inside the frame's
// tab control 1001). The host builds every control of the templates, then drives the
// dialog's DialogLogic with events; the logic answers through DialogHost and one
// DialogControls per surface (the frame, each page). Control ids are those of the
// templates; ids repeat between pages (both image pages have a 2074), never inside one.
//
// Threads: everything here runs on the dialog's thread, the thread that called the
// export and runs the host's modal loop; the one exception is DialogHost::Post, which any
// thread may call while the dialog is open (see DialogLogic::PostToDialog for how the
// logic keeps that safe).
//
// Events are raised by the user only. No operation of DialogControls raises an event:
// a host must not report its own programmatic changes (GTK emits "changed" for them; the
// host blocks those signals while it applies a change). Where Win32 would have sent a
// notification for a programmatic change (SetDlgItemText sends EN_CHANGE), the logic
// calls its own handler itself.
//
// Values: texts are UTF-8; list, tab and selection indices are 0-based, -1 for "none".
// Operations on an id the surface does not have are ignored (getters answer "", 0, -1 or
// false); a surface may also ignore an operation that makes no sense for the control's
// kind.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs {

// The controls of one surface (a frame or a page), addressed by id, the operations a Win32
// dialog offers through SetDlgItemText, SendDlgItemMessage, EnableWindow and ShowWindow.
class DialogControls {
  public:
    virtual ~DialogControls() = default;

    // Edit and static text (a static's caption; a button's caption).
    virtual void SetText(int id, const std::string &text) = 0;
    virtual std::string GetText(int id) const = 0;

    // Slider: range, position and tick marks (one every `every` units from the minimum;
    // 0 none). A position outside the range is clamped to it, as a trackbar does.
    virtual void SetSliderRange(int id, int minimum, int maximum) = 0;
    virtual void SetSliderPosition(int id, int position) = 0;
    virtual int GetSliderPosition(int id) const = 0;
    virtual void SetSliderTicks(int id, int every) = 0;

    // Spin control: its range. A spin changes its buddy edit (template "buddy"); the host
    // reports that as an EditChanged command of the edit.
    virtual void SetSpinRange(int id, int minimum, int maximum) = 0;

    // Enabled and visible state of any control.
    virtual void Enable(int id, bool enabled) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual void Show(int id, bool shown) = 0;
    virtual bool IsShown(int id) const = 0;

    // Drop-down list. ListAdd appends and answers the new entry's index; ListInsert puts
    // an entry before `index` (index == count appends). ListSelect(-1) clears the
    // selection; an index past the end selects nothing.
    virtual void ListClear(int id) = 0;
    virtual int ListAdd(int id, const std::string &text) = 0;
    virtual void ListInsert(int id, int index, const std::string &text) = 0;
    virtual void ListDelete(int id, int index) = 0;
    virtual void ListSelect(int id, int index) = 0;
    virtual int ListSelection(int id) const = 0;
    virtual int ListCount(int id) const = 0;
    virtual std::string ListText(int id, int index) const = 0;

    // Check box and radio button. Checking a radio button does not uncheck the others of
    // its group here: the logic sets each one (as CheckRadioButton would).
    virtual void SetChecked(int id, bool checked) = 0;
    virtual bool IsChecked(int id) const = 0;

    // Tab control: append a tab, select one (no event), the selected one.
    virtual void TabAdd(int id, const std::string &caption) = 0;
    virtual void TabSelect(int id, int index) = 0;
    virtual int TabCurrent(int id) const = 0;
};

// What a user's action on a control was.
enum class Notification {
    EditChanged,       // the text of an edit changed (typed, pasted, or by its spin)
    SelectionChanged,  // a drop-down list's selection changed
    Clicked,           // a button, check box or radio button was clicked (check boxes
                       // and radio buttons have already changed their state)
};

// The host's side of one open dialog, handed to the logic in OnInit and valid until
// OnDestroy returns.
class DialogHost {
  public:
    virtual ~DialogHost() = default;

    // The frame's controls, and page `index` (0-based, in the request's order).
    virtual DialogControls &Frame() = 0;
    virtual DialogControls &Page(int index) = 0;
    // Shows or hides a whole page. Pages start hidden; the logic shows the first.
    virtual void ShowPage(int index, bool shown) = 0;
    // A message box over the dialog with an OK button; returns when the user closed it
    // (the scripted host records the text and returns at once).
    virtual void ShowMessage(const std::string &text) = 0;
    // Ends the modal loop once the current event has been handled; the host's run then
    // answers `result` (1 OK, 2 Cancel). Closing the window is Cancel: the host reports
    // it as a Clicked command of the frame's button 2.
    virtual void EndDialog(int result) = 0;
    // Any thread: runs `work` on the dialog's thread at the next turn of the modal loop,
    // in the order posted. Never blocks and never runs `work` inside the call. Work still
    // queued when the dialog ends is discarded without running. Only the logic calls this,
    // through DialogLogic::PostToDialog.
    virtual void Post(std::function<void()> work) = 0;
};

// The logic of one dialog, driven by the host. Implemented in src/dialogs.
class DialogLogic {
  public:
    virtual ~DialogLogic() = default;

    // The templates the host builds: the frame, then the pages in tab order (a dialog
    // without a tab page, like the camera dialog, has none).
    virtual TemplateId FrameTemplate() const = 0;
    virtual std::vector<TemplateId> PageTemplates() const = 0;

    // Called once, after every control exists and before the window is shown (like
    // WM_INITDIALOG). Base classes must be called by overrides: it records the host.
    virtual void OnInit(DialogHost &host) { Attach(host); }
    // A user's action on control `id` of surface `page` (-1 the frame, else the page).
    virtual void OnCommand(int page, int id, Notification notification) = 0;
    // A slider of surface `page` was moved to `position` (already applied to the slider).
    virtual void OnSliderMoved(int page, int id, int position) = 0;
    // The user selected tab `index` of the frame's tab control.
    virtual void OnTabChanged(int index) = 0;
    // The dialog is going away (after EndDialog, or when the host must abandon it): the
    // last call. Overrides must call it: it forgets the host so no later Post reaches it.
    virtual void OnDestroy() { Detach(); }

    // Any thread: runs `work` on the dialog's thread if the dialog is open, else drops it.
    // Safe against the dialog ending at the same moment: the host is used only under the
    // lock that OnDestroy takes to forget it.
    void PostToDialog(std::function<void()> work);

  protected:
    // The open dialog's host; null before OnInit and after OnDestroy. Dialog thread only.
    DialogHost *Host() const { return host_; }
    // The frame's buttons of a settings dialog with a Default button (ids 1, 2, 3) when
    // clicked: OK stores what the controls show (`keep`) and ends the dialog with 1, Cancel
    // ends it with 2, Default calls `restoreDefaults`. Other events of the frame do nothing.
    void OnSettingsFrameCommand(int id, Notification notification, const std::function<void()> &keep,
                                const std::function<void()> &restoreDefaults);

  private:
    void Attach(DialogHost &host);
    void Detach();

    std::mutex hostLock_;  // guards host_ against PostToDialog from other threads; a leaf
    DialogHost *host_ = nullptr;
};

}  // namespace korvix::dialogs
