#include "GtkTestSupport.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace korvix::test {

namespace {

std::function<void(GtkWidget *)> &Watcher() {
    static std::function<void(GtkWidget *)> watcher;
    return watcher;
}

void CallWatcher(void *window, void *) { Watcher()(static_cast<GtkWidget *>(window)); }

// Calls `visit` for `widget` and every widget inside it, internal ones (a frame's or a
// tab's label) included.
void Walk(GtkWidget *widget, const std::function<void(GtkWidget *)> &visit) {
    visit(widget);
    if (!GTK_IS_CONTAINER(widget)) return;
    auto child = [](GtkWidget *inner, gpointer data) {
        Walk(inner, *static_cast<const std::function<void(GtkWidget *)> *>(data));
    };
    gtk_container_forall(GTK_CONTAINER(widget), child, const_cast<std::function<void(GtkWidget *)> *>(&visit));
}

}  // namespace

void UseBuiltDialogModule() {
    setenv("KORVIX_DIALOG_MODULE", KORVIX_TEST_DIALOG_MODULE, 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
}

std::filesystem::path ScreenshotDirectory() { return KORVIX_TEST_SCREENSHOT_DIR; }

bool WatchDialogs(std::function<void(GtkWidget *window)> opened) {
    UseBuiltDialogModule();
    void *module = dlopen(KORVIX_TEST_DIALOG_MODULE, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return false;
    using Watch = void (*)(void (*)(void *, void *), void *);
    auto watch = reinterpret_cast<Watch>(dlsym(module, "korvix_dialog_host_watch_for_testing"));
    if (watch == nullptr) return false;
    Watcher() = std::move(opened);
    watch(CallWatcher, nullptr);
    return true;
}

GtkWidget *FindControl(GtkWidget *window, int page, int id) {
    const std::string name = page < 0 ? "korvix-frame-" + std::to_string(id)
                                      : "korvix-page" + std::to_string(page) + "-" + std::to_string(id);
    GtkWidget *found = nullptr;
    Walk(window, [&](GtkWidget *widget) {
        if (found == nullptr && name == gtk_widget_get_name(widget)) found = widget;
    });
    return found;
}

bool SavePicture(GtkWidget *window, const std::filesystem::path &file) {
    const int width = gtk_widget_get_allocated_width(window);
    const int height = gtk_widget_get_allocated_height(window);
    if (width <= 1 || height <= 1) return false;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *context = cairo_create(surface);
    gtk_widget_draw(window, context);
    cairo_destroy(context);
    std::filesystem::create_directories(file.parent_path());
    const bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

int MissingGlyphs(GtkWidget *window) {
    int missing = 0;
    Walk(window, [&](GtkWidget *widget) {
        if (GTK_IS_LABEL(widget)) {
            missing += pango_layout_get_unknown_glyphs_count(gtk_label_get_layout(GTK_LABEL(widget)));
        }
    });
    return missing;
}

void ClickFrameButton(GtkWidget *window, int id) {
    if (GtkWidget *button = FindControl(window, -1, id)) gtk_button_clicked(GTK_BUTTON(button));
}

}  // namespace korvix::test
