// Cost of showing one frame in the preview window: packing into the visual's pixel
// format alone, and the whole DrawFrame (pack, put, wait for the server) at 1:1 and
// scaled, against the display in DISPLAY or a private Xvfb.

#include <benchmark/benchmark.h>

#include <vector>

#include "X11TestSupport.h"
#include "platform/window/x11/PixelPacker.h"
#include "session/preview/PreviewWindow.h"

namespace {

using korvix::imaging::FrameImage;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

void FillImage(FrameImage &image, int bitCount) {
    image.Create(kWidth, kHeight, bitCount);
    for (size_t i = 0; i < image.SizeBytes(); ++i) image.Bits()[i] = static_cast<uint8_t>(i * 7);
}

void BM_PackFrame24To32(benchmark::State &state) {
    FrameImage image;
    FillImage(image, 24);
    korvix::platform::x11::PixelPacker packer;
    packer.Configure(32, false, 0xFF0000, 0x00FF00, 0x0000FF);
    std::vector<uint8_t> out(size_t{kWidth} * kHeight * 4);
    korvix::platform::BitmapView view;
    view.bits = image.Bits();
    view.width = kWidth;
    view.height = kHeight;
    view.pitch = image.Pitch();
    view.bitCount = 24;
    for (auto _ : state) {
        packer.Pack(view, out.data(), kWidth * 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PackFrame24To32)->Unit(benchmark::kMillisecond);

// range(0): colour index (0 = 8 bits, 2 = 24 bits); range(1): 1 for a half-size window.
void BM_DrawFrame(benchmark::State &state) {
    korvix::test::TestConnection connection;
    if (connection.display == nullptr) {
        state.SkipWithError("no X display");
        return;
    }
    const int colorIndex = static_cast<int>(state.range(0));
    const int divisor = state.range(1) == 1 ? 2 : 1;
    korvix::session::PreviewWindow preview(&state);
    if (preview.CreatePreviewWindow(kWidth, kHeight, divisor == 2 ? 1 : 0) == nullptr ||
        !preview.GetDC()) {
        state.SkipWithError("no preview window");
        return;
    }
    FrameImage raw8, raw16, rgb24, rgb32, rgb48, rgb64;
    FillImage(raw8, 8);
    FillImage(rgb24, 24);
    const korvix::session::PreviewSources sources{raw8, raw16, rgb24, rgb32, rgb48, rgb64};
    for (auto _ : state) benchmark::DoNotOptimize(preview.DrawFrame(sources, colorIndex));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawFrame)
    ->Args({0, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
