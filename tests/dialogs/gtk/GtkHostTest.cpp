#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "GtkTestSupport.h"
#include "X11TestSupport.h"
#include "dialogs/DialogModule.h"

namespace korvix::test {
namespace {

using dialogs::DialogHost;
using dialogs::DialogLogic;
using dialogs::Notification;
using dialogs::TemplateId;

// A logic that fills a few controls of the image dialog's templates the way the real
// logic does (which must raise no event) and records every event the host reports.
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
        if (page == -1 && (id == 1 || id == 2)) Host()->EndDialog(id);
    }
    void OnSliderMoved(int page, int id, int position) override {
        Record("slider " + std::to_string(page) + " " + std::to_string(id) + " " +
               std::to_string(position));
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

const std::string kEdit = std::to_string(static_cast<int>(Notification::EditChanged));
const std::string kClick = std::to_string(static_cast<int>(Notification::Clicked));

TEST(DialogsGtkHost, UserActionsOnRealWidgetsReachTheLogicAndTheLogicsOwnChangesDoNot) {
    TestConnection connection;
    if (connection.display == nullptr) GTEST_SKIP() << "no X server";
    std::string gtkState;
    RecordingLogic logic;
    RecordingLogic *open = &logic;  // the logic of the dialog on screen
    std::thread::id postedWorkThread;
    ASSERT_TRUE(WatchDialogs([&](GtkWidget *window) {
        GtkWidget *slider = FindControl(window, 0, 2001);
        GtkWidget *edit = FindControl(window, 0, 2002);
        GtkWidget *spin = FindControl(window, 0, 2004);
        if (slider == nullptr || edit == nullptr || spin == nullptr) {
            ClickFrameButton(window, 2);
            return;
        }
        gtk_range_set_value(GTK_RANGE(slider), 42);
        gtk_entry_set_text(GTK_ENTRY(edit), "7");
        GList *arrows = gtk_container_get_children(GTK_CONTAINER(spin));
        gtk_button_clicked(GTK_BUTTON(arrows->data));  // up: 7 -> 8
        g_list_free(arrows);
        gtk_button_clicked(GTK_BUTTON(FindControl(window, 0, 1032)));
        gtk_notebook_set_current_page(GTK_NOTEBOOK(FindControl(window, -1, 1001)), 1);
        gtkState =
            std::string(gtk_entry_get_text(GTK_ENTRY(edit))) + " " +
            (gtk_widget_get_visible(FindControl(window, 1, 2100)) ? "gray shown" : "gray hidden");
        // OK comes as work posted from another thread, as the automatic exposure posts.
        std::thread([open, &postedWorkThread, window] {
            open->PostToDialog([&postedWorkThread, window] {
                postedWorkThread = std::this_thread::get_id();
                ClickFrameButton(window, 1);
            });
        }).join();
    }));

    EXPECT_EQ(dialogs::RunDialog(logic, nullptr), 1);
    const std::vector<std::string> expected = {
        "slider 0 2001 42",         "command 0 2002 " + kEdit,
        "command 0 2002 " + kEdit,  // the spin's step, reported as the edit's change
        "command 0 1032 " + kClick, "tab 1",
        "command -1 1 " + kClick,
    };
    EXPECT_EQ(logic.events, expected);
    EXPECT_EQ(gtkState, "8 gray shown");
    // Dialogs run on the module's GTK thread, whichever thread asks; posted work too.
    EXPECT_NE(logic.eventThread, std::this_thread::get_id());
    EXPECT_EQ(postedWorkThread, logic.eventThread);

    // A second dialog later, from another thread, runs on the same GTK thread.
    const std::thread::id firstThread = logic.eventThread;
    RecordingLogic second;
    open = &second;
    int secondResult = 0;
    std::thread([&] { secondResult = dialogs::RunDialog(second, nullptr); }).join();
    EXPECT_EQ(secondResult, 1);
    EXPECT_EQ(second.eventThread, firstThread);
}

// A GTK application owns GTK on its own thread: a dialog asked for from inside its main
// loop runs there, in place; one asked for from another thread meanwhile is refused.
TEST(DialogsGtkHost, InAGtkApplicationDialogsRunOnItsGtkThreadAndOthersAreRefused) {
    TestConnection connection;
    if (connection.display == nullptr) GTEST_SKIP() << "no X server";
    // Closing the window, as a window manager's close button does, is Cancel.
    ASSERT_TRUE(WatchDialogs([](GtkWidget *window) { gtk_window_close(GTK_WINDOW(window)); }));
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));

    struct Results {
        GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
        RecordingLogic inLoop;
        int inLoopResult = 0;
        RecordingLogic fromOtherThread;
        int otherThreadResult = 0;
    } results;
    g_idle_add(
        [](gpointer data) -> gboolean {
            auto &results = *static_cast<Results *>(data);
            results.inLoopResult = dialogs::RunDialog(results.inLoop, nullptr);
            std::thread([&] {
                results.otherThreadResult = dialogs::RunDialog(results.fromOtherThread, nullptr);
            }).join();
            g_main_loop_quit(results.loop);
            return G_SOURCE_REMOVE;
        },
        &results);
    g_main_loop_run(results.loop);
    g_main_loop_unref(results.loop);

    EXPECT_EQ(results.inLoopResult, 2);
    EXPECT_EQ(results.inLoop.events, std::vector<std::string>{"command -1 2 " + kClick});
    EXPECT_EQ(results.inLoop.eventThread, std::this_thread::get_id());
    EXPECT_EQ(results.otherThreadResult, dialogs::kDialogHostUnavailable);
    EXPECT_TRUE(results.fromOtherThread.events.empty());
}

TEST(DialogsGtkHost, WithoutADisplayTheHostIsUnavailableAndTheLogicIsNotCalled) {
    UseBuiltDialogModule();
    ScopedDisplay noDisplay(std::nullopt);
    RecordingLogic logic;
    EXPECT_EQ(dialogs::RunDialog(logic, nullptr), dialogs::kDialogHostUnavailable);
    EXPECT_TRUE(logic.events.empty());
}

}  // namespace
}  // namespace korvix::test
