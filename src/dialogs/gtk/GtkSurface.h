#pragma once

// One surface of an open dialog (the frame or one page) built from its template with GTK
// widgets in a GtkFixed, at the template's positions converted from dialog units. It
// implements the logic's control operations and turns the user's actions on the widgets
// into the logic's events.
//
// Thread-bound: created, used and destroyed on GTK's thread. The widgets belong to the
// GtkFixed (and so to the window it is put in); the surface only borrows them.
//
// Widgets per control kind: tab GtkNotebook (tabs only; pages are surfaces of their own
// placed over it, as Win32 child dialogs are), slider GtkScale, spin a pair of arrow
// buttons acting on the buddy edit, edit GtkEntry, drop-down list GtkComboBoxText, check
// box GtkCheckButton, radio button GtkRadioButton (a group from a "group" button to the
// next), push button GtkButton, group box GtkFrame, static GtkLabel. Each widget is named
// "korvix-frame-<id>" or "korvix-page<N>-<id>" so tests can find it.

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/DialogControls.h"
#include "dialogs/gtk/DialogUnits.h"

namespace korvix::dialogs::gtk {

class GtkSurface final : public DialogControls {
  public:
    // `page` is -1 for the frame, else the page's index; events go to `logic` with it.
    GtkSurface(const DialogTemplate &dialogTemplate, int page, const DialogUnits &units,
               DialogLogic &logic);
    ~GtkSurface() override;
    GtkSurface(const GtkSurface &) = delete;
    GtkSurface &operator=(const GtkSurface &) = delete;

    // The GtkFixed holding the controls, sized to the template.
    GtkWidget *Container() const { return container_; }

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

    // One control: its widget and what its signal handlers need. Public for the handlers.
    struct Control {
        GtkSurface *surface = nullptr;
        int id = kUnaddressedControl;
        ControlKind kind = ControlKind::Static;
        GtkWidget *widget = nullptr;
        gulong handler = 0;  // the user-action handler, blocked for our own changes
        gulong filter = 0;   // a number edit's input filter, also blocked for them
        std::string text;    // caption as the logic gave it (& marks a mnemonic)
        int minimum = 0;     // spin range
        int maximum = 100;
        int buddy = kUnaddressedControl;
        int step = 0;  // spin arrows: +1 or -1
    };

    // Signal handlers' way back: a user action on `control`.
    void UserAction(Control &control);

  private:
    Control *Find(int id, ControlKind kind) const;
    Control *FindAny(int id) const;
    GtkWidget *Build(Control &control, const ControlTemplate &item, GtkRadioButton *group);
    // Runs `change` with the control's user-action handler blocked.
    template <typename Change>
    void Quietly(const Control &control, Change change);

    int page_;
    DialogLogic &logic_;
    GtkWidget *container_ = nullptr;
    std::vector<std::unique_ptr<Control>> owned_;  // every control, and each spin's arrows
    std::map<int, Control *> controls_;            // the addressed ones by id
};

// "&Exposure" as a GTK mnemonic label: "_Exposure"; "&&" is a literal "&", "_" doubled.
std::string MnemonicLabel(const std::string &caption);

}  // namespace korvix::dialogs::gtk
