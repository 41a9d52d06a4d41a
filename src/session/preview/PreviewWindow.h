#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/FrameImage.h"
#include "platform/window/Window.h"

namespace korvix::session {

// The session's images a preview draws from, by colour index (0 to 5 for 8, 16, 24, 32,
// 48 and 64 bits per pixel). rawImage8 and rgbImage24 receive the reduction of the
// deeper images before drawing.
struct PreviewSources {
    imaging::FrameImage &rawImage8;
    const imaging::FrameImage &rawImage16;
    imaging::FrameImage &rgbImage24;
    const imaging::FrameImage &rgbImage32;
    const imaging::FrameImage &rgbImage48;
    const imaging::FrameImage &rgbImage64;
};

// The session's preview window: a child of an application window or a centred
// top-level window, into which the acquisition workers draw each converted frame. The
// window has no behaviour of its own.
//
// Threads: SetPreviewWindow, CreatePreviewWindow, GetDC, DestroyPreviewWindow and
// UnregisterWindowClass run on the application's thread (which owns the window);
// PrepareDisplayImage and DrawFrame run on a worker under the session's frameLock.
// `previewLock` (innermost, below frameLock) guards the window, its drawing context and
// displayImage, so removing the window while a worker is still drawing is safe.
class PreviewWindow {
  public:
    // `owner` (the session) goes into the class name, so two sessions never share one.
    explicit PreviewWindow(const void *owner);
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow &) = delete;
    PreviewWindow &operator=(const PreviewWindow &) = delete;

    // Stores the parent and the rectangle (left, top, width, height) for the next
    // creation; an existing window is left as it is.
    void SetPreviewWindow(platform::WindowHandle parent, int32_t left, int32_t top, int32_t right,
                          int32_t bottom);

    // True when a parent is set or any rectangle value is not 0 (the defaults, no parent
    // and 0, 0, 1280, 1024, want a top-level window).
    bool IsWanted() const;

    // Makes the window: a child at (left, top) of size right x bottom when a parent is
    // set, otherwise a top-level window whose client area is the capture size after
    // sub-sampling, centred on the screen. Returns the window, the existing one when it
    // already exists, or null on failure (then no class stays registered).
    platform::WindowHandle CreatePreviewWindow(int32_t captureWidth, int32_t captureHeight,
                                               int subSample);

    // Takes the window's drawing context; false when there is no window or it fails.
    bool GetDC();

    // Allocates displayImage at the client size (8 bits with the gray palette for colour
    // indices 0 and 1, 24 bits for 2 to 5) when the window is visible, has a non-empty
    // client area and a drawing context. False when the allocation fails.
    bool PrepareDisplayImage(int colorIndex);

    // Reduces the image of `colorIndex` to 8 or 24 bits and draws it: 1:1 (memory row 0
    // at the top) when the client size equals the image's and the index is not 1,
    // otherwise scaled through displayImage. Returns true when something was drawn;
    // false (drawing nothing) when the window is not visible, its client area is empty,
    // there is no drawing context, the colour index is out of range or the image is
    // empty.
    bool DrawFrame(const PreviewSources &sources, int colorIndex);

    // Releases the drawing context and destroys the window.
    void DestroyPreviewWindow();

    // Unregisters the class (after the acquisition has stopped) and empties its name.
    void UnregisterWindowClass();

    platform::WindowHandle Window() const;
    bool HasDC() const;
    std::string WindowClassName() const;
    platform::WindowHandle ParentWindow() const;
    platform::WindowRect PreviewRect() const;

    // The client size of a top-level window for a capture size and sub-sampling mode.
    static void PreviewClientSize(int32_t captureWidth, int32_t captureHeight, int subSample,
                                  int32_t &width, int32_t &height);

  private:
    std::string MakeClassName() const;
    std::unique_ptr<platform::Window> CreateWindowOf(platform::WindowSystem &system,
                                                     const std::string &className,
                                                     int32_t captureWidth, int32_t captureHeight,
                                                     int subSample) const;
    bool EnsureDisplayImage(int32_t width, int32_t height, int colorIndex);

    const void *owner_;
    mutable std::mutex previewLock;  // guards every field below
    platform::WindowHandle parentWindow = nullptr;
    platform::WindowRect previewRect{0, 0, 1280, 1024};
    std::unique_ptr<platform::Window> previewWindow;
    std::unique_ptr<platform::DrawingContext> previewDC;
    std::string windowClassName;
    imaging::FrameImage displayImage;
    imaging::RgbQuad palette_[imaging::kPaletteSize];  // the drawn 8-bit image's table
};

}  // namespace korvix::session
