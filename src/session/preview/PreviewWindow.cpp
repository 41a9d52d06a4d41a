#include "session/preview/PreviewWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "imaging/DisplayScaling.h"
#include "imaging/FormatConverters.h"
#include "imaging/PixelConverter.h"
#include "platform/Clock.h"

namespace korvix::session {

namespace {

constexpr const char *kChildTitle = "ActiveMovie Window";
constexpr const char *kTopLevelTitle = "Active Window";

// Reduces the colour index's image to a drawable depth (8 or 24 bits) and returns it;
// null for an index out of range.
imaging::FrameImage *ReduceForDisplay(const PreviewSources &sources, int colorIndex) {
    using imaging::ConvertImage;
    switch (colorIndex) {
        case 0:
            return &sources.rawImage8;
        case 1:
            ConvertImage(sources.rawImage8, imaging::Gray16To8Hi, sources.rawImage16, nullptr, 0,
                         0);
            return &sources.rawImage8;
        case 2:
            return &sources.rgbImage24;
        case 3:
            ConvertImage(sources.rgbImage24, imaging::Rgb32To24, sources.rgbImage32, nullptr, 0, 0);
            return &sources.rgbImage24;
        case 4:
            ConvertImage(sources.rgbImage24, imaging::Rgb48To24Shift4, sources.rgbImage48, nullptr,
                         0, 0);
            return &sources.rgbImage24;
        case 5:
            ConvertImage(sources.rgbImage24, imaging::Rgb48To24Shift4, sources.rgbImage64, nullptr,
                         0, 0);
            return &sources.rgbImage24;
        default:
            return nullptr;
    }
}

int DisplayBitCount(int colorIndex) {
    return colorIndex <= 1 ? 8 : 24;
}

// start + length, held inside the 32-bit range (the application's values are unchecked).
int32_t SaturatedEnd(int32_t start, int32_t length) {
    const int64_t end = int64_t{start} + length;
    return static_cast<int32_t>(std::clamp<int64_t>(end, INT32_MIN, INT32_MAX));
}

}  // namespace

PreviewWindow::PreviewWindow(const void *owner) : owner_(owner) {}

PreviewWindow::~PreviewWindow() {
    DestroyPreviewWindow();
    UnregisterWindowClass();
}

void PreviewWindow::SetPreviewWindow(platform::WindowHandle parent, int32_t left, int32_t top,
                                     int32_t right, int32_t bottom) {
    std::lock_guard guard(previewLock);
    parentWindow = parent;
    previewRect = {left, top, right, bottom};
}

bool PreviewWindow::IsWanted() const {
    std::lock_guard guard(previewLock);
    return parentWindow != nullptr || previewRect.left != 0 || previewRect.top != 0 ||
           previewRect.right != 0 || previewRect.bottom != 0;
}

void PreviewWindow::PreviewClientSize(int32_t captureWidth, int32_t captureHeight, int subSample,
                                      int32_t &width, int32_t &height) {
    int divisor = 1;
    if (subSample == 1 || subSample == 17) divisor = 2;
    if (subSample == 2 || subSample == 18) divisor = 4;
    if (subSample == 3 || subSample == 19) divisor = 8;
    width = captureWidth / divisor;
    height = captureHeight / divisor;
}

std::string PreviewWindow::MakeClassName() const {
    const auto address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner_));
    const uint32_t salt = platform::TimeGetTime() + static_cast<uint32_t>(std::rand());
    char name[64];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x", address, salt);
    return name;
}

std::unique_ptr<platform::Window> PreviewWindow::CreateWindowOf(platform::WindowSystem &system,
                                                                const std::string &className,
                                                                int32_t captureWidth,
                                                                int32_t captureHeight,
                                                                int subSample) const {
    platform::WindowDescription description;
    description.className = className;
    if (parentWindow != nullptr) {
        // The rectangle's last two values are the child's width and height.
        description.kind = platform::WindowKind::kChild;
        description.title = kChildTitle;
        description.parent = parentWindow;
        description.rect = {previewRect.left, previewRect.top,
                            SaturatedEnd(previewRect.left, previewRect.right),
                            SaturatedEnd(previewRect.top, previewRect.bottom)};
        return system.CreateWindow(description);
    }
    description.kind = platform::WindowKind::kTopLevel;
    description.title = kTopLevelTitle;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    PreviewClientSize(captureWidth, captureHeight, subSample, clientWidth, clientHeight);
    platform::WindowRect outer{0, 0, clientWidth, clientHeight};
    if (!system.AdjustWindowRect(outer, platform::WindowKind::kTopLevel)) return nullptr;
    const platform::ScreenSize screen = system.PrimaryScreenSize();
    const int32_t left = std::max(0, (screen.width - outer.Width()) / 2);
    const int32_t top = std::max(0, (screen.height - outer.Height()) / 2);
    description.rect = {left, top, left + outer.Width(), top + outer.Height()};
    return system.CreateWindow(description);
}

