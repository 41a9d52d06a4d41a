#include "dialogs/gtk/GtkDialogHost.h"

#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>

#include <atomic>
#include <cstdint>
#include <sstream>

namespace korvix::dialogs::gtk {

namespace {

constexpr int kCancel = 2;

std::atomic<DialogOpenedWatcher> openedWatcher{nullptr};
std::atomic<void *> openedWatcherContext{nullptr};

// Win32-sized controls: the template's font, and GTK's paddings and minimum heights
// reduced so that every control fits the box its template gives it. Scoped to the dialog
// window's style class, so an application's own GTK windows keep their look.
std::string DialogStyle(const FontTemplate &font, Language language) {
    std::ostringstream families;
    std::istringstream list(FontFamilies(font, language));
    std::string family;
    while (std::getline(list, family, ','))
        families << (families.tellp() > 0 ? ", " : "") << '"' << family << '"';
    std::ostringstream css;
    css << ".korvix-dialog, .korvix-dialog * { font-family: " << families.str()
        << "; font-size: " << font.pointSize << "pt; }\n"
        << ".korvix-dialog entry { min-height: 0; padding: 0 2px; }\n"
        << ".korvix-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        << ".korvix-dialog combobox button { padding: 0 2px; }\n"
        << ".korvix-dialog .korvix-spin button { padding: 0; border-radius: 0; }\n"
        << ".korvix-dialog checkbutton, .korvix-dialog radiobutton { min-height: 0; padding: 0; }\n"
        << ".korvix-dialog scale { min-height: 0; padding: 0 4px; margin: 0; }\n"
        // The tabs are filled with the dialog's face colour, their captions centred.
        << ".korvix-dialog notebook tab { min-height: 0; padding: 2px 8px; "
           "background-color: @theme_bg_color; }\n";
    return css.str();
}

gboolean OnDeleteEvent(GtkWidget *, GdkEvent *, gpointer host) {
    static_cast<GtkDialogHost *>(host)->Cancel();
    return TRUE;  // the logic decides whether the window goes
}

gboolean OnKeyPress(GtkWidget *, GdkEventKey *event, gpointer host) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    static_cast<GtkDialogHost *>(host)->Cancel();
    return TRUE;
}

gboolean OnPostedWork(gpointer host) {
    static_cast<GtkDialogHost *>(host)->RunPosted();
    return G_SOURCE_REMOVE;
}

}  // namespace

void SetDialogOpenedWatcher(DialogOpenedWatcher watcher, void *context) {
    openedWatcherContext.store(context);
    openedWatcher.store(watcher);
}

GtkDialogHost::GtkDialogHost(const DialogRequest &request)
    : request_(request), logic_(*request.logic), loop_(g_main_loop_new(nullptr, FALSE)) {}

GtkDialogHost::~GtkDialogHost() {
    if (initialised_) logic_.OnDestroy();
    StopPosting();
    // The surfaces disconnect their handlers from widgets that still exist.
    noPage_.reset();
    pages_.clear();
    frame_.reset();
    if (window_ != nullptr) gtk_widget_destroy(window_);
    if (style_ != nullptr) {
        gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                                     GTK_STYLE_PROVIDER(style_));
        g_object_unref(style_);
    }
    g_main_loop_unref(loop_);
}

int GtkDialogHost::Run() {
    BuildWindow();
    initialised_ = true;
    logic_.OnInit(*this);
    if (!ended_) {
        gtk_widget_show(window_);
        SetTransientParent();
        if (DialogOpenedWatcher watcher = openedWatcher.load()) {
            void *context = openedWatcherContext.load();
            GtkWidget *window = window_;
            Post([watcher, context, window] { watcher(window, context); });
        }
        g_main_loop_run(loop_);
    }
    initialised_ = false;
    logic_.OnDestroy();
    StopPosting();
    return result_;
}

