#pragma once

// The scripted dialog host: shows a dialog to nobody and plays a test's user actions against
// the same logic the GTK host drives. Controls are kept in memory, built from the templates
// of the request; each user action checks what a real user would meet (the control exists,
// is enabled and shown, and its page is the one on screen), changes the control as the
// toolkit would, and reports the event to the logic.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/DialogModule.h"

namespace korvix::test {

using dialogs::DialogControls;
using dialogs::DialogLogic;
using dialogs::DialogRequest;
using dialogs::DialogTemplate;

// The controls of one surface, in memory.
class ScriptedControls : public DialogControls {
  public:
    struct Control {
        dialogs::ControlKind kind = dialogs::ControlKind::Static;
        std::string text;
        bool enabled = true;
        bool shown = true;
        int minimum = 0, maximum = 100, position = 0, ticks = 0;
        std::vector<std::string> items;  // list entries or tabs
        int selection = -1;
        bool checked = false;
    };

    explicit ScriptedControls(const DialogTemplate &dialogTemplate);

    // The state of control `id`; fails the test (and answers a blank control) when missing.
    const Control &At(int id) const;
    Control &At(int id);
    bool Has(int id) const { return controls_.count(id) != 0; }

    void SetText(int id, const std::string &text) override { At(id).text = text; }
    std::string GetText(int id) const override { return At(id).text; }
    void SetSliderRange(int id, int minimum, int maximum) override;
    void SetSliderPosition(int id, int position) override;
    int GetSliderPosition(int id) const override { return At(id).position; }
    void SetSliderTicks(int id, int every) override { At(id).ticks = every; }
    void SetSpinRange(int id, int minimum, int maximum) override;
    void Enable(int id, bool enabled) override { At(id).enabled = enabled; }
    bool IsEnabled(int id) const override { return At(id).enabled; }
    void Show(int id, bool shown) override { At(id).shown = shown; }
    bool IsShown(int id) const override { return At(id).shown; }
    void ListClear(int id) override;
    int ListAdd(int id, const std::string &text) override;
    void ListInsert(int id, int index, const std::string &text) override;
    void ListDelete(int id, int index) override;
    void ListSelect(int id, int index) override;
    int ListSelection(int id) const override { return At(id).selection; }
    int ListCount(int id) const override { return static_cast<int>(At(id).items.size()); }
    std::string ListText(int id, int index) const override;
    void SetChecked(int id, bool checked) override { At(id).checked = checked; }
    bool IsChecked(int id) const override { return At(id).checked; }
    void TabAdd(int id, const std::string &caption) override { At(id).items.push_back(caption); }
    void TabSelect(int id, int index) override { At(id).selection = index; }
    int TabCurrent(int id) const override { return At(id).selection; }

    // The entries of a list, in order.
    const std::vector<std::string> &Items(int id) const { return At(id).items; }

  private:
    std::map<int, Control> controls_;
};

// One open dialog and the user in front of it. Pages are addressed by index, the frame by
// kFrame.
class ScriptedDialog : public dialogs::DialogHost {
  public:
    static constexpr int kFrame = -1;

    explicit ScriptedDialog(const DialogRequest &request);

    // ---- The user ----
    void MoveSlider(int page, int id, int position);
    void Type(int page, int id, const std::string &text);
    void Pick(int page, int id, const std::string &entry);  // by the entry's text
    void Click(int page, int id);  // push button, check box (toggles) or radio button
    void SwitchTab(int index);
    // Runs the work other threads posted, as the next turns of a modal loop would.
    void RunPosted();

    ScriptedControls &Surface(int page) { return page == kFrame ? frame_ : *pages_.at(page); }
    bool PageShown(int page) const { return pageShown_.at(page); }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    const std::vector<std::string> &Messages() const { return messages_; }

    // ---- DialogHost ----
    DialogControls &Frame() override { return frame_; }
    DialogControls &Page(int index) override { return *pages_.at(index); }
    void ShowPage(int index, bool shown) override { pageShown_.at(index) = shown; }
    void ShowMessage(const std::string &text) override { messages_.push_back(text); }
    void EndDialog(int result) override;
    void Post(std::function<void()> work) override;

  private:
    // The control a user is about to use; fails the test when a user could not reach it.
    ScriptedControls::Control &Reach(int page, int id);

    DialogLogic &logic_;
    ScriptedControls frame_;
    std::vector<std::unique_ptr<ScriptedControls>> pages_;
    std::vector<bool> pageShown_;
    std::vector<std::string> messages_;
    bool ended_ = false;
    int result_ = 0;
    std::mutex postedLock_;
    std::vector<std::function<void()>> posted_;
};

// Installs itself as the library's dialog host for its lifetime. Each dialog that opens is
// initialised, handed to `script` (the user's actions) and, when the script leaves it open,
// fails the test and is cancelled.
class ScriptedHost {
  public:
    using Script = std::function<void(ScriptedDialog &)>;
    explicit ScriptedHost(Script script);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost &) = delete;
    ScriptedHost &operator=(const ScriptedHost &) = delete;

    int DialogsShown() const { return shown_; }

  private:
    Script script_;
    int shown_ = 0;
};

}  // namespace korvix::test