platform::WindowHandle PreviewWindow::CreatePreviewWindow(int32_t captureWidth,
                                                          int32_t captureHeight, int subSample) {
    std::lock_guard guard(previewLock);
    if (previewWindow) return previewWindow->Handle();

    const std::string className = MakeClassName();
    if (!platform::RegisterWindowClass(className)) return nullptr;
    std::unique_ptr<platform::Window> window;
    if (std::unique_ptr<platform::WindowSystem> system = platform::WindowSystem::Connect()) {
        window = CreateWindowOf(*system, className, captureWidth, captureHeight, subSample);
    }
    if (!window || !window->Show()) {
        // Nothing is left behind: no window, no class, no stale name.
        window.reset();
        platform::UnregisterWindowClass(className);
        return nullptr;
    }
    windowClassName = className;
    previewWindow = std::move(window);
    return previewWindow->Handle();
}

bool PreviewWindow::GetDC() {
    std::lock_guard guard(previewLock);
    if (!previewWindow) return false;
    if (!previewDC) previewDC = previewWindow->GetDC();
    return previewDC != nullptr;
}

bool PreviewWindow::EnsureDisplayImage(int32_t width, int32_t height, int colorIndex) {
    const int bitCount = DisplayBitCount(colorIndex);
    // Also remade when the colour depth changed at the same size, which a new colour
    // mode between two acquisitions does.
    if (displayImage.Width() == width && displayImage.Height() == height &&
        displayImage.BitCount() == bitCount) {
        return true;
    }
    // Create writes the gray ramp into an 8-bit image's palette.
    return displayImage.Create(width, height, bitCount) == 1;
}

bool PreviewWindow::PrepareDisplayImage(int colorIndex) {
    std::lock_guard guard(previewLock);
    if (!previewDC || colorIndex < 0 || colorIndex > 5) return true;
    const platform::ClientArea area = previewDC->QueryClientArea();
    if (!area.visible || area.width <= 0 || area.height <= 0) return true;
    return EnsureDisplayImage(area.width, area.height, colorIndex);
}

bool PreviewWindow::DrawFrame(const PreviewSources &sources, int colorIndex) {
    imaging::FrameImage *shown = ReduceForDisplay(sources, colorIndex);
    if (shown == nullptr) return false;

    std::lock_guard guard(previewLock);
    if (!previewDC) return false;
    const platform::ClientArea area = previewDC->QueryClientArea();
    if (!area.visible || area.width <= 0 || area.height <= 0) return false;

    const imaging::FrameImage *drawn = shown;
    platform::RowOrder rowOrder = platform::RowOrder::kTopRowFirst;
    if (area.width != shown->Width() || area.height != shown->Height() || colorIndex == 1) {
        if (!EnsureDisplayImage(area.width, area.height, colorIndex)) return false;
        const imaging::ScaledPixelConverter scale =
            DisplayBitCount(colorIndex) == 8 ? imaging::Scale8Flip : imaging::Scale24Flip;
        if (imaging::ConvertImageScaled(displayImage, scale, *shown, nullptr, nullptr) == 0) {
            return false;  // an empty source, or one of another depth than the index implies
        }
        drawn = &displayImage;
        rowOrder = platform::RowOrder::kBottomRowFirst;  // the scalers reverse the rows
    }
    if (drawn->IsEmpty()) return false;

    platform::BitmapView view;
    view.bits = drawn->Bits();
    view.width = drawn->Width();
    view.height = drawn->Height();
    view.pitch = drawn->Pitch();
    view.bitCount = drawn->BitCount();
    view.rowOrder = rowOrder;
    if (view.bitCount == 8) {
        drawn->GetBitmapColorTable(palette_, 0, imaging::kPaletteSize);
        view.palette = reinterpret_cast<const uint8_t *>(palette_);
    }
    return previewDC->DrawBitmap(view);
}

void PreviewWindow::DestroyPreviewWindow() {
    std::lock_guard guard(previewLock);
    previewDC.reset();
    previewWindow.reset();
}

void PreviewWindow::UnregisterWindowClass() {
    std::lock_guard guard(previewLock);
    if (windowClassName.empty()) return;
    platform::UnregisterWindowClass(windowClassName);
    windowClassName.clear();
}

platform::WindowHandle PreviewWindow::Window() const {
    std::lock_guard guard(previewLock);
    return previewWindow ? previewWindow->Handle() : nullptr;
}

bool PreviewWindow::HasDC() const {
    std::lock_guard guard(previewLock);
    return previewDC != nullptr;
}

std::string PreviewWindow::WindowClassName() const {
    std::lock_guard guard(previewLock);
    return windowClassName;
}

platform::WindowHandle PreviewWindow::ParentWindow() const {
    std::lock_guard guard(previewLock);
    return parentWindow;
}

platform::WindowRect PreviewWindow::PreviewRect() const {
    std::lock_guard guard(previewLock);
    return previewRect;
}

}  // namespace korvix::session
