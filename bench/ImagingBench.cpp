// Times the per-frame imaging routines at 1280 x 1024 and 2560 x 2048, each beside the
// nearest OpenCV routine when OpenCV is available. OpenCV runs on one thread, as our
// routines do, so the comparison is per core.
//
//   build/release/bench/imaging_bench --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "imaging/Demosaic.h"
#include "imaging/DisplayScaling.h"
#include "imaging/Filters.h"
#include "imaging/FormatConverters.h"
#include "imaging/FrameImage.h"
#include "imaging/PixelConverter.h"

#ifdef KORVIX_BENCH_WITH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace korvix::imaging {
namespace {

void FillNoise(uint8_t *bytes, size_t count, uint16_t wordMask = 0xFFFF) {
    std::mt19937 random(7);
    for (size_t k = 0; k + 1 < count; k += 2) {
        const auto word = static_cast<uint16_t>(random() & wordMask);
        std::memcpy(bytes + k, &word, 2);
    }
}

// An image of the benchmark's size filled with noise (12-bit samples for 16-bit data).
void MakeImage(FrameImage &image, const benchmark::State &state, int bits) {
    image.Create(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)), bits);
    FillNoise(image.Bits(), image.SizeBytes(),
              bits == 8 || bits == 24 || bits == 32 ? 0xFFFF : 0x0FFF);
}

