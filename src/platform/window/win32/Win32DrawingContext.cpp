// Drawing into a window on Windows: the bitmap goes to the window's device context with
// StretchDIBits at 1:1, described by a BITMAPINFO whose height sign gives the row order
// (negative: memory row 0 at the top). The call reads the bits before it returns and the
// batch is flushed, so the caller may change its bitmap at once. Nothing here sends a
// message to the window, so drawing from a worker never waits for the application's
// thread. (Under Wine the window's pixels are complete at once, as GetDC and BitBlt read
// them, but reach the X server only when a thread of the process next waits for
// messages, which an application's message loop does all the time.)

#include "platform/window/Window.h"

#include <windows.h>

#include <cstring>
#include <new>
#include <vector>

namespace korvix::platform {

namespace {

// A BITMAPINFO with room for a full 8-bit colour table.
struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

}  // namespace

struct DrawingContext::State {
    State(HWND target, HDC context) : window(target), dc(context) {}

    // Rows of `bitmap` moved to the DWORD-aligned stride a DIB needs, when the caller's
    // pitch differs from it; kept between calls so a steady size allocates once.
    const uint8_t *AlignedRows(const BitmapView &bitmap, size_t rowBytes, size_t stride);

    HWND window;
    HDC dc;
    BitmapInfo256 info{};
    std::vector<uint8_t> aligned;
};

const uint8_t *DrawingContext::State::AlignedRows(const BitmapView &bitmap, size_t rowBytes,
                                                  size_t stride) {
    if (static_cast<size_t>(bitmap.pitch) == stride) return bitmap.bits;
    const auto rows = static_cast<size_t>(bitmap.height);
    try {
        aligned.resize(stride * rows);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    for (size_t row = 0; row < rows; ++row) {
        std::memcpy(aligned.data() + row * stride,
                    bitmap.bits + row * static_cast<size_t>(bitmap.pitch), rowBytes);
    }
    return aligned.data();
}

DrawingContext::DrawingContext(std::unique_ptr<State> state) : state_(std::move(state)) {}

DrawingContext::~DrawingContext() {
    // Harmless when the window is already gone.
    ReleaseDC(state_->window, state_->dc);
}

ClientArea DrawingContext::QueryClientArea() {
    // None of these calls sends a message: they read the window's state directly.
    RECT client{};
    if (!IsWindow(state_->window) || !GetClientRect(state_->window, &client)) return {};
    return {IsWindowVisible(state_->window) != FALSE, client.right - client.left,
            client.bottom - client.top};
}

bool DrawingContext::DrawBitmap(const BitmapView &bitmap) {
    if (bitmap.bits == nullptr || bitmap.width <= 0 || bitmap.height <= 0) return false;
    if (bitmap.bitCount != 8 && bitmap.bitCount != 24) return false;
    if (bitmap.bitCount == 8 && bitmap.palette == nullptr) return false;
    const size_t rowBytes = static_cast<size_t>(bitmap.width) * (bitmap.bitCount / 8);
    if (bitmap.pitch < 0 || static_cast<size_t>(bitmap.pitch) < rowBytes) return false;
    if (!IsWindow(state_->window)) return false;
    const size_t stride = (rowBytes + 3) & ~size_t{3};
    const uint8_t *rows = state_->AlignedRows(bitmap, rowBytes, stride);
    if (rows == nullptr) return false;

    BITMAPINFOHEADER &header = state_->info.header;
    header.biSize = sizeof header;
    header.biWidth = bitmap.width;
    header.biHeight = bitmap.rowOrder == RowOrder::kTopRowFirst ? -bitmap.height : bitmap.height;
    header.biPlanes = 1;
    header.biBitCount = bitmap.bitCount;
    header.biCompression = BI_RGB;
    header.biClrUsed = bitmap.bitCount == 8 ? 256 : 0;
    // The palette's entries are laid out as RGBQUADs already.
    if (bitmap.bitCount == 8) std::memcpy(state_->info.colors, bitmap.palette, 256 * 4);

    const int lines = StretchDIBits(
        state_->dc, 0, 0, bitmap.width, bitmap.height, 0, 0, bitmap.width, bitmap.height, rows,
        reinterpret_cast<const BITMAPINFO *>(&state_->info), DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    return lines > 0;  // 0 or GDI_ERROR (-1) on failure
}

std::unique_ptr<DrawingContext> Window::GetDC() {
    const auto window = reinterpret_cast<HWND>(id_);
    HDC dc = ::GetDC(window);
    if (dc == nullptr) return nullptr;
    return std::make_unique<DrawingContext>(std::make_unique<DrawingContext::State>(window, dc));
}

}  // namespace korvix::platform
