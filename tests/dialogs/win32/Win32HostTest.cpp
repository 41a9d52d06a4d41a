// The Win32 host of the dialogs: the resources generated from the templates, and the user's
// actions on the real controls reaching the logic. Runs on Windows (and under Wine) only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "DialogScript.h"
#include "dialogs/DialogHostLoader.h"
#include "dialogs/DialogModule.h"
#include "dialogs/win32/Win32Text.h"

namespace korvix::test {
namespace {

using dialogs::ControlKind;
using dialogs::ControlTemplate;
using dialogs::DialogHost;
using dialogs::DialogLogic;
using dialogs::DialogRequest;
using dialogs::DialogTemplate;
using dialogs::GetDialogTemplate;
using dialogs::Language;
using dialogs::Notification;
using dialogs::TemplateId;
using dialogs::win32::Utf16;

// Shows `logic`'s dialog in `language` through the Win32 host, running `script` on it.
int ShowDialog(DialogLogic &logic, Language language, std::function<void(HWND)> script) {
    std::vector<const DialogTemplate *> pages;
    for (TemplateId page : logic.PageTemplates())
        pages.push_back(&GetDialogTemplate(page, language));
    DialogRequest request;
    request.logic = &logic;
    request.frame = &GetDialogTemplate(logic.FrameTemplate(), language);
    request.pages = pages.data();
    request.pageCount = static_cast<int>(pages.size());
    DialogScript playing(std::move(script));
    return dialogs::detail::LoadDialogHost()(&request);
}

std::string ClassName(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A text as an ANSI dialog shows it: through the system's ANSI code page. The Japanese
// dialogs are meant for systems whose code page (932) keeps their texts; elsewhere (Wine's
// default) they come out as question marks.
std::wstring AsShown(const std::string &text) {
    const std::wstring wide = Utf16(text);
    if (wide.empty()) return wide;
    std::string ansi(wide.size() * 2 + 1, '\0');
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(),
                                          static_cast<int>(ansi.size()), nullptr, nullptr);
    std::wstring shown(wide.size() + 1, L'\0');
    const int characters = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), bytes, shown.data(),
                                               static_cast<int>(shown.size()));
    shown.resize(characters > 0 ? static_cast<size_t>(characters - 1) : 0);
    return shown;
}