void SetCounters(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

void Sizes(benchmark::internal::Benchmark *benchmark) {
    benchmark->Args({1280, 1024})->Args({2560, 2048})->Unit(benchmark::kMicrosecond);
}

// ---- Ours -----------------------------------------------------------------------------

void Demosaic(benchmark::State &state, int rawBits, int rgbBits) {
    FrameImage raw, rgb;
    MakeImage(raw, state, rawBits);
    rgb.Create(raw.Width(), raw.Height(), rgbBits);
    DemosaicParams params{2, 120, 100, 90};
    const bool deep = rawBits == 16;
    for (auto _ : state) {
        ConvertImage(rgb, deep ? Demosaic16Inner : Demosaic8Inner, raw, nullptr, 0, 0, &params);
        ConvertImage(rgb, deep ? Demosaic16Border : Demosaic8Border, raw, nullptr, 0, 0, &params);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// The per-sample filters read a frame of noise and write a second image, so every pass sees
// the same data: run in place, gamma and contrast turn the noise into zeros within a few
// passes, and a look-up that only ever reads table entry 0 is not a frame's cost.
void Filter(benchmark::State &state, PixelConverter filter, int bits, int32_t value,
            uint16_t wordMask) {
    FrameImage source, image;
    MakeImage(source, state, bits);
    FillNoise(source.Bits(), source.SizeBytes(), wordMask);
    image.CopyFormat(source);
    for (auto _ : state) {
        ConvertImage(image, filter, source, nullptr, 0, 0, &value);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void Filter(benchmark::State &state, PixelConverter filter, int bits, int32_t value) {
    Filter(state, filter, bits, value, bits == 48 ? 0x0FFF : 0xFFFF);
}

// Gamma, contrast and brightness as the pipeline runs them back to back: one table pass
// (contrast 10 keeps most 12-bit samples above its threshold of 2560), or contrast alone,
// which is computed per sample.
void ToneCurve(benchmark::State &state, PixelConverter filter, int bits, ToneCurveParams params) {
    FrameImage source, image;
    MakeImage(source, state, bits);
    image.CopyFormat(source);
    for (auto _ : state) {
        ConvertImage(image, filter, source, nullptr, 0, 0, &params);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void Sharpness(benchmark::State &state, PixelConverter filter, int bits) {
    FrameImage image, copy;
    MakeImage(image, state, bits);
    copy.CopyFormat(image);
    int32_t value = 15;
    for (auto _ : state) {
        // The session copies the frame to its work image first; that copy is timed too.
        std::memcpy(copy.Bits(), image.Bits(), image.SizeBytes());
        ConvertImage(image, filter, copy, nullptr, 0, 0, &value);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void HueSaturation(benchmark::State &state, PixelConverter filter, int bits) {
    FrameImage image;
    MakeImage(image, state, bits);
    HueSaturationParams params{40, 30};
    for (auto _ : state) {
        ConvertImage(image, filter, image, nullptr, 0, 0, &params);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void Repack(benchmark::State &state, PixelConverter repack, int bits) {
    // An odd width so that packed rows and padded rows differ.
    FrameImage image;
    image.Create(static_cast<int32_t>(state.range(0)) - 1, static_cast<int32_t>(state.range(1)),
                 bits);
    FillNoise(image.Bits(), image.SizeBytes());
    for (auto _ : state) {
        ConvertImage(image, repack, image, nullptr, 0, 0);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// Display scaling to three quarters of the frame (a window smaller than the frame).
void Scale(benchmark::State &state, ScaledPixelConverter scale, int bits) {
    FrameImage image, display;
    MakeImage(image, state, bits);
    display.Create(image.Width() * 3 / 4, image.Height() * 3 / 4, bits);
    for (auto _ : state) {
        ConvertImageScaled(display, scale, image, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

BENCHMARK_CAPTURE(Demosaic, Ours_Demosaic8To24, 8, 24)->Apply(Sizes);
BENCHMARK_CAPTURE(Demosaic, Ours_Demosaic16To48, 16, 48)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Gamma24, Gamma24, 24, 70)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Gamma48, Gamma48, 48, 70)->Apply(Sizes);
// 16-bit samples of the full range, as the mask correction leaves them: the look-ups spread
// over the whole 128 KiB table instead of its first 8 KiB.
BENCHMARK_CAPTURE(Filter, Ours_Gamma48FullRange, Gamma48, 48, 70, 0xFFFF)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Contrast24, Contrast24, 24, 40)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Contrast48, Contrast48, 48, 40)->Apply(Sizes);
// On samples of the full range the contrast line is crossed, not only its lower limit; at
// contrast 30 some exact quotients stay one lower, which costs the kernel a few operations.
BENCHMARK_CAPTURE(Filter, Ours_Contrast48FullRange, Contrast48, 48, 40, 0xFFFF)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Contrast48LoweredQuotients, Contrast48, 48, 30, 0xFFFF)
    ->Apply(Sizes);
BENCHMARK_CAPTURE(ToneCurve, Ours_ToneCurve24, ToneCurve24, 24, {70, 10, 60})->Apply(Sizes);
BENCHMARK_CAPTURE(ToneCurve, Ours_ToneCurve48, ToneCurve48, 48, {70, 10, 60})->Apply(Sizes);
BENCHMARK_CAPTURE(ToneCurve, Ours_ToneCurve48ContrastOnly, ToneCurve48, 48, {100, 10, 0})
    ->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Brightness24, Brightness24, 24, 60)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Brightness48, Brightness48, 48, 60)->Apply(Sizes);
// 32/64-bit pixels: the fourth sample of each pixel is left as it is.
BENCHMARK_CAPTURE(Filter, Ours_Brightness32, Brightness24, 32, 60)->Apply(Sizes);
BENCHMARK_CAPTURE(Filter, Ours_Brightness64, Brightness48, 64, 60, 0x0FFF)->Apply(Sizes);
BENCHMARK_CAPTURE(Sharpness, Ours_Sharpness24, Sharpness24, 24)->Apply(Sizes);
BENCHMARK_CAPTURE(Sharpness, Ours_Sharpness48, Sharpness48, 48)->Apply(Sizes);
BENCHMARK_CAPTURE(HueSaturation, Ours_HueSaturation24, HueSaturation24, 24)->Apply(Sizes);
BENCHMARK_CAPTURE(HueSaturation, Ours_HueSaturation48, HueSaturation48, 48)->Apply(Sizes);
BENCHMARK_CAPTURE(Repack, Ours_RepackRows8, RepackRows8, 8)->Apply(Sizes);
BENCHMARK_CAPTURE(Repack, Ours_RepackRows16, RepackRows16, 16)->Apply(Sizes);
BENCHMARK_CAPTURE(Scale, Ours_Scale8Flip, Scale8Flip, 8)->Apply(Sizes);
BENCHMARK_CAPTURE(Scale, Ours_Scale24Flip, Scale24Flip, 24)->Apply(Sizes);

// ---- OpenCV ---------------------------------------------------------------------------

#ifdef KORVIX_BENCH_WITH_OPENCV

cv::Mat NoiseMat(const benchmark::State &state, int type, uint16_t wordMask = 0xFFFF) {
    cv::setNumThreads(1);
    cv::Mat mat(static_cast<int>(state.range(1)), static_cast<int>(state.range(0)), type);
    FillNoise(mat.data, mat.total() * mat.elemSize(), wordMask);
    return mat;
}

void CvDemosaic(benchmark::State &state, int type) {
    const cv::Mat raw = NoiseMat(state, type, type == CV_16UC1 ? 0x0FFF : 0xFFFF);
    cv::Mat rgb;
    for (auto _ : state) {
        cv::cvtColor(raw, rgb, cv::COLOR_BayerBG2BGR);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// Like ours, the per-sample counterparts read one matrix of noise and write another.
void CvLut(benchmark::State &state) {
    const cv::Mat source = NoiseMat(state, CV_8UC3);
    cv::Mat image(source.size(), source.type());
    cv::Mat table(1, 256, CV_8U);
    for (int k = 0; k < 256; ++k) table.at<uint8_t>(k) = static_cast<uint8_t>(255 - k);
    for (auto _ : state) {
        cv::LUT(source, table, image);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void CvConvertScaleAbs(benchmark::State &state, int type) {
    const cv::Mat source = NoiseMat(state, type);
    cv::Mat image(source.size(), source.type());
    for (auto _ : state) {
        cv::convertScaleAbs(source, image, 1.0 + 60 * 0.0392156862745098);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// 16-bit samples have no OpenCV LUT; a linear pass (convertTo with a factor and an offset,
// saturating) is the nearest per-sample routine for the 16-bit brightness and gamma, and the
// very map of the 16-bit contrast (here contrast 40's: factor 65536 / 45056 around 10240),
// computed in single precision and rounded.
void CvConvertTo16(benchmark::State &state, uint16_t wordMask, int type) {
    const cv::Mat source = NoiseMat(state, type, wordMask);
    cv::Mat image(source.size(), source.type());
    const double slope = 65536.0 / 45056.0;
    for (auto _ : state) {
        source.convertTo(image, type, slope, -slope * 10240);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// A gamma curve on 16-bit samples as OpenCV computes one: through 32-bit floats and
// cv::pow, then back with saturation (the same work as our 16-bit gamma, which OpenCV
// cannot do through a table).
void CvGammaViaPow16(benchmark::State &state) {
    const cv::Mat source = NoiseMat(state, CV_16UC3, 0x0FFF);
    cv::Mat image(source.size(), source.type());
    cv::Mat scaled;
    for (auto _ : state) {
        source.convertTo(scaled, CV_32FC3, 1.0 / 65535.0);
        cv::pow(scaled, 1.0 / 0.7, scaled);
        scaled.convertTo(image, CV_16UC3, 65535.0);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void CvUnsharp(benchmark::State &state, int type) {
    cv::Mat image = NoiseMat(state, type, type == CV_16UC3 ? 0x0FFF : 0xFFFF);
    cv::Mat blurred;
    for (auto _ : state) {
        cv::blur(image, blurred, cv::Size(4, 4));
        cv::addWeighted(image, 2.5, blurred, -1.5, 0.0, image);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void CvHlsRoundTrip(benchmark::State &state) {
    cv::Mat image = NoiseMat(state, CV_8UC3);
    cv::Mat hls;
    for (auto _ : state) {
        cv::cvtColor(image, hls, cv::COLOR_BGR2HLS_FULL);
        cv::cvtColor(hls, image, cv::COLOR_HLS2BGR_FULL);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

// Spreading packed rows to a padded pitch: a copy into a region of a wider matrix.
void CvRepack(benchmark::State &state, int type) {
    const int width = static_cast<int>(state.range(0)) - 1;
    const int height = static_cast<int>(state.range(1));
    cv::setNumThreads(1);
    cv::Mat packed(height, width, type);
    FillNoise(packed.data, packed.total() * packed.elemSize());
    cv::Mat padded(height, width + 4, type);
    cv::Mat region = padded(cv::Rect(0, 0, width, height));
    for (auto _ : state) {
        packed.copyTo(region);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

void CvResizeNearest(benchmark::State &state, int type) {
    const cv::Mat image = NoiseMat(state, type);
    cv::Mat display;
    const cv::Size size(image.cols * 3 / 4, image.rows * 3 / 4);
    for (auto _ : state) {
        cv::resize(image, display, size, 0, 0, cv::INTER_NEAREST);
        benchmark::ClobberMemory();
    }
    SetCounters(state);
}

BENCHMARK_CAPTURE(CvDemosaic, OpenCV_BayerToBGR8, CV_8UC1)->Apply(Sizes);
BENCHMARK_CAPTURE(CvDemosaic, OpenCV_BayerToBGR16, CV_16UC1)->Apply(Sizes);
BENCHMARK(CvLut)->Name("OpenCV_LUT8C3")->Apply(Sizes);
BENCHMARK_CAPTURE(CvConvertScaleAbs, OpenCV_convertScaleAbs8C3, CV_8UC3)->Apply(Sizes);
BENCHMARK_CAPTURE(CvConvertScaleAbs, OpenCV_convertScaleAbs8C4, CV_8UC4)->Apply(Sizes);
BENCHMARK_CAPTURE(CvConvertTo16, OpenCV_convertTo16C3, 0x0FFF, CV_16UC3)->Apply(Sizes);
BENCHMARK_CAPTURE(CvConvertTo16, OpenCV_convertTo16C3FullRange, 0xFFFF, CV_16UC3)->Apply(Sizes);
BENCHMARK_CAPTURE(CvConvertTo16, OpenCV_convertTo16C4, 0x0FFF, CV_16UC4)->Apply(Sizes);
BENCHMARK(CvGammaViaPow16)->Name("OpenCV_GammaViaPow16C3")->Apply(Sizes);
BENCHMARK_CAPTURE(CvUnsharp, OpenCV_BlurAddWeighted8C3, CV_8UC3)->Apply(Sizes);
BENCHMARK_CAPTURE(CvUnsharp, OpenCV_BlurAddWeighted16C3, CV_16UC3)->Apply(Sizes);
BENCHMARK(CvHlsRoundTrip)->Name("OpenCV_HLSRoundTrip8C3")->Apply(Sizes);
BENCHMARK_CAPTURE(CvRepack, OpenCV_CopyToPadded8, CV_8UC1)->Apply(Sizes);
BENCHMARK_CAPTURE(CvRepack, OpenCV_CopyToPadded16, CV_16UC1)->Apply(Sizes);
BENCHMARK_CAPTURE(CvResizeNearest, OpenCV_ResizeNearest8, CV_8UC1)->Apply(Sizes);
BENCHMARK_CAPTURE(CvResizeNearest, OpenCV_ResizeNearest8C3, CV_8UC3)->Apply(Sizes);

#endif

}  // namespace
}  // namespace korvix::imaging
