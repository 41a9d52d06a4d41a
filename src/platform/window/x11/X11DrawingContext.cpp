// Drawing into a window on X11: the bitmap is packed into an image in the visual's pixel
// format, put into the window, and the call waits for the server, so the caller may
// change its bitmap as soon as DrawBitmap returns. The image lives in a shared-memory
// segment when the server offers MIT-SHM (no copy through the socket) and in ordinary
// memory otherwise; it is kept between calls and remade only when the size changes.

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <new>
#include <vector>

#include "platform/window/Window.h"
#include "platform/window/x11/PixelPacker.h"
#include "platform/window/x11/X11Connection.h"

namespace korvix::platform {

struct DrawingContext::State {
    State(std::shared_ptr<WindowConnection> owner, ::Window target, GC context)
        : connection(std::move(owner)), window(target), gc(context) {}

    // Makes `image` width x height unless it already is. Called with the lock held.
    bool EnsureImage(int32_t width, int32_t height);
    bool CreateSharedImage(int32_t width, int32_t height);
    bool CreatePlainImage(int32_t width, int32_t height);
    void ReleaseImage();

    std::shared_ptr<WindowConnection> connection;
    ::Window window;
    GC gc;
    XImage *image = nullptr;
    bool imageShared = false;
    XShmSegmentInfo segment{};
    std::vector<char> plainPixels;  // the image's memory when it is not shared
    bool sharedMemoryRefused = false;
    x11::PixelPacker packer;
};

bool DrawingContext::State::EnsureImage(int32_t width, int32_t height) {
    if (image != nullptr && image->width == width && image->height == height) return true;
    ReleaseImage();
    const bool created =
        (connection->sharedMemory && !sharedMemoryRefused && CreateSharedImage(width, height)) ||
        CreatePlainImage(width, height);
    if (!created) return false;
    const bool configured = packer.Configure(image->bits_per_pixel, image->byte_order == MSBFirst,
                                             static_cast<uint32_t>(image->red_mask),
                                             static_cast<uint32_t>(image->green_mask),
                                             static_cast<uint32_t>(image->blue_mask));
    if (!configured) ReleaseImage();
    return configured;
}

bool DrawingContext::State::CreateSharedImage(int32_t width, int32_t height) {
    Display *display = connection->display;
    image = XShmCreateImage(display, connection->visual, static_cast<unsigned>(connection->depth),
                            ZPixmap, nullptr, &segment, static_cast<unsigned>(width),
                            static_cast<unsigned>(height));
    if (image == nullptr) return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment.shmid >= 0) {
        segment.shmaddr = static_cast<char *>(shmat(segment.shmid, nullptr, 0));
        if (segment.shmaddr == reinterpret_cast<char *>(-1)) segment.shmaddr = nullptr;
    }
    bool attached = false;
    if (segment.shmaddr != nullptr) {
        image->data = segment.shmaddr;
        segment.readOnly = False;
        const unsigned long errorsBefore = connection->ErrorCount();
        // A server on another machine cannot reach the segment and refuses it.
        attached = XShmAttach(display, &segment) && connection->SyncedWithoutErrors(errorsBefore);
    }
    // Marked for removal at once: it disappears when both sides have detached, even if
    // the process dies.
    if (segment.shmid >= 0) shmctl(segment.shmid, IPC_RMID, nullptr);
    if (attached) {
        imageShared = true;
        return true;
    }
    if (segment.shmaddr != nullptr) shmdt(segment.shmaddr);
    segment = XShmSegmentInfo{};
    image->data = nullptr;
    XDestroyImage(image);
    image = nullptr;
    sharedMemoryRefused = true;
    return false;
}

bool DrawingContext::State::CreatePlainImage(int32_t width, int32_t height) {
    image = XCreateImage(connection->display, connection->visual,
                         static_cast<unsigned>(connection->depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr) return false;
    try {
        plainPixels.resize(static_cast<size_t>(image->bytes_per_line) *
                           static_cast<size_t>(height));
    } catch (const std::bad_alloc &) {
        XDestroyImage(image);
        image = nullptr;
        return false;
    }
    image->data = plainPixels.data();
    return true;
}

void DrawingContext::State::ReleaseImage() {
    if (image == nullptr) return;
    if (imageShared) {
        if (connection->Usable()) {
            XShmDetach(connection->display, &segment);
            XSync(connection->display, False);
        }
        shmdt(segment.shmaddr);
        segment = XShmSegmentInfo{};
        imageShared = false;
    }
    image->data = nullptr;  // the memory is not Xlib's to free
    XDestroyImage(image);
    image = nullptr;
    std::vector<char>().swap(plainPixels);
}

DrawingContext::DrawingContext(std::unique_ptr<State> state) : state_(std::move(state)) {}

DrawingContext::~DrawingContext() {
    std::lock_guard guard(state_->connection->lock);
    // Also after a lost connection: the image and the context hold client memory.
    state_->ReleaseImage();
    XFreeGC(state_->connection->display, state_->gc);
}

ClientArea DrawingContext::QueryClientArea() {
    WindowConnection &connection = *state_->connection;
    std::lock_guard guard(connection.lock);
    connection.HandleEvents();
    XWindowAttributes attributes;
    if (!connection.Usable() ||
        XGetWindowAttributes(connection.display, state_->window, &attributes) == 0) {
        return {};  // the window is gone
    }
    return {attributes.map_state == IsViewable, attributes.width, attributes.height};
}

bool DrawingContext::DrawBitmap(const BitmapView &bitmap) {
    if (bitmap.bits == nullptr || bitmap.width <= 0 || bitmap.height <= 0) return false;
    if (bitmap.bitCount != 8 && bitmap.bitCount != 24) return false;
    WindowConnection &connection = *state_->connection;
    std::lock_guard guard(connection.lock);
    if (!connection.Usable()) return false;
    connection.HandleEvents();
    if (!state_->EnsureImage(bitmap.width, bitmap.height)) return false;
    XImage *image = state_->image;
    if (!state_->packer.Pack(bitmap, reinterpret_cast<uint8_t *>(image->data),
                             image->bytes_per_line)) {
        return false;
    }
    const unsigned long errorsBefore = connection.ErrorCount();
    const auto width = static_cast<unsigned>(bitmap.width);
    const auto height = static_cast<unsigned>(bitmap.height);
    if (state_->imageShared) {
        XShmPutImage(connection.display, state_->window, state_->gc, image, 0, 0, 0, 0, width,
                     height, False);
    } else {
        XPutImage(connection.display, state_->window, state_->gc, image, 0, 0, 0, 0, width, height);
    }
    // Waiting here also guarantees the server has read a shared image before the next
    // frame overwrites it.
    return connection.SyncedWithoutErrors(errorsBefore);
}

std::unique_ptr<DrawingContext> Window::GetDC() {
    WindowConnection &connection = *connection_;
    std::lock_guard guard(connection.lock);
    if (!connection.Usable()) return nullptr;
    const unsigned long errorsBefore = connection.ErrorCount();
    const auto window = static_cast<::Window>(id_);
    GC gc = XCreateGC(connection.display, window, 0, nullptr);
    if (gc == nullptr) return nullptr;
    if (!connection.SyncedWithoutErrors(errorsBefore)) {
        XFreeGC(connection.display, gc);
        return nullptr;
    }
    return std::make_unique<DrawingContext>(
        std::make_unique<DrawingContext::State>(connection_, window, gc));
}

}  // namespace korvix::platform
