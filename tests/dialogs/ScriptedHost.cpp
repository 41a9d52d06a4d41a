#include "ScriptedHost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace korvix::test {

using dialogs::ControlKind;
using dialogs::Notification;

ScriptedControls::ScriptedControls(const DialogTemplate &dialogTemplate) {
    for (const dialogs::ControlTemplate &item : dialogTemplate.controls) {
        if (item.id == dialogs::kUnaddressedControl) continue;
        Control &control = controls_[item.id];
        control.kind = item.kind;
        control.text = item.caption;
        control.enabled = !item.disabled;
        control.shown = !item.hidden;
    }
}

const ScriptedControls::Control &ScriptedControls::At(int id) const {
    auto found = controls_.find(id);
    if (found != controls_.end()) return found->second;
    ADD_FAILURE() << "no control " << id;
    static const Control blank;
    return blank;
}

ScriptedControls::Control &ScriptedControls::At(int id) {
    return const_cast<Control &>(static_cast<const ScriptedControls &>(*this).At(id));
}

void ScriptedControls::SetSliderRange(int id, int minimum, int maximum) {
    Control &control = At(id);
    control.minimum = minimum;
    control.maximum = maximum;
    control.position = std::clamp(control.position, minimum, std::max(minimum, maximum));
}

void ScriptedControls::SetSliderPosition(int id, int position) {
    Control &control = At(id);
    control.position =
        std::clamp(position, control.minimum, std::max(control.minimum, control.maximum));
}

void ScriptedControls::SetSpinRange(int id, int minimum, int maximum) {
    At(id).minimum = minimum;
    At(id).maximum = maximum;
}

void ScriptedControls::ListClear(int id) {
    At(id).items.clear();
    At(id).selection = -1;
}

int ScriptedControls::ListAdd(int id, const std::string &text) {
    At(id).items.push_back(text);
    return static_cast<int>(At(id).items.size()) - 1;
}

void ScriptedControls::ListInsert(int id, int index, const std::string &text) {
    Control &control = At(id);
    index = std::clamp(index, 0, static_cast<int>(control.items.size()));
    control.items.insert(control.items.begin() + index, text);
    if (control.selection >= index) ++control.selection;
}

void ScriptedControls::ListDelete(int id, int index) {
    Control &control = At(id);
    if (index < 0 || index >= static_cast<int>(control.items.size())) return;
    control.items.erase(control.items.begin() + index);
    if (control.selection == index) {
        control.selection = -1;
    } else if (control.selection > index) {
        --control.selection;
    }
}

void ScriptedControls::ListSelect(int id, int index) {
    Control &control = At(id);
    control.selection = index >= 0 && index < static_cast<int>(control.items.size()) ? index : -1;
}

std::string ScriptedControls::ListText(int id, int index) const {
    const Control &control = At(id);
    if (index < 0 || index >= static_cast<int>(control.items.size())) return {};
    return control.items[index];
}

ScriptedDialog::ScriptedDialog(const DialogRequest &request)
    : logic_(*request.logic), frame_(*request.frame) {
    for (int i = 0; i < request.pageCount; ++i) {
        pages_.push_back(std::make_unique<ScriptedControls>(*request.pages[i]));
        pageShown_.push_back(false);
    }
}

ScriptedControls::Control &ScriptedDialog::Reach(int page, int id) {
    EXPECT_FALSE(ended_) << "the dialog has ended; control " << id;
    if (page != kFrame) {
        EXPECT_TRUE(pageShown_.at(page)) << "page " << page << " is hidden";
    }
    ScriptedControls::Control &control = Surface(page).At(id);
    EXPECT_TRUE(control.enabled) << "control " << id << " is disabled";
    EXPECT_TRUE(control.shown) << "control " << id << " is hidden";
    return control;
}

void ScriptedDialog::MoveSlider(int page, int id, int position) {
    ScriptedControls::Control &control = Reach(page, id);
    ASSERT_EQ(control.kind, ControlKind::Slider) << id;
    Surface(page).SetSliderPosition(id, position);
    logic_.OnSliderMoved(page, id, control.position);
}

void ScriptedDialog::Type(int page, int id, const std::string &text) {
    ScriptedControls::Control &control = Reach(page, id);
    ASSERT_EQ(control.kind, ControlKind::Edit) << id;
    control.text = text;
    logic_.OnCommand(page, id, Notification::EditChanged);
}

void ScriptedDialog::Pick(int page, int id, const std::string &entry) {
    ScriptedControls::Control &control = Reach(page, id);
    ASSERT_EQ(control.kind, ControlKind::DropDownList) << id;
    auto found = std::find(control.items.begin(), control.items.end(), entry);
    ASSERT_NE(found, control.items.end()) << "no entry \"" << entry << "\" in list " << id;
    control.selection = static_cast<int>(found - control.items.begin());
    logic_.OnCommand(page, id, Notification::SelectionChanged);
}

void ScriptedDialog::Click(int page, int id) {
    ScriptedControls::Control &control = Reach(page, id);
    if (control.kind == ControlKind::CheckBox) {
        control.checked = !control.checked;
    } else if (control.kind == ControlKind::RadioButton) {
        control.checked = true;
    } else {
        ASSERT_EQ(control.kind, ControlKind::PushButton) << id;
    }
    logic_.OnCommand(page, id, Notification::Clicked);
}

void ScriptedDialog::SwitchTab(int index) {
    ScriptedControls::Control &tab = Reach(kFrame, 1001);
    ASSERT_LT(index, static_cast<int>(tab.items.size()));
    tab.selection = index;
    logic_.OnTabChanged(index);
}

void ScriptedDialog::RunPosted() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> hold(postedLock_);
        work.swap(posted_);
    }
    for (auto &item : work) {
        if (!ended_) item();
    }
}

void ScriptedDialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

void ScriptedDialog::Post(std::function<void()> work) {
    std::lock_guard<std::mutex> hold(postedLock_);
    posted_.push_back(std::move(work));
}

ScriptedHost::ScriptedHost(Script script) : script_(std::move(script)) {
    dialogs::SetDialogHostForTesting([this](const DialogRequest &request) {
        ++shown_;
        ScriptedDialog dialog(request);
        request.logic->OnInit(dialog);
        script_(dialog);
        if (!dialog.Ended()) {
            ADD_FAILURE() << "the script left the dialog open; cancelling it";
            request.logic->OnCommand(ScriptedDialog::kFrame, 2, Notification::Clicked);
        }
        request.logic->OnDestroy();
        return dialog.Result();
    });
}

ScriptedHost::~ScriptedHost() {
    dialogs::SetDialogHostForTesting(nullptr);
}

}  // namespace korvix::test