// Every addressed control of `surface` is in `window` with the class its kind needs, the
// template's caption, visibility and enabled state.
void ExpectBuiltFrom(HWND window, const DialogTemplate &surface) {
    ASSERT_NE(window, nullptr) << surface.name;
    static const std::map<ControlKind, std::string> classes = {
        {ControlKind::Tab, "SysTabControl32"},   {ControlKind::Slider, "msctls_trackbar32"},
        {ControlKind::Spin, "msctls_updown32"},  {ControlKind::Edit, "Edit"},
        {ControlKind::DropDownList, "ComboBox"}, {ControlKind::CheckBox, "Button"},
        {ControlKind::RadioButton, "Button"},    {ControlKind::PushButton, "Button"},
        {ControlKind::GroupBox, "Button"},       {ControlKind::Static, "Static"},
    };
    for (const ControlTemplate &control : surface.controls) {
        if (control.id == dialogs::kUnaddressedControl) continue;
        SCOPED_TRACE(surface.name + " " + std::to_string(control.id));
        HWND item = GetDlgItem(window, control.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(_stricmp(ClassName(item).c_str(), classes.at(control.kind).c_str()), 0)
            << ClassName(item);
        if (control.kind != ControlKind::Edit) {
            EXPECT_EQ(WindowText(item), AsShown(control.caption));
        }
        EXPECT_EQ((GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0, !control.hidden);
        EXPECT_EQ(IsWindowEnabled(item) != FALSE, !control.disabled);
    }
}

// A dialog's templates shown as they are: the frame's tabs captioned, the first page shown,
// the logic otherwise silent.
class TemplateLogic : public DialogLogic {
  public:
    TemplateLogic(TemplateId frame, std::vector<TemplateId> pages, std::vector<std::string> tabs)
        : frame_(frame), pages_(std::move(pages)), tabs_(std::move(tabs)) {}
    TemplateId FrameTemplate() const override { return frame_; }
    std::vector<TemplateId> PageTemplates() const override { return pages_; }
    void OnInit(DialogHost &host) override {
        DialogLogic::OnInit(host);
        for (const std::string &tab : tabs_) host.Frame().TabAdd(1001, tab);
        host.ShowPage(0, true);
    }
    void OnCommand(int page, int id, Notification) override {
        if (page == -1 && (id == IDOK || id == IDCANCEL)) Host()->EndDialog(id);
    }
    void OnSliderMoved(int, int, int) override {}
    void OnTabChanged(int) override {}

  private:
    TemplateId frame_;
    std::vector<TemplateId> pages_;
    std::vector<std::string> tabs_;
};

// Each dialog in both languages is made from its resources exactly as its templates say.
TEST(DialogsWin32Host, EachDialogIsBuiltFromItsTemplatesInBothLanguages) {
    struct Dialog {
        const char *name;
        TemplateId frame;
        std::vector<TemplateId> pages;
    };
    const Dialog dialogs[] = {
        {"camera", TemplateId::Camera, {}},
        {"image",
         TemplateId::ImageFrame,
         {TemplateId::ImageFilterPage, TemplateId::GrayFilterPage}},
        {"analog", TemplateId::AnalogFrame, {TemplateId::AnalogMonoPage}},
        {"analog-color", TemplateId::AnalogFrame, {TemplateId::AnalogColorPage}},
    };
    for (Language language : {Language::English, Language::Japanese}) {
        for (const Dialog &dialog : dialogs) {
            SCOPED_TRACE(dialog.name);
            const DialogTemplate &frame = GetDialogTemplate(dialog.frame, language);
            std::vector<std::string> tabs;
            for (TemplateId page : dialog.pages) {
                (void)page;
                tabs.push_back(frame.String("tab"));
            }
            TemplateLogic logic(dialog.frame, dialog.pages, tabs);
            bool scripted = false;
            const int result = ShowDialog(logic, language, [&](HWND window) {
                scripted = true;
                EXPECT_EQ(WindowText(window), AsShown(frame.title));
                ExpectBuiltFrom(window, frame);
                for (TemplateId page : dialog.pages) {
                    const DialogTemplate &pageTemplate = GetDialogTemplate(page, language);
                    ExpectBuiltFrom(PageWindow(window, pageTemplate), pageTemplate);
                }
                SendDlgItemMessageA(window, IDCANCEL, BM_CLICK, 0, 0);
            });
            EXPECT_TRUE(scripted);
            EXPECT_EQ(result, IDCANCEL);
        }
    }
}

// A logic that fills a few controls the way the real logic does (which must raise no event)
// and records every event the host reports.
class RecordingLogic : public DialogLogic {
  public:
    std::vector<std::string> events;
    std::thread::id eventThread;

    TemplateId FrameTemplate() const override { return TemplateId::ImageFrame; }
    std::vector<TemplateId> PageTemplates() const override {
        return {TemplateId::ImageFilterPage, TemplateId::GrayFilterPage};
    }
    void OnInit(DialogHost &host) override {
        DialogLogic::OnInit(host);
        host.Frame().TabAdd(1001, "Image Filter");
        host.Frame().TabAdd(1001, "Gray Filter");
        host.Page(0).SetSliderRange(2001, -255, 255);
        host.Page(0).SetSliderPosition(2001, 10);
        host.Page(0).SetSpinRange(2004, -255, 255);
        host.Page(0).SetText(2002, "10");
        host.Page(0).SetChecked(1030, true);
        host.ShowPage(0, true);
    }
    void OnCommand(int page, int id, Notification notification) override {
        Record("command " + std::to_string(page) + " " + std::to_string(id) + " " +
               std::to_string(static_cast<int>(notification)));
        if (page == -1 && (id == IDOK || id == IDCANCEL)) Host()->EndDialog(id);
    }
    void OnSliderMoved(int page, int id, int position) override {
        Record("slider " + std::to_string(page) + " " + std::to_string(id) + " " +
               std::to_string(position));
        // As the real logic does: the edit shows the position, which is no user's edit.
        Host()->Page(page).SetText(id + 1, std::to_string(position));
    }
    void OnTabChanged(int index) override {
        Record("tab " + std::to_string(index));
        Host()->ShowPage(0, index == 0);
        Host()->ShowPage(1, index == 1);
    }

  private:
    void Record(const std::string &event) {
        events.push_back(event);
        eventThread = std::this_thread::get_id();
    }
};

void PressKey(HWND control, WPARAM key) {
    SendMessageW(control, WM_KEYDOWN, key, 1);
    SendMessageW(control, WM_KEYUP, key, 0xC0000001);
}

TEST(DialogsWin32Host, UserActionsOnRealControlsReachTheLogicAndTheLogicsOwnChangesDoNot) {
    const std::string edit = std::to_string(static_cast<int>(Notification::EditChanged));
    const std::string click = std::to_string(static_cast<int>(Notification::Clicked));
    RecordingLogic logic;
    std::string state;
    std::thread::id postedWorkThread;
    const int result = ShowDialog(logic, Language::English, [&](HWND frame) {
        HWND filter =
            PageWindow(frame, GetDialogTemplate(TemplateId::ImageFilterPage, Language::English));
        HWND gray =
            PageWindow(frame, GetDialogTemplate(TemplateId::GrayFilterPage, Language::English));
        ASSERT_NE(filter, nullptr);
        ASSERT_NE(gray, nullptr);
        PressKey(GetDlgItem(filter, 2001), VK_RIGHT);  // the slider one step up: 10 -> 11
        SetDlgItemTextA(filter, 2002, "7");            // typed
        PressKey(GetDlgItem(filter, 2002), VK_UP);     // the spin's arrow key: 7 -> 8
        SendDlgItemMessageA(filter, 1032, BM_CLICK, 0, 0);
        PressKey(GetDlgItem(frame, 1001), VK_RIGHT);  // the second tab
        char text[16] = {};
        GetDlgItemTextA(filter, 2002, text, sizeof text);
        state = std::string(text) + (IsWindowVisible(gray) ? " gray shown" : " gray hidden") +
                (IsWindowVisible(filter) ? " filter shown" : " filter hidden");
        // OK comes as work posted from another thread, as the automatic exposure posts.
        std::thread([&logic, &postedWorkThread, frame] {
            logic.PostToDialog([&postedWorkThread, frame] {
                postedWorkThread = std::this_thread::get_id();
                SendDlgItemMessageA(frame, IDOK, BM_CLICK, 0, 0);
            });
        }).join();
    });

    EXPECT_EQ(result, IDOK);
    const std::vector<std::string> expected = {
        "slider 0 2001 11",        "command 0 2002 " + edit,
        "command 0 2002 " + edit,  // the spin's step, reported as the edit's change
        "command 0 1032 " + click, "tab 1",
        "command -1 1 " + click,
    };
    EXPECT_EQ(logic.events, expected);
    EXPECT_EQ(state, "8 gray shown filter hidden");
    EXPECT_EQ(logic.eventThread, std::this_thread::get_id());
    EXPECT_EQ(postedWorkThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace korvix::test