void GtkDialogHost::BuildWindow() {
    const DialogTemplate &frame = *request_.frame;
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "korvix-dialog");
    gtk_window_set_title(GTK_WINDOW(window_), frame.title.c_str());
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);

    style_ = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style_, DialogStyle(frame.font, frame.language).c_str(), -1,
                                    nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style_),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

    const DialogUnits units =
        MeasureDialogUnits(gtk_widget_get_pango_context(window_), frame.font, frame.language);
    frame_ = std::make_unique<GtkSurface>(frame, -1, units, logic_);
    gtk_container_add(GTK_CONTAINER(window_), frame_->Container());
    PlacePages(units);
    noPage_ = std::make_unique<GtkSurface>(DialogTemplate{}, -1, units, logic_);
}

void GtkDialogHost::PlacePages(const DialogUnits &units) {
    // A page lies at the frame's page origin inside the tab control, as a Win32 child
    // dialog is placed in its property sheet.
    const DialogTemplate &frame = *request_.frame;
    int tabX = 0;
    int tabY = 0;
    for (const ControlTemplate &control : frame.controls) {
        if (control.kind == ControlKind::Tab) {
            tabX = control.x;
            tabY = control.y;
        }
    }
    for (int index = 0; index < request_.pageCount; ++index) {
        auto page = std::make_unique<GtkSurface>(*request_.pages[index], index, units, logic_);
        gtk_widget_hide(page->Container());
        gtk_fixed_put(GTK_FIXED(frame_->Container()), page->Container(),
                      units.X(tabX + frame.pageOriginX), units.Y(tabY + frame.pageOriginY));
        pages_.push_back(std::move(page));
    }
}

void GtkDialogHost::SetTransientParent() {
    if (request_.parent == nullptr) return;
    // The parent is the application's X11 window; it may belong to another toolkit or be
    // gone already, so its errors are trapped and ignored.
    GdkDisplay *display = gtk_widget_get_display(window_);
    gdk_x11_display_error_trap_push(display);
    GdkWindow *parent = gdk_x11_window_foreign_new_for_display(
        display, static_cast<Window>(reinterpret_cast<uintptr_t>(request_.parent)));
    if (parent != nullptr) {
        gdk_window_set_transient_for(gtk_widget_get_window(window_), parent);
        g_object_unref(parent);
    }
    gdk_x11_display_error_trap_pop_ignored(display);
}

DialogControls &GtkDialogHost::Frame() {
    return *frame_;
}

DialogControls &GtkDialogHost::Page(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return *noPage_;
    return *pages_[static_cast<size_t>(index)];
}

void GtkDialogHost::ShowPage(int index, bool shown) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    gtk_widget_set_visible(pages_[static_cast<size_t>(index)]->Container(), shown);
}

void GtkDialogHost::ShowMessage(const std::string &text) {
    GtkWidget *box = gtk_message_dialog_new(GTK_WINDOW(window_), GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                            GTK_BUTTONS_OK, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), request_.frame->title.c_str());
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

void GtkDialogHost::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    g_main_loop_quit(loop_);  // the loop returns once the current event is handled
}

void GtkDialogHost::Cancel() {
    logic_.OnCommand(-1, kCancel, Notification::Clicked);
}

void GtkDialogHost::Post(std::function<void()> work) {
    std::lock_guard hold(postLock_);
    if (!accepting_) return;
    posted_.push_back(std::move(work));
    // g_idle_add is safe from any thread and wakes the modal loop's context.
    if (drainSource_ == 0) drainSource_ = g_idle_add(OnPostedWork, this);
}

void GtkDialogHost::RunPosted() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard hold(postLock_);
            if (posted_.empty() || ended_) {
                drainSource_ = 0;
                return;
            }
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }
}

void GtkDialogHost::StopPosting() {
    std::lock_guard hold(postLock_);
    accepting_ = false;
    posted_.clear();
    if (drainSource_ != 0) g_source_remove(drainSource_);
    drainSource_ = 0;
}

}  // namespace korvix::dialogs::gtk
