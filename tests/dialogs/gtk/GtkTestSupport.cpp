#include "GtkTestSupport.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace korvix::test {

namespace {

std::function<void(GtkWidget *)> &Watcher() {
    static std::function<void(GtkWidget *)> watcher;
    return watcher;
}

void CallWatcher(void *window, void *) {
    Watcher()(static_cast<GtkWidget *>(window));
}

// Calls `visit` for `widget` and every widget inside it, internal ones (a frame's or a
// tab's label) included.
void Walk(GtkWidget *widget, const std::function<void(GtkWidget *)> &visit) {
    visit(widget);
    if (!GTK_IS_CONTAINER(widget)) return;
    auto child = [](GtkWidget *inner, gpointer data) {
        Walk(inner, *static_cast<const std::function<void(GtkWidget *)> *>(data));
    };
    gtk_container_forall(GTK_CONTAINER(widget), child,
                         const_cast<std::function<void(GtkWidget *)> *>(&visit));
}

}  // namespace

void UseBuiltDialogModule() {
    setenv("KORVIX_DIALOG_MODULE", KORVIX_TEST_DIALOG_MODULE, 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
}

std::filesystem::path ScreenshotDirectory() {
    return KORVIX_TEST_SCREENSHOT_DIR;
}

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
    const std::string name = page < 0
                                 ? "korvix-frame-" + std::to_string(id)
                                 : "korvix-page" + std::to_string(page) + "-" + std::to_string(id);
    GtkWidget *found = nullptr;
    Walk(window, [&](GtkWidget *widget) {
        if (found == nullptr && name == gtk_widget_get_name(widget)) found = widget;
    });
    return found;
}

namespace {

struct DrawWaiter {
    std::function<void()> then;
    gulong handler = 0;
};

gboolean RunAfterDraw(gpointer data) {
    std::unique_ptr<DrawWaiter> waiter(static_cast<DrawWaiter *>(data));
    waiter->then();
    return G_SOURCE_REMOVE;
}

gboolean OnDrawn(GtkWidget *window, cairo_t *, gpointer data) {
    auto *waiter = static_cast<DrawWaiter *>(data);
    g_signal_handler_disconnect(window, waiter->handler);
    // After the whole paint, outside GTK's drawing.
    g_idle_add(RunAfterDraw, waiter);
    return FALSE;
}

}  // namespace

void WhenDrawn(GtkWidget *window, std::function<void()> then) {
    auto *waiter = new DrawWaiter{std::move(then)};
    waiter->handler = g_signal_connect_after(window, "draw", G_CALLBACK(OnDrawn), waiter);
    gtk_widget_queue_draw(window);
}

bool SavePicture(GtkWidget *window, const std::filesystem::path &file) {
    const int width = gtk_widget_get_allocated_width(window);
    const int height = gtk_widget_get_allocated_height(window);
    if (width <= 1 || height <= 1) return false;
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t *context = cairo_create(surface);
    gtk_widget_draw(window, context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    // A window not laid out yet draws nothing: every pixel keeps the surface's first value.
    const auto *pixels = reinterpret_cast<const uint32_t *>(cairo_image_surface_get_data(surface));
    const int stride = cairo_image_surface_get_stride(surface) / 4;
    bool drawn = false;
    for (int y = 0; y < height && !drawn; ++y) {
        for (int x = 0; x < width && !drawn; ++x) drawn = pixels[y * stride + x] != pixels[0];
    }
    std::filesystem::create_directories(file.parent_path());
    const bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return drawn && written;
}

int MissingGlyphs(GtkWidget *window) {
    int missing = 0;
    Walk(window, [&](GtkWidget *widget) {
        if (GTK_IS_LABEL(widget)) {
            missing +=
                pango_layout_get_unknown_glyphs_count(gtk_label_get_layout(GTK_LABEL(widget)));
        }
    });
    return missing;
}

void ClickFrameButton(GtkWidget *window, int id) {
    if (GtkWidget *button = FindControl(window, -1, id)) gtk_button_clicked(GTK_BUTTON(button));
}

}  // namespace korvix::test
